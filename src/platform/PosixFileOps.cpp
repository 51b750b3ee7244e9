#include "platform/FileOps.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sorvanel {

namespace {

std::string describe(const std::string& operation, const std::string& path, int errorNumber)
{
    std::string text = operation + " \"" + path + "\"";
    if (errorNumber != 0) {
        text += ": ";
        text += std::strerror(errorNumber);
    }
    return text;
}

/// Closes a descriptor when it goes out of scope, unless released.
class FdGuard
{
public:
    explicit FdGuard(int fd)
        : m_fd(fd)
    {
    }
    ~FdGuard()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;
    int get() const { return m_fd; }
    int release()
    {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }

private:
    int m_fd;
};

std::string folderOf(const std::string& path)
{
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

std::string nameOf(const std::string& path)
{
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

FileError::FileError(std::string operation, std::string path, int errorNumber)
    : std::runtime_error(describe(operation, path, errorNumber))
    , m_operation(std::move(operation))
    , m_path(std::move(path))
    , m_errorNumber(errorNumber)
{
}

void PosixFileOps::readWhole(const std::string& path, std::vector<std::uint8_t>& image)
{
    FdGuard fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        throw FileError("Cannot open", path, errno);
    struct stat info
    {
    };
    if (::fstat(fd.get(), &info) != 0)
        throw FileError("Cannot get the length of", path, errno);
    if (S_ISDIR(info.st_mode))
        throw FileError("Cannot read", path, EISDIR);
    auto length = static_cast<std::size_t>(info.st_size);
    image.resize(length);
    std::size_t done = 0;
    while (done < length) {
        ssize_t got = ::read(fd.get(), image.data() + done, length - done);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            throw FileError("Cannot read", path, errno);
        }
        if (got == 0)
            throw FileError("Cannot read all of", path, 0);
        done += static_cast<std::size_t>(got);
    }
    if (::close(fd.release()) != 0)
        throw FileError("Cannot close", path, errno);
}

bool PosixFileOps::exists(const std::string& path)
{
    struct stat info
    {
    };
    if (::lstat(path.c_str(), &info) == 0)
        return true;
    // Anything but "no such entry" means something may be there that we cannot see.
    return errno != ENOENT && errno != ENOTDIR;
}

bool PosixFileOps::isRegularFile(const std::string& path)
{
    struct stat info
    {
    };
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string PosixFileOps::writeTemporary(
    const std::string& targetPath, const std::uint8_t* data, std::size_t size, bool sync)
{
    // A hidden name that does not end in ".mid", so a folder scan never lists it.
    std::string pattern = folderOf(targetPath) + "/." + nameOf(targetPath) + ".XXXXXX";
    FdGuard fd(::mkstemp(pattern.data()));
    if (fd.get() < 0)
        throw FileError("Cannot create a temporary file for", targetPath, errno);
    const std::string& tempPath = pattern;
    auto fail = [&](const char* operation, int errorNumber) {
        ::close(fd.release());
        ::unlink(tempPath.c_str());
        throw FileError(operation, targetPath, errorNumber);
    };

    struct stat info
    {
    };
    mode_t mode = 0;
    if (::stat(targetPath.c_str(), &info) == 0) {
        mode = info.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd.get(), mode) != 0)
        fail("Cannot set the permissions of the new", errno);

    std::size_t done = 0;
    while (done < size) {
        ssize_t put = ::write(fd.get(), data + done, size - done);
        if (put < 0) {
            if (errno == EINTR)
                continue;
            fail("Cannot write", errno);
        }
        done += static_cast<std::size_t>(put);
    }
    if (sync && ::fsync(fd.get()) != 0)
        fail("Cannot flush", errno);
    if (::close(fd.release()) != 0) {
        int error = errno;
        ::unlink(tempPath.c_str());
        throw FileError("Cannot close", targetPath, error);
    }
    return tempPath;
}

void PosixFileOps::renameNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return;
    if (errno != EINVAL && errno != ENOSYS)
        throw FileError("Cannot rename \"" + from + "\" to", to, errno);
    // The file system cannot rename without replacing: a hard link fails when the target
    // exists, which is what we need.
    if (::link(from.c_str(), to.c_str()) != 0)
        throw FileError("Cannot rename \"" + from + "\" to", to, errno);
    if (::unlink(from.c_str()) != 0) {
        int error = errno;
        ::unlink(to.c_str());
        throw FileError("Cannot rename \"" + from + "\" to", to, error);
    }
}

void PosixFileOps::renameReplace(const std::string& from, const std::string& to)
{
    if (::rename(from.c_str(), to.c_str()) != 0)
        throw FileError("Cannot rename \"" + from + "\" to", to, errno);
}

void PosixFileOps::removeQuietly(const std::string& path) noexcept
{
    ::unlink(path.c_str());
}

void PosixFileOps::syncAll() noexcept
{
    ::sync();
}

std::vector<FolderItem> PosixFileOps::listFolder(const std::string& folder)
{
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        throw FileError("Cannot list", folder, errno);
    std::vector<FolderItem> items;
    errno = 0;
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        FolderItem item;
        item.isHidden = name.front() == '.';
        if (entry->d_type == DT_DIR) {
            item.isDirectory = true;
        } else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat info
            {
            };
            item.isDirectory =
                ::fstatat(::dirfd(dir), entry->d_name, &info, 0) == 0 && S_ISDIR(info.st_mode);
        }
        item.name = std::move(name);
        items.push_back(std::move(item));
        errno = 0;
    }
    int error = errno;
    ::closedir(dir);
    if (error != 0)
        throw FileError("Cannot list", folder, error);
    return items;
}

} // namespace sorvanel
