#include "platform/FileOps.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace sorvanel {

namespace {

std::string describe(const std::string& operation, const std::string& path, const char* reason)
{
    std::string text = operation + " \"" + path + "\"";
    if (reason != nullptr) {
        text += ": ";
        text += reason;
    }
    return text;
}

/// The length of the root that starts `path`: "/" here; on Windows also "C:", "C:\" and
/// "\\server\share\" (0 when the path is relative).
std::size_t rootLength(const std::string& path)
{
#ifdef _WIN32
    if (path.size() >= 2 && path[1] == ':')
        return path.size() >= 3 && isPathSeparator(path[2]) ? 3 : 2;
    if (path.size() >= 2 && isPathSeparator(path[0]) && isPathSeparator(path[1])) {
        // \\server\share\ (or \\?\C:\ ...): the root ends after the second name.
        std::size_t end = path.find_first_of("/\\", 2);
        end = end == std::string::npos ? end : path.find_first_of("/\\", end + 1);
        return end == std::string::npos ? path.size() : end + 1;
    }
#endif
    return !path.empty() && isPathSeparator(path[0]) ? 1 : 0;
}

} // namespace

std::string folderOf(const std::string& path)
{
    const std::size_t root = rootLength(path);
    auto separator = path.find_last_of(pathSeparators);
    if (separator == std::string::npos || separator < root) {
        if (root > 0)
            return path.substr(0, root);
        return ".";
    }
    return path.substr(0, std::max(separator, root));
}

std::string nameOf(const std::string& path)
{
    auto end = std::max(rootLength(path), path.find_last_of(pathSeparators) + 1);
    return path.substr(std::min(end, path.size()));
}

namespace {

constexpr std::string_view temporaryStart = ".sorvanel~";
constexpr std::string_view temporaryEnd = ".tmp";
constexpr std::size_t temporaryLetters = 8;

} // namespace

std::string temporaryName(std::uint64_t random)
{
    static constexpr char letters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string name(temporaryStart);
    for (std::size_t i = 0; i < temporaryLetters; ++i, random /= 62)
        name += letters[random % 62];
    name += temporaryEnd;
    return name;
}

bool isTemporaryName(const std::string& name)
{
    if (name.size() != temporaryStart.size() + temporaryLetters + temporaryEnd.size()
        || !name.starts_with(temporaryStart) || !name.ends_with(temporaryEnd))
        return false;
    return std::all_of(name.begin() + temporaryStart.size(),
        name.end() - static_cast<std::ptrdiff_t>(temporaryEnd.size()), [](char c) {
            return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        });
}

bool isAbsolutePath(const std::string& path)
{
#ifdef _WIN32
    return rootLength(path) >= 3;
#else
    return rootLength(path) > 0;
#endif
}

FileError::FileError(std::string operation, std::string path, int errorNumber)
    : std::runtime_error(
        describe(operation, path, errorNumber != 0 ? std::strerror(errorNumber) : nullptr))
    , m_operation(std::move(operation))
    , m_path(std::move(path))
    , m_errorNumber(errorNumber)
{
}

FileError::FileError(std::string operation, std::string path, const std::string& reason)
    : FileError(std::move(operation), std::move(path), 0, reason)
{
}

FileError::FileError(
    std::string operation, std::string path, int errorNumber, const std::string& reason)
    : std::runtime_error(describe(operation, path, reason.c_str()))
    , m_operation(std::move(operation))
    , m_path(std::move(path))
    , m_errorNumber(errorNumber)
{
}

FileError::FileError(const FileError& failure, const std::string& addition)
    : std::runtime_error(std::string(failure.what()) + addition)
    , m_operation(failure.m_operation)
    , m_path(failure.m_path)
    , m_errorNumber(failure.m_errorNumber)
{
}

} // namespace sorvanel
