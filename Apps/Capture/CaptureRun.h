// One capture: attach to the shared image block, check its header, convert the pixels from BGRA to
// BGR in place and write them as a 24-bit BMP under a dated name in the output directory.
//
// Failures of a capture end as one Logger::Critical call and never change the exit status; only a
// block that can be neither used nor re-created (SharedBlockError from AttachSharedBlock) leaves
// CaptureImage, for main to report, and a block that shrinks while it is read ends the process with
// exit status 1 (BlockReadGuard.h).
//
// The tool reads no arguments, environment or configuration file: the block name (SharedBlockName,
// SharedBlock.h) and the output directory (OutputDirectory, OutputPath.h) are injected at link time.
// peltrak_capture_settings in Apps/CMakeLists.txt compiles SharedBlockName.cpp and CaptureSettings.cpp
// into each executable with that executable's values, so the test builds never touch the real ones.
#pragma once

#include <cstdint>
#include <opencv2/core/mat.hpp>
#include <string>

extern const char* const OutputFileName; // "image_test.bmp"

// The image as it lies in the block: created with the header's size and channel count, then pointed
// at the block's pixel area. Owns only the storage its creation allocated, never the block.
extern cv::Mat SharedImage;
// Byte 0 of the mapped block, as AttachSharedBlock returned it.
extern unsigned char* SharedBlockBase;

// Runs one capture; always returns 0 once the block is attached.
int CaptureImage();

// Converts SharedImage (already created with height rows and width columns) from the block's pixel
// area and writes it with SaveImage under MakeOutputPath(fileName), never replacing an existing file.
// OpenCV and allocation failures are thrown; a write that fails without an exception is logged there.
void ExportImage(std::string fileName, int width, int height);

// Why a header cannot describe an image inside the pixel area, or the empty text when it can.
// Refused: a negative value, Width * Height * Channels (exact, no overflow) above the pixel area's
// size, and in a non-empty image a channel count of 0 or above 512 (OpenCV's limit, beyond which its
// type value wraps round to another channel count).
std::string CheckImageHeader(std::int32_t width, std::int32_t height, std::int32_t channels);
