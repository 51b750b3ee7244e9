#pragma once

#include "platform/FileOps.h"

#include <map>
#include <set>

namespace sorvanel::test {

/// File operations over an in-memory map of paths to contents, with failures on demand.
class MemoryFileOps : public FileOps
{
public:
    std::map<std::string, std::vector<std::uint8_t>> files;
    /// Paths whose read throws `FileError` with this errno.
    std::map<std::string, int> readErrors;
    /// Paths whose read throws `std::bad_alloc`.
    std::set<std::string> readOutOfMemory;
    /// Paths the user may not write.
    std::set<std::string> readOnly;
    /// What the volume offers for a backup, as the three kinds of file system the real one
    /// meets: second names; no second names but renames that never replace; neither.
    enum class Backup { SecondName, Copy, CopyAndLook } backupBy = Backup::SecondName;
    /// When each file's contents and names last changed, by a clock that ticks at each change
    /// made through these operations (0 for files put in `files` directly).
    struct Times
    {
        std::int64_t modified = 0;
        std::int64_t changed = 0;
    };
    std::map<std::string, Times> times;
    std::int64_t clock = 0;
    /// What `moveToTrash` took, by the path it had; without `hasTrash` it fails.
    std::map<std::string, std::vector<std::uint8_t>> trash;
    bool hasTrash = true;
    std::size_t syncCount = 0;
    /// When not 0, `syncFolder` fails with this errno.
    int syncError = 0;

    void readWhole(const std::string& path, std::vector<std::uint8_t>& image) override;
    EntryKind kindOf(const std::string& path) noexcept override;
    std::optional<FileFacts> examine(const std::string& path) noexcept override;
    std::string resolveLinks(const std::string& path) override { return path; }
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

    /// Puts `contents` under `path` as a program saving it would.
    void save(const std::string& path, const std::vector<std::uint8_t>& contents)
    {
        files[path] = contents;
        times[path] = {++clock, clock};
    }

private:
    /// The key under which `path` is kept (the same where it is not kept).
    std::string stored(const std::string& path) const;

    int m_temporaryCount = 0;
};

} // namespace sorvanel::test
