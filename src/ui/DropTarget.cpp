#include "ui/DropTarget.h"

#include "cleaning/FileList.h"
#include "platform/FileOps.h"

namespace sorvanel::ui {

namespace {

/// An absolute path without trailing separators, unless it is a root ("/", "C:\\").
std::string withoutTrailingSeparators(std::string path)
{
    while (isPathSeparator(path.back()) && folderOf(path) != path)
        path.pop_back();
    return path;
}

} // namespace

std::optional<DropChoice> chooseDrop(const std::vector<DroppedPath>& paths)
{
    if (paths.empty())
        return std::nullopt;
    for (const DroppedPath& dropped : paths)
        if (!isAbsolutePath(dropped.path))
            return std::nullopt;

    if (paths.front().isFolder) {
        if (paths.size() != 1)
            return std::nullopt;
        return DropChoice{withoutTrailingSeparators(paths.front().path), {}};
    }

    DropChoice choice;
    for (const DroppedPath& dropped : paths) {
        if (dropped.isFolder)
            return std::nullopt;
        std::string path = withoutTrailingSeparators(dropped.path);
        std::string folder = folderOf(path);
        std::string name = nameOf(path);
        if (!isListableName(name))
            return std::nullopt;
        if (choice.fileNames.empty())
            choice.folder = folder;
        else if (folder != choice.folder)
            return std::nullopt;
        choice.fileNames.push_back(name);
    }
    return choice;
}

} // namespace sorvanel::ui
