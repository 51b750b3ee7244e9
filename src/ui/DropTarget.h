#pragma once

#include <optional>
#include <string>
#include <vector>

namespace sorvanel::ui {

/// One local path carried by a drag.
struct DroppedPath
{
    std::string path; ///< UTF-8, absolute
    bool isFolder = false;
};

/// What a drop on the main window opens: a folder to list, and the names of the files in it to
/// select (empty when a folder itself was dropped).
struct DropChoice
{
    std::string folder;
    std::vector<std::string> fileNames;
};

/// What a drag carrying `paths` would open: one folder alone, or song files (`*.mid`, not
/// hidden) that all lie in one folder. Anything else (nothing, a remote or non-song file,
/// several folders, a folder with files, files from different folders) is refused.
std::optional<DropChoice> chooseDrop(const std::vector<DroppedPath>& paths);

} // namespace sorvanel::ui
