#include "ui/DropTarget.h"

#include "cleaning/FileList.h"

namespace sorvanel::ui {

namespace {

/// The folder part and the name of an absolute path; a trailing separator is not a name.
std::pair<std::string, std::string> splitPath(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return {"", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

} // namespace

std::optional<DropChoice> chooseDrop(const std::vector<DroppedPath>& paths)
{
    if (paths.empty())
        return std::nullopt;
    for (const DroppedPath& dropped : paths)
        if (dropped.path.empty() || dropped.path.front() != '/')
            return std::nullopt;

    if (paths.front().isFolder) {
        if (paths.size() != 1)
            return std::nullopt;
        std::string folder = paths.front().path;
        while (folder.size() > 1 && folder.back() == '/')
            folder.pop_back();
        return DropChoice{folder, {}};
    }

    DropChoice choice;
    for (const DroppedPath& dropped : paths) {
        if (dropped.isFolder)
            return std::nullopt;
        auto [folder, name] = splitPath(dropped.path);
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
