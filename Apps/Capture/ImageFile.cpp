#include "ImageFile.h"

#include "FileMove.h"
#include "OutputPath.h"

#include <cstdio>
#include <filesystem>
#include <opencv2/imgcodecs.hpp>
#include <spdlogger.h>
#include <vector>

namespace
{
// Far beyond any real run of same-second captures; bounds the search when the directory is full of
// leftovers with our names.
constexpr int MaxCopyNumber = 10000;

// The writer reports success even when the disk fills up under it (its stream errors go unchecked),
// so the file's size is compared with what an uncompressed 24-bit BMP of the image takes: the 54-byte
// file and info headers, then every row padded to 4 bytes.
bool IsCompleteBmp(const std::string& path, const cv::Mat& image)
{
    const std::uintmax_t stride = (static_cast<std::uintmax_t>(image.cols) * 3 + 3) / 4 * 4;
    const std::uintmax_t expected = 54 + stride * static_cast<std::uintmax_t>(image.rows);
    std::error_code error;
    const std::uintmax_t actual = std::filesystem::file_size(path, error);
    return !error && actual == expected;
}
} // namespace

std::string SaveImage(const cv::Mat& image, const std::tm& localTime, const std::string& fileName)
{
    const std::string firstChoice = MakeOutputPath(fileName, localTime);
    // In the same directory as the final file, so the move never crosses file systems; a leading dot
    // keeps it out of "*.bmp" listings.
    std::string creationError;
    const std::string temporary = CreateTemporaryImageFile(OutputDirectory, creationError);
    if (temporary.empty())
    {
        Logger::Critical("could not write the image to \"" + firstChoice +
                         "\": no temporary file can be made in its directory: " + creationError);
        return std::string();
    }
    bool written = false;
    try
    {
        written = cv::imwrite(temporary, image, std::vector<int>());
    }
    catch (...)
    {
        std::remove(temporary.c_str()); // May hold part of an image.
        throw;
    }
    if (!written || !IsCompleteBmp(temporary, image))
    {
        std::remove(temporary.c_str());
        Logger::Critical("could not write the image to \"" + firstChoice + "\" (temporary file \"" +
                         temporary + "\"): the directory may be missing or not writable, or the disk full");
        return std::string();
    }

    for (int copyNumber = 1; copyNumber <= MaxCopyNumber; ++copyNumber)
    {
        std::string path = copyNumber == 1 ? firstChoice : MakeOutputPath(fileName, localTime, copyNumber);
        std::string errorText;
        switch (MoveWithoutReplacing(temporary, path, errorText))
        {
        case MoveResult::Moved:
            return path;
        case MoveResult::TargetExists:
            continue;
        case MoveResult::Failed:
            std::remove(temporary.c_str());
            std::string message = "could not move the image from \"";
            message.append(temporary).append("\" to \"").append(path).append("\": ").append(errorText);
            Logger::Critical(message);
            return std::string();
        }
    }
    std::remove(temporary.c_str());
    std::string message = "could not write the image to \"";
    message.append(firstChoice).append("\": the names up to copy ").append(std::to_string(MaxCopyNumber));
    Logger::Critical(message.append(" are all taken"));
    return std::string();
}
