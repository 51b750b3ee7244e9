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
    std::size_t syncCount = 0;
    /// Paths that exist as something other than a file (they are not in `files`).
    std::set<std::string> folders;

    void readWhole(const std::string& path, std::vector<std::uint8_t>& image) override;
    bool exists(const std::string& path) override;
    /// Every stored path is a regular file, except those in `folders`.
    bool isRegularFile(const std::string& path) override;
    std::string writeTemporary(const std::string& targetPath, const std::uint8_t* data,
        std::size_t size, bool sync) override;
    void renameNoReplace(const std::string& from, const std::string& to) override;
    void renameReplace(const std::string& from, const std::string& to) override;
    void removeQuietly(const std::string& path) noexcept override;
    void syncAll() noexcept override { ++syncCount; }
    std::vector<FolderItem> listFolder(const std::string& folder) override;

private:
    int m_temporaryCount = 0;
};

} // namespace sorvanel::test
