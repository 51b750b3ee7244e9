#include "support/MemoryFileOps.h"

#include <cerrno>
#include <functional>
#include <new>

namespace sorvanel::test {

void MemoryFileOps::readWhole(const std::string& path, std::vector<std::uint8_t>& image)
{
    if (auto error = readErrors.find(path); error != readErrors.end())
        throw FileError("Cannot read", path, error->second);
    if (readOutOfMemory.count(path) != 0)
        throw std::bad_alloc();
    auto file = files.find(path);
    if (file == files.end())
        throw FileError("Cannot open", path, ENOENT);
    image = file->second;
}

EntryKind MemoryFileOps::kindOf(const std::string& path) noexcept
{
    return files.count(path) != 0 ? EntryKind::File : EntryKind::Missing;
}

std::optional<FileIdentity> MemoryFileOps::identify(const std::string& path) noexcept
{
    if (files.count(path) == 0)
        return std::nullopt;
    return FileIdentity{0, std::hash<std::string>()(path)};
}

void MemoryFileOps::checkWritable(const std::string& path)
{
    if (readOnly.count(path) != 0)
        throw FileError("Cannot write", path, EACCES);
}

std::string MemoryFileOps::writeTemporary(
    const std::string& targetPath, const std::uint8_t* data, std::size_t size, bool)
{
    std::string number = std::to_string(++m_temporaryCount);
    std::string path =
        folderOf(targetPath) + "/.sorvanel-" + std::string(6 - number.size(), '0') + number;
    files[path].assign(data, data + size);
    return path;
}

bool MemoryFileOps::makeBackup(const std::string& path, const std::string& backupPath,
    const std::uint8_t* former, std::size_t formerSize)
{
    if (files.count(backupPath) != 0)
        throw FileError("Cannot make the backup", backupPath, EEXIST);
    switch (backupBy) {
    case Backup::SecondName:
        files[backupPath] = files.at(path);
        return true;
    case Backup::Move:
        renameReplace(path, backupPath);
        return false;
    case Backup::Copy:
        files[backupPath].assign(former, former + formerSize);
        return true;
    }
    return true;
}

void MemoryFileOps::renameNoReplace(const std::string& from, const std::string& to)
{
    if (files.count(to) != 0)
        throw FileError("Cannot rename \"" + from + "\" to", to, EEXIST);
    renameReplace(from, to);
}

void MemoryFileOps::renameReplace(const std::string& from, const std::string& to)
{
    auto file = files.find(from);
    if (file == files.end())
        throw FileError("Cannot rename \"" + from + "\" to", to, ENOENT);
    std::vector<std::uint8_t> contents = std::move(file->second);
    files.erase(file);
    files[to] = std::move(contents);
}

void MemoryFileOps::removeQuietly(const std::string& path) noexcept
{
    files.erase(path);
}

void MemoryFileOps::syncFolder(const std::string& folder)
{
    ++syncCount;
    if (syncError != 0)
        throw FileError("Cannot flush what was written in", folder, syncError);
}

std::vector<FolderItem> MemoryFileOps::listFolder(const std::string& folder)
{
    std::vector<FolderItem> items;
    std::string prefix = folder + pathSeparator;
    for (const auto& [path, contents] : files) {
        if (path.rfind(prefix, 0) != 0
            || path.find_first_of(pathSeparators, prefix.size()) != std::string::npos)
            continue;
        FolderItem item;
        item.name = path.substr(prefix.size());
        item.isHidden = item.name.front() == '.';
        item.isFile = true;
        items.push_back(std::move(item));
    }
    return items;
}

} // namespace sorvanel::test
