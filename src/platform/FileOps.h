#pragma once

#include <cstddef>
#include <cstdint>
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

    const std::string& operation() const { return m_operation; }
    const std::string& path() const { return m_path; }
    /// The errno value behind the failure (0 when there was none).
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
    bool isDirectory = false;
    bool isHidden = false; ///< a name starting with "." (or the platform's hidden flag)
};

/// The file system as the core uses it. Every failing operation throws `FileError`, except
/// where a comment says otherwise. Tests substitute in-memory or fault-injecting versions.
class FileOps
{
public:
    virtual ~FileOps() = default;

    /// Opens `path` for reading, takes its length, reads it whole into `image` (resized to the
    /// length; its capacity is reused) and closes it.
    virtual void readWhole(const std::string& path, std::vector<std::uint8_t>& image) = 0;

    /// True when something of that name exists (a file, a folder, a dangling link, or an entry
    /// we may not read). Never throws.
    virtual bool exists(const std::string& path) = 0;

    /// True when `path` is a regular file, after following links. Never throws.
    virtual bool isRegularFile(const std::string& path) = 0;

    /// Creates a new file next to `targetPath` under a name no other file has, with the
    /// permission bits of `targetPath` (when it exists), writes `size` bytes in one piece and
    /// closes it; with `sync` the contents are flushed to disk before it is closed. Returns
    /// the new file's path. On failure nothing is left behind.
    virtual std::string writeTemporary(
        const std::string& targetPath, const std::uint8_t* data, std::size_t size, bool sync) = 0;

    /// Renames `from` to `to`; fails (and changes nothing) when `to` exists.
    virtual void renameNoReplace(const std::string& from, const std::string& to) = 0;

    /// Renames `from` to `to`, atomically replacing a file named `to`.
    virtual void renameReplace(const std::string& from, const std::string& to) = 0;

    /// Removes a file; a failure is ignored (used only to clean up after another failure).
    virtual void removeQuietly(const std::string& path) noexcept = 0;

    /// Flushes everything written so far to disk. Never throws.
    virtual void syncAll() noexcept = 0;

    /// The items of a folder in the order the platform returns them, without "." and "..".
    virtual std::vector<FolderItem> listFolder(const std::string& folder) = 0;
};

/// The real file system (POSIX).
class PosixFileOps : public FileOps
{
public:
    void readWhole(const std::string& path, std::vector<std::uint8_t>& image) override;
    bool exists(const std::string& path) override;
    bool isRegularFile(const std::string& path) override;
    std::string writeTemporary(const std::string& targetPath, const std::uint8_t* data,
        std::size_t size, bool sync) override;
    void renameNoReplace(const std::string& from, const std::string& to) override;
    void renameReplace(const std::string& from, const std::string& to) override;
    void removeQuietly(const std::string& path) noexcept override;
    void syncAll() noexcept override;
    std::vector<FolderItem> listFolder(const std::string& folder) override;
};

} // namespace sorvanel
