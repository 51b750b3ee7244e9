#include "platform/FileOps.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace sorvanel {

namespace {

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

/// `name` in the folder of `path`.
std::string beside(const std::string& path, const std::string& name)
{
    std::string folder = folderOf(path);
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

/// Temporary files are ".sorvanel-" and six letters or digits chosen at random: hidden, never
/// "*.mid", and of one length whatever the song's name is, so a name that fits fits here.
constexpr const char* temporaryPrefix = ".sorvanel-";
constexpr std::size_t temporaryPrefixLength = 10;

bool isTemporaryName(const char* name)
{
    if (std::strncmp(name, temporaryPrefix, temporaryPrefixLength) != 0
        || std::strlen(name) != temporaryPrefixLength + 6)
        return false;
    for (const char* c = name + temporaryPrefixLength; *c != '\0'; ++c)
        if (std::isalnum(static_cast<unsigned char>(*c)) == 0)
            return false;
    return true;
}

/// Gives the new file `fd` the owner, group and permission bits of `model`, as far as this
/// process may. A set-user-ID or set-group-ID bit stays only where the owner or group did.
/// Returns 0 or the errno of a failure to set the permission bits.
int takeOwnerAndMode(int fd, const struct stat& model)
{
    mode_t mode = model.st_mode & 07777;
    // Both kept: the usual case, and nothing to look at.
    if (::fchown(fd, model.st_uid, model.st_gid) == 0)
        return ::fchmod(fd, mode) == 0 ? 0 : errno;
    if (::fchown(fd, static_cast<uid_t>(-1), model.st_gid) != 0) {
        // Neither could be kept; the checks below see it.
    }
    struct stat now
    {
    };
    const bool known = ::fstat(fd, &now) == 0;
    if (!known || now.st_uid != model.st_uid)
        mode &= ~static_cast<mode_t>(S_ISUID);
    if (!known || now.st_gid != model.st_gid)
        mode &= ~static_cast<mode_t>(S_ISGID);
    return ::fchmod(fd, mode) == 0 ? 0 : errno;
}

/// What the last `resolveLinks` of this thread found at the end of the links: the file about
/// to be rewritten, so that making its replacement need not look at it again.
struct Examined
{
    std::string path;
    struct stat info
    {
    };
};
thread_local std::optional<Examined> lastExamined;

/// The folder this thread last made a file in, and its group.
thread_local std::string groupFolder;
thread_local gid_t groupOfFolder = 0;

/// Whether a file this process makes in `folder` gets the group `group` under every rule a
/// file system may follow (the process's group, or the folder's where it is set-group-ID or
/// mounted so): true when both are that group.
bool newFilesGetGroup(const std::string& folder, gid_t group)
{
    static const gid_t processGroup = ::getegid();
    if (group != processGroup)
        return false;
    if (folder != groupFolder) {
        struct stat info
        {
        };
        if (::stat(folder.c_str(), &info) != 0)
            return false;
        groupFolder = folder;
        groupOfFolder = info.st_gid;
    }
    return groupOfFolder == group;
}

/// The process's file mode creation mask, read once: reading it means setting it.
mode_t creationMask()
{
    static const mode_t mask = [] {
        mode_t current = ::umask(0);
        ::umask(current);
        return current;
    }();
    return mask;
}

/// Creates a new file at `path`, whose last six characters are replaced by letters and digits
/// that name no existing file (as mkostemp does, but with `mode`). Returns the descriptor, or
/// -1 with errno set.
int createUnique(std::string& path, mode_t mode)
{
    static constexpr char letters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::uint64_t state = [] {
        std::random_device seed;
        return (std::uint64_t{seed()} << 32) ^ seed();
    }();
    for (int attempt = 0; attempt < 100; ++attempt) {
        // splitmix64: names spread evenly, so a taken one is soon passed by.
        std::uint64_t z = (state += 0x9E3779B97F4A7C15u);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        z ^= z >> 31;
        for (std::size_t i = path.size() - 6; i < path.size(); ++i, z /= 62)
            path[i] = letters[z % 62];
        int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    errno = EEXIST;
    return -1;
}

/// link() errors that mean "this file system (or this file) takes no second name".
bool noHardLinks(int error)
{
    return error == EPERM || error == EOPNOTSUPP || error == ENOSYS || error == EMLINK
        || error == EXDEV;
}

/// renameat2() errors that mean "this file system cannot rename without replacing".
bool noExclusiveRename(int error)
{
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

} // namespace

void NativeFileOps::readWhole(const std::string& path, std::vector<std::uint8_t>& image)
{
    // Non-blocking, so that opening a pipe does not wait for a writer; it is refused below.
    FdGuard fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        throw FileError("Cannot open", path, errno);
    struct stat info
    {
    };
    if (::fstat(fd.get(), &info) != 0)
        throw FileError("Cannot get the length of", path, errno);
    if (S_ISDIR(info.st_mode))
        throw FileError("Cannot read", path, EISDIR);
    if (!S_ISREG(info.st_mode))
        throw FileError("Cannot read", path, std::string("it is not a regular file"));
    if (info.st_size > std::numeric_limits<std::int32_t>::max())
        throw FileError("Cannot read", path, EFBIG);
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

EntryKind NativeFileOps::kindOf(const std::string& path) noexcept
{
    struct stat info
    {
    };
    // The name itself first: most names are no link (or nothing at all), and then this one
    // look tells all that following the name would.
    if (::lstat(path.c_str(), &info) != 0) {
        int error = errno;
        if (error == ELOOP)
            return EntryKind::BrokenLink;
        if (error == ENOENT || error == ENOTDIR || error == ENAMETOOLONG)
            return EntryKind::Missing; // a name too long can name nothing; making it tells why
        return EntryKind::Unknown;
    }
    if (S_ISLNK(info.st_mode)) {
        if (::stat(path.c_str(), &info) != 0) {
            int error = errno;
            if (error == ENAMETOOLONG)
                return EntryKind::Missing;
            return error == ELOOP || error == ENOENT || error == ENOTDIR ? EntryKind::BrokenLink
                                                                         : EntryKind::Unknown;
        }
    }
    if (S_ISREG(info.st_mode))
        return EntryKind::File;
    return S_ISDIR(info.st_mode) ? EntryKind::Folder : EntryKind::Other;
}

std::optional<FileIdentity> NativeFileOps::identify(const std::string& path) noexcept
{
    struct stat info
    {
    };
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return FileIdentity{
        static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

std::string NativeFileOps::resolveLinks(const std::string& path)
{
    std::string current = path;
    for (int hops = 0;; ++hops) {
        struct stat info
        {
        };
        if (::lstat(current.c_str(), &info) != 0)
            throw FileError("Cannot examine", current, errno);
        if (!S_ISLNK(info.st_mode)) {
            lastExamined = Examined{current, info};
            return current;
        }
        if (hops == 40)
            throw FileError("Cannot follow the link", path, ELOOP);
        char target[PATH_MAX];
        ssize_t length = ::readlink(current.c_str(), target, sizeof target);
        if (length < 0)
            throw FileError("Cannot follow the link", current, errno);
        if (static_cast<std::size_t>(length) >= sizeof target)
            throw FileError("Cannot follow the link", current, ENAMETOOLONG);
        std::string next(target, static_cast<std::size_t>(length));
        current = next.front() == '/' ? next : beside(current, next);
    }
}

void NativeFileOps::checkWritable(const std::string& path)
{
    if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0)
        throw FileError("Cannot write", path, errno);
}

std::string NativeFileOps::writeTemporary(
    const std::string& targetPath, const std::uint8_t* data, std::size_t size, bool sync)
{
    // The file being replaced, as resolveLinks saw it a moment ago where it was the one.
    struct stat model
    {
    };
    bool haveModel = false;
    if (lastExamined && lastExamined->path == targetPath) {
        model = lastExamined->info;
        haveModel = true;
    } else {
        haveModel = ::stat(targetPath.c_str(), &model) == 0;
    }
    lastExamined.reset();
    std::string tempPath = beside(targetPath, std::string(temporaryPrefix) + "XXXXXX");
    // The usual case, a file of this user and group with plain permission bits, is made with
    // them at once; anything else is made private and given them after.
    static const uid_t processUser = ::geteuid();
    const mode_t plainMode = model.st_mode & 0777;
    const bool plain = haveModel && (model.st_mode & 07000) == 0 && model.st_uid == processUser
        && newFilesGetGroup(folderOf(targetPath), model.st_gid);
    FdGuard fd(createUnique(tempPath, plain ? plainMode : 0600));
    if (fd.get() < 0)
        throw FileError("Cannot create a temporary file for", targetPath, errno);
    auto fail = [&](const char* operation, int errorNumber) {
        ::close(fd.release());
        ::unlink(tempPath.c_str());
        throw FileError(operation, targetPath, errorNumber);
    };

    if (plain) {
        if ((plainMode & ~creationMask()) != plainMode && ::fchmod(fd.get(), plainMode) != 0)
            fail("Cannot set the permissions of the new", errno);
    } else if (haveModel) {
        if (int error = takeOwnerAndMode(fd.get(), model); error != 0)
            fail("Cannot set the permissions of the new", error);
    } else if (::fchmod(fd.get(), 0666 & ~creationMask()) != 0) {
        fail("Cannot set the permissions of the new", errno);
    }

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

bool NativeFileOps::makeBackup(const std::string& path, const std::string& backupPath,
    const std::uint8_t* former, std::size_t formerSize)
{
    const char* operation = "Cannot make the backup";
    // A second name: the file keeps its name and contents, and link() never replaces.
    if (::link(path.c_str(), backupPath.c_str()) == 0)
        return true;
    if (!noHardLinks(errno))
        throw FileError(operation, backupPath, errno);
    // No second names here: move the file itself to the backup name.
    if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, backupPath.c_str(), RENAME_NOREPLACE) == 0)
        return false;
    if (!noExclusiveRename(errno))
        throw FileError(operation, backupPath, errno);
    // Neither (some FUSE volumes): a copy of the bytes just read, on disk before it takes the
    // backup's name. The name is first claimed with O_EXCL, so nothing there is replaced, and
    // the copy then takes it in one rename: the backup never holds a part of the bytes.
    std::string copy = writeTemporary(path, former, formerSize, true);
    int claim = ::open(backupPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (claim < 0) {
        int error = errno;
        ::unlink(copy.c_str());
        throw FileError(operation, backupPath, error);
    }
    ::close(claim);
    if (::rename(copy.c_str(), backupPath.c_str()) != 0) {
        int error = errno;
        ::unlink(backupPath.c_str());
        ::unlink(copy.c_str());
        throw FileError(operation, backupPath, error);
    }
    return true;
}

void NativeFileOps::renameNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return;
    if (!noExclusiveRename(errno))
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

void NativeFileOps::renameReplace(const std::string& from, const std::string& to)
{
    if (::rename(from.c_str(), to.c_str()) != 0)
        throw FileError("Cannot rename \"" + from + "\" to", to, errno);
}

void NativeFileOps::removeQuietly(const std::string& path) noexcept
{
    ::unlink(path.c_str());
}

void NativeFileOps::removeLeftovers(const std::string& folder) noexcept
{
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return;
    const std::time_t dayAgo = std::time(nullptr) - 24 * 60 * 60;
    while (dirent* entry = ::readdir(dir)) {
        if (!isTemporaryName(entry->d_name))
            continue;
        struct stat info
        {
        };
        // Only old ones: a fresh one may belong to a run going on right now.
        if (::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0
            && S_ISREG(info.st_mode) && info.st_mtime < dayAgo)
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

void NativeFileOps::syncFolder(const std::string& folder)
{
    FdGuard fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0 || ::syncfs(fd.get()) != 0)
        throw FileError("Cannot flush what was written in", folder, errno);
}

std::vector<FolderItem> NativeFileOps::listFolder(const std::string& folder)
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
        } else if (entry->d_type == DT_REG) {
            item.isFile = true;
        } else if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat info
            {
            };
            item.isLink = entry->d_type == DT_LNK
                || (::fstatat(::dirfd(dir), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0
                    && S_ISLNK(info.st_mode));
            if (::fstatat(::dirfd(dir), entry->d_name, &info, 0) == 0) {
                item.isDirectory = S_ISDIR(info.st_mode);
                item.isFile = S_ISREG(info.st_mode);
            }
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
