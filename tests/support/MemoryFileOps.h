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
    /// How `makeBackup` works, as on the three kinds of file system the real one meets.
    enum class Backup { SecondName, Move, Copy } backupBy = Backup::SecondName;
    std::size_t syncCount = 0;
    /// When not 0, `syncFolder` fails with this errno.
    int syncError = 0;

    void readWhole(const std::string& path, std::vector<std::uint8_t>& image) override;
    EntryKind kindOf(const std::string& path) noexcept override;
    std::optional<FileIdentity> identify(const std::string& path) noexcept override;
    std::string resolveLinks(const std::string& path) override { return path; }
    void checkWritable(const std::string& path) override;
    std::string writeTemporary(const std::string& targetPath, const std::uint8_t* data,
        std::size_t size, bool sync) override;
    bool makeBackup(const std::string& path, const std::string& backupPath,
        const std::uint8_t* former, std::size_t formerSize) override;
    void renameNoReplace(const std::string& from, const std::string& to) override;
    void renameReplace(const std::string& from, const std::string& to) override;
    void removeQuietly(const std::string& path) noexcept override;
    void removeLeftovers(const std::string&) noexcept override { }
    void syncFolder(const std::string& folder) override;
    std::vector<FolderItem> listFolder(const std::string& folder) override;

private:
    int m_temporaryCount = 0;
};

} // namespace sorvanel::test
