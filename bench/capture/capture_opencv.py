"""What a user would script with Debian's python3-opencv and numpy: map the block, convert, write.

    capture_opencv.py BLOCK_NAME OUTPUT.bmp
"""
import mmap
import os
import sys

import cv2
import numpy as np

PIXEL_OFFSET = 471


def main():
    name, output = sys.argv[1], sys.argv[2]
    fd = os.open("/dev/shm/" + name.lstrip("/"), os.O_RDONLY)
    block = mmap.mmap(fd, 0, mmap.MAP_SHARED, mmap.PROT_READ)
    os.close(fd)
    width, height, channels = np.frombuffer(block, dtype="<i4", count=3, offset=459)
    pixels = np.frombuffer(block, dtype=np.uint8, count=int(width) * int(height) * int(channels),
                           offset=PIXEL_OFFSET).reshape(int(height), int(width), int(channels))
    bgr = cv2.cvtColor(pixels, cv2.COLOR_BGRA2BGR)
    if not cv2.imwrite(output, bgr):
        sys.exit("could not write " + output)


if __name__ == "__main__":
    main()
