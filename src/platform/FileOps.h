#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace sorvanel {

/// A failed file operation. Its text names the operation, the path and the system's reason,
/// e.g. `Cannot open "/x/a.mid" for reading: No such file or directory`.
class FileError : public std::runtime_error
{
public:
    FileError(std::string operation, std::string path, int errorNumber);
    /// With a reason of our own in place of the system's text.
    FileError(std::string operation, std::string path, const std::string& reason);
    /// With the system's own text for the failure, and the errno value nearest to it.
    FileError(std::string operation, std::string path, int errorNumber, const std::string& reason);
    /// The same failure with a sentence added to its text.
    FileError(const FileError& failure, const std::string& addition);

    const std::string& operation() const { return m_operation; }
    const std::string& path() const { return m_path; }
    /// The errno value behind the failure (0 when there was none); on Windows the one that
    /// means the same as the system's error code.
    int errorNumber() const { return m_errorNumber; }

private:
    std::string m_operation;
    std::string m_path;
    int m_errorNumber;
};

/// One item of a folder listing.
struct FolderItem
{
    std::string name; ///< without folder
    bool isDirectory = false; ///< a folder, or a link to one
    bool isFile = false; ///< a regular file, or a link to one; never a pipe, socket or device
    bool isHidden = false; ///< a name starting with "." (or the platform's hidden flag)
    bool isLink = false; ///< a symbolic link; `isDirectory` tells what it points at
};

/// What stands under a name, with links followed.
enum class EntryKind {
    Missing, ///< nothing
    File, ///< a regular file (readable or not), or a link to one
    Folder, ///< a folder, or a link to one
    BrokenLink, ///< a link that leads nowhere or round in a circle
    Other, ///< a pipe, socket or device
    Unknown, ///< the system would not tell (a folder on the way may not be searched)
};

/// Tells one file from another whatever names it has (links, "./", hard links).
struct FileIdentity
{
    std::uint64_t device = 0;
    std::uint64_t file = 0;
    auto operator<=>(const FileIdentity&) const = default;
};

/// What a look at a file tells: which file it is, how long, and when it was written.
struct FileFacts
{
    FileIdentity identity;
    std::uint64_t size = 0;
    /// When its contents were last written, in nanoseconds of the system's clock.
    std::int64_t modified = 0;
    /// When its contents, names or permissions last changed (the moment a second name or a
    /// rename made it a backup), in the same nanoseconds.
    std::int64_t changed = 0;
    /// True when this process's user owns it (always on systems without owners).
    bool mine = true;
    /// True when the other facts match: the same file, untouched since the first look.
    bool sameAs(const FileFacts& other) const
    {
        return identity == other.identity && size == other.size && modified == other.modified;
    }
};

/// The file system as the core uses it. Every failing operation throws `FileError`, except
/// where a comment says otherwise. Tests substitute in-memory or fault-injecting versions.
///
/// Rewriting a file (see `replaceKeepingBackup`) is built from these operations so that,
/// whatever step fails and wherever the process dies, the file's name holds its former bytes
/// or the complete new ones, and an existing backup is never replaced.
class FileOps
{
public:
    virtual ~FileOps() = default;

    /// Reads the regular file `path` whole into `image` (resized to its length; its capacity
    /// is reused). Never waits: anything that is not a regular file (a pipe, a folder) is
    /// refused at once. A file over 2^31-1 bytes is refused from its size, before anything is
    /// allocated or read.
    virtual void readWhole(const std::string& path, std::vector<std::uint8_t>& image) = 0;

    /// What stands under `path`, links followed. Never throws.
    virtual EntryKind kindOf(const std::string& path) noexcept = 0;

    /// The facts of the file `path` leads to, or nothing when it cannot be examined.
    /// Never throws.
    virtual std::optional<FileFacts> examine(const std::string& path) noexcept = 0;

    /// The path of the file that `path` names after following the links that its last
    /// component is (none: `path` itself). The file is rewritten there, beside itself, and
    /// the link stays a link.
    virtual std::string resolveLinks(const std::string& path) = 0;

    /// Fails with the system's reason when the user may not write the file `path` itself
    /// (its permissions, a read-only volume); the folder's permissions do not matter.
    virtual void checkWritable(const std::string& path) = 0;

    /// Creates a hidden file of a fixed-length name (never "*.mid") in the folder of
    /// `targetPath`, with that file's owner and group where this process may set them and
    /// its permission bits (set-user/group-ID only where the owner/group was kept), writes
    /// `size` bytes in one piece and closes it; with `sync` the contents are flushed to disk
    /// first. Returns the new file's path. On failure nothing is left behind.
    virtual std::string writeTemporary(
        const std::string& targetPath, const std::uint8_t* data, std::size_t size, bool sync) = 0;

    /// Gives the file `from` the second name `to`, never replacing anything there (then it
    /// fails with "File exists"). Returns false, changing nothing, where the volume (or the
    /// file: another user's under the system's link protection) takes no second names.
    virtual bool linkNoReplace(const std::string& from, const std::string& to) = 0;

    /// Renames `from` to `to`; fails (and changes nothing) when `to` exists. Where the volume
    /// can neither rename without replacing nor make second names, `to` is looked at just
    /// before an ordinary rename: only another program making that very name in between
    /// could lose it.
    virtual void renameNoReplace(const std::string& from, const std::string& to) = 0;

    /// Renames `from` to `to`, atomically replacing a file named `to`: at every moment `to`
    /// holds the one or the other.
    virtual void renameReplace(const std::string& from, const std::string& to) = 0;

    /// Removes a file; a failure is ignored (used only to clean up after another failure).
    virtual void removeQuietly(const std::string& path) noexcept = 0;

    /// Moves the file `path` to the desktop's trash (the recycle bin on Windows), where the
    /// user can find it and put it back; fails, changing nothing, where there is none.
    virtual void moveToTrash(const std::string& path) = 0;

    /// Flushes everything written in `folder` to disk; fails with the system's reason when
    /// something could not be written.
    virtual void syncFolder(const std::string& folder) = 0;

    /// The items of a folder in the order the platform returns them, without "." and "..".
    virtual std::vector<FolderItem> listFolder(const std::string& folder) = 0;
};

#ifdef _WIN32
/// What this platform puts between a folder and a name, and what it accepts there.
constexpr char pathSeparator = '\\';
constexpr const char* pathSeparators = "/\\";
#else
constexpr char pathSeparator = '/';
constexpr const char* pathSeparators = "/";
#endif

constexpr bool isPathSeparator(char c)
{
#ifdef _WIN32
    return c == '/' || c == '\\';
#else
    return c == '/';
#endif
}

/// The name `writeTemporary` gives a file: ".sorvanel~", eight letters or digits picked by
/// `random`, ".tmp". Hidden, never "*.mid", of one length whatever the song's name is.
std::string temporaryName(std::uint64_t random);

/// Whether `name` (without folder) is one `temporaryName` gives.
bool isTemporaryName(const std::string& name);

/// The folder part of `path` ("." for a bare name, the root for a name in the root: "/", and
/// on Windows "C:\\" or "C:").
std::string folderOf(const std::string& path);

/// The last component of `path`, without its folder.
std::string nameOf(const std::string& path);

/// Whether `path` starts at a root: "/"; on Windows a drive ("C:\\") or a share
/// ("\\\\server\\share"), not "C:" or "\\" alone, which depend on the current folder.
bool isAbsolutePath(const std::string& path);

/// The real file system: POSIX calls (PosixFileOps.cpp), or on Windows its own calls
/// (Win32FileOps.cpp), where paths are UTF-8 here and UTF-16 at the system's calls. The
/// platform's layer is chosen at build time.
class NativeFileOps : public FileOps
{
public:
    void readWhole(const std::string& path, std::vector<std::uint8_t>& image) override;
    EntryKind kindOf(const std::string& path) noexcept override;
    std::optional<FileFacts> examine(const std::string& path) noexcept override;
    std::string resolveLinks(const std::string& path) override;
    void checkWritable(const std::string& path) override;
    std::string writeTemporary(const std::string& targetPath, const std::uint8_t* data,
        std::size_t size, bool sync) override;
    bool linkNoReplace(const std::string& from, const std::string& to) override;
    void renameNoReplace(const std::string& from, const std::string& to) override;
    void renameReplace(const std::string& from, const std::string& to) override;
    void removeQuietly(const std::string& path) noexcept override;
    void moveToTrash(const std::string& path) override;
    void syncFolder(const std::string& folder) override;
    std::vector<FolderItem> listFolder(const std::string& folder) override;

#ifdef _WIN32
private:
    /// Files written without a flush, under the names they have now: a folder's sync flushes
    /// them (Windows flushes files, not folders).
    std::mutex m_lock;
    std::vector<std::string> m_unflushed;
#endif
};

#ifdef _WIN32
/// UTF-8 to UTF-16 and back; text that is not valid UTF-8 throws `FileError` naming `path`.
std::wstring toWide(const std::string& text);
std::string toUtf8(const std::wstring& text);
#endif

} // namespace sorvanel
