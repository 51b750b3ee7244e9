#include "support/MemoryFileOps.h"

#include <algorithm>
#include <cerrno>
#include <functional>
#include <new>

namespace sorvanel::test {

namespace {

/// Tests write paths with "/" or the system's separator; here both are the same.
std::string canonical(std::string path)
{
#ifdef _WIN32
    std::replace(path.begin(), path.end(), '\\', '/');
#endif
    return path;
}

} // namespace

std::string MemoryFileOps::stored(const std::string& path) const
{
#ifdef _WIN32
    if (files.count(path) == 0) {
        for (const auto& [key, contents] : files)
            if (canonical(key) == canonical(path))
                return key;
    }
#endif
    return path;
}

void MemoryFileOps::readWhole(const std::string& given, std::vector<std::uint8_t>& image)
{
    const std::string path = stored(given);
    if (auto error = readErrors.find(path); error != readErrors.end())
        throw FileError("Cannot read", path, error->second);
    if (readOutOfMemory.count(path) != 0)
        throw std::bad_alloc();
    auto file = files.find(path);
    if (file == files.end())
        throw FileError("Cannot open", path, ENOENT);
    image = file->second;
}

EntryKind MemoryFileOps::kindOf(const std::string& given) noexcept
{
    const std::string path = stored(given);
    return files.count(path) != 0 ? EntryKind::File : EntryKind::Missing;
}

std::optional<FileFacts> MemoryFileOps::examine(const std::string& given) noexcept
{
    const std::string path = stored(given);
    auto file = files.find(path);
    if (file == files.end())
        return std::nullopt;
    FileFacts facts;
    facts.identity = FileIdentity{0, std::hash<std::string>()(path)};
    facts.size = file->second.size();
    if (auto found = times.find(path); found != times.end()) {
        facts.modified = found->second.modified;
        facts.changed = found->second.changed;
    }
    return facts;
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
    std::string path = folderOf(targetPath) + "/" + temporaryName(std::stoull(number));
    files[path].assign(data, data + size);
    times[path] = {++clock, clock};
    return path;
}

bool MemoryFileOps::linkNoReplace(const std::string& from, const std::string& to)
{
    if (backupBy != Backup::SecondName)
        return false;
    if (files.count(to) != 0)
        throw FileError("Cannot make the backup", to, EEXIST);
    files[to] = files.at(from);
    times[to] = {times[from].modified, ++clock};
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
    Times moved = times[from];
    times.erase(from);
    moved.changed = ++clock;
    times[to] = moved;
}

void MemoryFileOps::moveToTrash(const std::string& path)
{
    auto file = files.find(path);
    if (!hasTrash || file == files.end())
        throw FileError("Cannot move to the trash", path, hasTrash ? ENOENT : EXDEV);
    trash[path] = std::move(file->second);
    files.erase(file);
    times.erase(path);
}

void MemoryFileOps::removeQuietly(const std::string& given) noexcept
{
    const std::string path = stored(given);
    files.erase(path);
    times.erase(path);
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
    std::string prefix = canonical(folder) + "/";
    for (const auto& [stored, contents] : files) {
        const std::string path = canonical(stored);
        if (path.rfind(prefix, 0) != 0 || path.find('/', prefix.size()) != std::string::npos)
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
