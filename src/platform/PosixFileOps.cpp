#include "platform/FileOps.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <optional>
#include <random>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <utility>
#include <vector>

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

/// The extended attribute that holds a file's access list.
constexpr const char* aclName = "system.posix_acl_access";

/// Gives the new file `fd` the owner, group and permission bits of `model`. The owner must
/// be kept: a file of another user is not taken over. A group that cannot be kept drops the
/// set-group-ID bit. Returns 0 or the errno of the failure.
int takeOwnerAndMode(int fd, const struct stat& model)
{
    mode_t mode = model.st_mode & 07777;
    // Both kept: the usual case, and nothing to look at.
    if (::fchown(fd, model.st_uid, model.st_gid) == 0)
        return ::fchmod(fd, mode) == 0 ? 0 : errno;
    if (::fchown(fd, static_cast<uid_t>(-1), model.st_gid) != 0) {
        // The group could not be kept either; the check below sees it.
    }
    struct stat now
    {
    };
    if (::fstat(fd, &now) != 0)
        return errno;
    if (now.st_uid != model.st_uid)
        return EPERM;
    if (now.st_gid != model.st_gid)
        mode &= ~static_cast<mode_t>(S_ISGID);
    return ::fchmod(fd, mode) == 0 ? 0 : errno;
}

/// Gives the new file `fd` the extended attributes of `model` that this process may set (the
/// access list among them), and takes away any the folder's defaults gave it that `model` has
/// not. Returns 0 or the errno of a failure to copy the access list.
int takeAttributes(int fd, const char* model, bool folderGivesAccessList)
{
    char names[4096];
    ssize_t length = ::listxattr(model, names, sizeof names);
    ssize_t ownLength = folderGivesAccessList ? ::flistxattr(fd, nullptr, 0) : 0;
    if (length <= 0 && ownLength <= 0)
        return 0; // the usual case: none on either
    if (length < 0)
        length = 0;
    std::vector<char> value;
    for (const char* name = names; name < names + length; name += std::strlen(name) + 1) {
        ssize_t size = ::getxattr(model, name, nullptr, 0);
        if (size < 0)
            continue;
        value.resize(static_cast<std::size_t>(size) + 1);
        size = ::getxattr(model, name, value.data(), value.size());
        const bool acl = std::strcmp(name, aclName) == 0;
        if (size >= 0 && ::fsetxattr(fd, name, value.data(), static_cast<std::size_t>(size), 0) != 0
            && acl)
            return errno;
    }
    // An access list the folder's default gave the new file, where the former had none.
    if (ownLength > 0 && ::getxattr(model, aclName, nullptr, 0) < 0 && errno == ENODATA
        && ::fremovexattr(fd, aclName) != 0 && errno != ENODATA)
        return errno;
    return 0;
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

/// What a folder gives the files made in it: its group, and whether it has a default access
/// list (which gives new files one of their own and may take permission bits away).
struct FolderDefaults
{
    bool known = false;
    gid_t group = 0;
    bool accessList = true;
};

/// The defaults of `folder`, looked at once for the files this thread makes there in a row.
const FolderDefaults& defaultsOf(const std::string& folder)
{
    thread_local std::string lastFolder;
    thread_local FolderDefaults defaults;
    if (folder != lastFolder || !defaults.known) {
        lastFolder = folder;
        defaults = FolderDefaults();
        struct stat info
        {
        };
        if (::stat(folder.c_str(), &info) == 0) {
            defaults.known = true;
            defaults.group = info.st_gid;
            defaults.accessList =
                ::getxattr(folder.c_str(), "system.posix_acl_default", nullptr, 0) >= 0
                || (errno != ENODATA && errno != ENOTSUP);
        }
    }
    return defaults;
}

/// Whether a file this process makes in `folder` gets the group `group` under every rule a
/// file system may follow (the process's group, or the folder's where it is set-group-ID or
/// mounted so): true when both are that group.
bool newFilesGetGroup(const std::string& folder, gid_t group)
{
    const gid_t processGroup = ::getegid(); // asked each time: it may change
    if (group != processGroup)
        return false;
    const FolderDefaults& defaults = defaultsOf(folder);
    return defaults.known && defaults.group == group;
}

/// The process's file mode creation mask as the system reports it, read without setting it
/// (setting it, even for a moment, would change it for every thread); nothing where it is not
/// reported.
std::optional<mode_t> creationMask()
{
    static const std::optional<mode_t> mask = []() -> std::optional<mode_t> {
        std::FILE* status = std::fopen("/proc/self/status", "re");
        if (status == nullptr)
            return std::nullopt;
        char line[256];
        std::optional<mode_t> found;
        while (std::fgets(line, sizeof line, status) != nullptr) {
            unsigned value = 0;
            if (std::sscanf(line, "Umask: %o", &value) == 1) {
                found = static_cast<mode_t>(value);
                break;
            }
        }
        std::fclose(status);
        return found;
    }();
    return mask;
}

/// Creates a new file of a temporary name in `folder` that names no existing file (as
/// mkostemp does, but with `mode`) and sets `path` to it. Returns the descriptor, or -1 with
/// errno set.
int createUnique(const std::string& folder, std::string& path, mode_t mode)
{
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
        path = folder.back() == '/' ? folder + temporaryName(z) : folder + "/" + temporaryName(z);
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

/// `path` with every byte outside the unreserved set written as %XX, as a trash's record wants.
std::string percentEncoded(const std::string& path)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string encoded;
    for (char c : path) {
        auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) != 0 || std::strchr("/-_.~", c) != nullptr) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += digits[byte >> 4];
            encoded += digits[byte & 15];
        }
    }
    return encoded;
}

/// Makes the folder `path` (private) unless it is there; false when it cannot be had.
bool haveFolder(const std::string& path)
{
    if (::mkdir(path.c_str(), 0700) == 0)
        return true;
    struct stat info
    {
    };
    return errno == EEXIST && ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

/// Makes `path` and whatever folders above it are missing, as `haveFolder` does.
bool haveFolders(const std::string& path)
{
    if (haveFolder(path))
        return true;
    const std::string parent = folderOf(path);
    return errno == ENOENT && parent != path && haveFolders(parent) && haveFolder(path);
}

/// The volume `path` lies on, or would lie on once made: that of the nearest folder above it
/// that exists.
std::optional<dev_t> volumeOf(std::string path)
{
    struct stat info
    {
    };
    while (::stat(path.c_str(), &info) != 0) {
        const std::string parent = folderOf(path);
        if (errno != ENOENT || parent == path)
            return std::nullopt;
        path = parent;
    }
    return info.st_dev;
}

/// The trash for a file on the volume `device` whose folder is `folder` (without links), with
/// its "files" and "info" folders in place, and the folder that paths in its records are
/// relative to (empty: they are absolute). Nothing when the volume has none to offer.
std::optional<std::pair<std::string, std::string>> trashFor(const std::string& folder, dev_t device)
{
    const char* data = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    std::string dataHome = data != nullptr && data[0] == '/' ? data
        : home != nullptr && home[0] == '/'                  ? std::string(home) + "/.local/share"
                                                             : "";
    struct stat info
    {
    };
    std::string trash;
    std::string relativeTo;
    // The home trash serves its own volume even before its folders exist (a fresh account).
    if (!dataHome.empty() && volumeOf(dataHome) == device) {
        trash = dataHome + "/Trash";
        if (!haveFolders(trash))
            return std::nullopt;
    } else {
        // The volume's own: ".Trash-<user>" in the folder where the volume starts.
        std::string top = folder;
        while (top != "/") {
            std::string parent = folderOf(top);
            if (::stat(parent.c_str(), &info) != 0 || info.st_dev != device)
                break;
            top = parent;
        }
        trash = (top == "/" ? "" : top) + "/.Trash-" + std::to_string(::geteuid());
        relativeTo = top;
    }
    if (!haveFolder(trash) || !haveFolder(trash + "/files") || !haveFolder(trash + "/info")
        || ::stat(trash.c_str(), &info) != 0 || info.st_dev != device)
        return std::nullopt;
    return std::pair{trash, relativeTo};
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

std::optional<FileFacts> NativeFileOps::examine(const std::string& path) noexcept
{
    struct stat info
    {
    };
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    static const uid_t processUser = ::geteuid(); // this program never changes it
    auto nanoseconds = [](const timespec& time) {
        return std::int64_t{time.tv_sec} * 1'000'000'000 + time.tv_nsec;
    };
    return FileFacts{
        {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)},
        static_cast<std::uint64_t>(info.st_size), nanoseconds(info.st_mtim),
        nanoseconds(info.st_ctim), info.st_uid == processUser};
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
    std::string tempPath;
    // The usual case, a file of this user and group with plain permission bits, is made with
    // them at once; anything else is made private and given them after.
    const uid_t processUser = ::geteuid();
    const mode_t plainMode = model.st_mode & 0777;
    const bool plain = haveModel && (model.st_mode & 07000) == 0 && model.st_uid == processUser
        && newFilesGetGroup(folderOf(targetPath), model.st_gid);
    FdGuard fd(createUnique(folderOf(targetPath), tempPath,
        plain           ? plainMode
            : haveModel ? 0600
                        : 0666));
    if (fd.get() < 0)
        throw FileError("Cannot create a temporary file for", targetPath, errno);
    auto fail = [&](const char* operation, int errorNumber) {
        ::close(fd.release());
        ::unlink(tempPath.c_str());
        throw FileError(operation, targetPath, errorNumber);
    };

    if (haveModel) {
        const bool folderAccessList = defaultsOf(folderOf(targetPath)).accessList;
        if (int error = takeAttributes(fd.get(), targetPath.c_str(), folderAccessList); error != 0)
            fail("Cannot copy the access list to the new", error);
        // Set unless the creation mask is known to have left every bit and no default access
        // list of the folder took any away.
        const std::optional<mode_t> mask = creationMask();
        const bool given = mask && (plainMode & ~*mask) == plainMode && !folderAccessList;
        if (plain && !given && ::fchmod(fd.get(), plainMode) != 0)
            fail("Cannot set the permissions of the new", errno);
        if (!plain) {
            if (int error = takeOwnerAndMode(fd.get(), model); error == EPERM)
                fail("Cannot keep the owner of", error);
            else if (error != 0)
                fail("Cannot set the permissions of the new", error);
        }
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

bool NativeFileOps::linkNoReplace(const std::string& from, const std::string& to)
{
    if (::link(from.c_str(), to.c_str()) == 0)
        return true;
    if (noHardLinks(errno))
        return false;
    throw FileError("Cannot make the backup", to, errno);
}

void NativeFileOps::renameNoReplace(const std::string& from, const std::string& to)
{
    const std::string operation = "Cannot rename \"" + from + "\" to";
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return;
    if (!noExclusiveRename(errno))
        throw FileError(operation, to, errno);
    // The file system cannot rename without replacing: a hard link fails when the target
    // exists, which is what we need.
    if (::link(from.c_str(), to.c_str()) == 0) {
        if (::unlink(from.c_str()) != 0) {
            int error = errno;
            ::unlink(to.c_str());
            throw FileError(operation, to, error);
        }
        return;
    }
    if (!noHardLinks(errno))
        throw FileError(operation, to, errno);
    // Neither (some FUSE volumes): nothing atomic is left. The name is looked at right before
    // the rename; claiming it first would leave an empty file there if the process died.
    struct stat info
    {
    };
    if (::lstat(to.c_str(), &info) == 0)
        throw FileError(operation, to, EEXIST);
    if (errno != ENOENT)
        throw FileError(operation, to, errno);
    if (::rename(from.c_str(), to.c_str()) != 0)
        throw FileError(operation, to, errno);
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

void NativeFileOps::moveToTrash(const std::string& path)
{
    const char* operation = "Cannot move to the trash";
    struct stat info
    {
    };
    if (::lstat(path.c_str(), &info) != 0)
        throw FileError(operation, path, errno);
    char* real = ::realpath(folderOf(path).c_str(), nullptr);
    if (real == nullptr)
        throw FileError(operation, path, errno);
    const std::string folder = real;
    std::free(real);
    const std::string name = nameOf(path);
    const std::string absolute = (folder == "/" ? "" : folder) + "/" + name;
    auto trash = trashFor(folder, info.st_dev);
    if (!trash)
        throw FileError(operation, path, std::string("this volume has no trash"));
    const auto& [trashFolder, relativeTo] = *trash;
    std::string recorded =
        relativeTo.empty() || relativeTo == "/" ? absolute : absolute.substr(relativeTo.size() + 1);
    char date[32];
    const std::time_t now = std::time(nullptr);
    struct tm local
    {
    };
    ::localtime_r(&now, &local);
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
    const std::string record =
        "[Trash Info]\nPath=" + percentEncoded(recorded) + "\nDeletionDate=" + date + "\n";
    // The record claims the name in the trash; the file follows it there.
    for (int number = 1; number < 1000; ++number) {
        const std::string trashName = number == 1 ? name : name + "." + std::to_string(number);
        const std::string recordPath = trashFolder + "/info/" + trashName + ".trashinfo";
        FdGuard fd(::open(recordPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (fd.get() < 0) {
            if (errno == EEXIST)
                continue;
            throw FileError(operation, path, errno);
        }
        const bool written =
            ::write(fd.get(), record.data(), record.size()) == static_cast<ssize_t>(record.size())
            && ::fsync(fd.get()) == 0 && ::close(fd.release()) == 0;
        const std::string inTrash = trashFolder + "/files/" + trashName;
        if (written
            && (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, inTrash.c_str(), RENAME_NOREPLACE)
                    == 0
                || (noExclusiveRename(errno) && ::rename(path.c_str(), inTrash.c_str()) == 0)))
            return;
        int error = written ? errno : EIO;
        ::unlink(recordPath.c_str());
        if (error == EEXIST)
            continue;
        throw FileError(operation, path, error);
    }
    throw FileError(operation, path, EEXIST);
}

void NativeFileOps::syncFolder(const std::string& folder)
{
    // A folder, or a file written there where the folder may be written but not read.
    FdGuard fd(::open(folder.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
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
