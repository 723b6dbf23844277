// Writing the converted image as a 24-bit BMP file that appears whole or not at all.
#pragma once

#include <ctime>
#include <opencv2/core/mat.hpp>
#include <string>

// Writes image under the first free name MakeOutputPath gives for localTime (copy 1, 2, 3, ...) and
// returns that path. The file is written under a temporary name in the same directory and moved into
// place only when complete, so a reader never sees a partial image and no earlier file is replaced.
// Returns the empty text after logging through Logger::Critical when the file cannot be written.
std::string SaveImage(const cv::Mat& image, const std::tm& localTime, const std::string& fileName);
