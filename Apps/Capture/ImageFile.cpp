#include "ImageFile.h"

#include "CaptureWorkspace.h"
#include "OutputPath.h"

#include <cerrno>
#include <cstring>
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
std::uintmax_t BmpFileSize(const cv::Mat& image)
{
    const std::uintmax_t stride = (static_cast<std::uintmax_t>(image.cols) * 3 + 3) / 4 * 4;
    return 54 + stride * static_cast<std::uintmax_t>(image.rows);
}
} // namespace

std::string SaveImage(const cv::Mat& image, const std::tm& localTime, const std::string& fileName)
{
    const std::string firstChoice = MakeOutputPath(fileName, localTime);
    const std::size_t directoryLength = std::strlen(OutputDirectory);
    // Removes the temporary on every way out, exceptions from the writer included.
    CaptureWorkspace workspace;
    std::string errorText;
    if (!workspace.Open(OutputDirectory, errorText))
    {
        Logger::Critical("could not write the image to \"" + firstChoice + "\": " + errorText);
        return std::string();
    }
    // The writer says only whether it could open the file; why it failed is in errno, which a failed
    // open or write leaves behind (later successful calls in the writer do not reset it).
    errno = 0;
    const bool written = cv::imwrite(workspace.TemporaryPath(), image, std::vector<int>());
    const int writerError = errno;
    if (!written)
        errorText =
            "the image writer failed: " +
            (writerError != 0 ? "open: " + std::string(std::strerror(writerError)) : "no system error");
    if (!written || !workspace.Seal(BmpFileSize(image), writerError, errorText))
    {
        Logger::Critical("could not write the image to \"" + firstChoice + "\": " + errorText);
        return std::string();
    }

    for (int copyNumber = 1; copyNumber <= MaxCopyNumber; ++copyNumber)
    {
        std::string path = copyNumber == 1 ? firstChoice : MakeOutputPath(fileName, localTime, copyNumber);
        switch (workspace.Publish(path.substr(directoryLength), errorText))
        {
        case PublishResult::Published:
            return path;
        case PublishResult::TargetExists:
            continue;
        case PublishResult::Failed:
            Logger::Critical(std::string("could not publish the image as \"")
                                 .append(path)
                                 .append("\": ")
                                 .append(errorText));
            return std::string();
        }
    }
    std::string message = "could not write the image to \"";
    message.append(firstChoice).append("\": the names up to copy ").append(std::to_string(MaxCopyNumber));
    Logger::Critical(message.append(" are all taken"));
    return std::string();
}
