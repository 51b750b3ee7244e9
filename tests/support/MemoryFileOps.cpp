#include "support/MemoryFileOps.h"

#include <cerrno>
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

bool MemoryFileOps::exists(const std::string& path)
{
    return files.count(path) != 0 || folders.count(path) != 0;
}

bool MemoryFileOps::isRegularFile(const std::string& path)
{
    return files.count(path) != 0;
}

std::string MemoryFileOps::writeTemporary(
    const std::string& targetPath, const std::uint8_t* data, std::size_t size, bool)
{
    std::string path = targetPath + ".tmp" + std::to_string(++m_temporaryCount);
    files[path].assign(data, data + size);
    return path;
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

std::vector<FolderItem> MemoryFileOps::listFolder(const std::string& folder)
{
    std::vector<FolderItem> items;
    std::string prefix = folder + "/";
    for (const auto& [path, contents] : files) {
        if (path.rfind(prefix, 0) != 0 || path.find('/', prefix.size()) != std::string::npos)
            continue;
        FolderItem item;
        item.name = path.substr(prefix.size());
        item.isHidden = item.name.front() == '.';
        items.push_back(std::move(item));
    }
    return items;
}

} // namespace sorvanel::test
