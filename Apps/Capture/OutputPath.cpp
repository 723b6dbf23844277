#include "OutputPath.h"

#include <stdexcept>

std::string MakeOutputPath(const std::string& fileName, const std::tm& localTime, int copyNumber)
{
    std::string path = OutputDirectory;
    path += "0";
    path += std::to_string(localTime.tm_mon + 1);
    path += std::to_string(localTime.tm_mday);
    path += "_";
    path += std::to_string(localTime.tm_hour);
    path += "_";
    path += std::to_string(localTime.tm_min);
    path += "_";
    path += std::to_string(localTime.tm_sec);
    if (copyNumber > 1)
        path += "-" + std::to_string(copyNumber);
    path += "_";
    path += fileName;
    return path;
}

// The file name comes by value: callers hand over a copy of their own, as the export does.
// cppcheck-suppress passedByValue
std::string MakeOutputPath(std::string fileName) // NOLINT(performance-unnecessary-value-param)
{
    return MakeOutputPath(fileName, LocalTimeNow());
}

std::tm LocalTimeNow()
{
    const std::time_t now = std::time(nullptr);
    const std::tm* local = std::localtime(&now);
    if (local == nullptr)
        throw std::runtime_error("the current time has no local calendar form");
    return *local;
}
