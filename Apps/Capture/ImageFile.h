// Writing the converted image as a 24-bit BMP file that appears whole or not at all.
#pragma once

#include <ctime>
#include <opencv2/core/mat.hpp>
#include <string>

// Writes image under the first free name MakeOutputPath gives for localTime (copy 1, 2, 3, ...) and
// returns that path. The file is written in a private directory of the capture (see CaptureWorkspace.h)
// and published only when complete and on disk, so a reader never sees a partial image, no earlier
// file is replaced, and no other user can redirect the write.
// Returns the empty text after logging through Logger::Critical when the file cannot be written.
std::string SaveImage(const cv::Mat& image, const std::tm& localTime, const std::string& fileName);
