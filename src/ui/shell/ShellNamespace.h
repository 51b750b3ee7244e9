#pragma once

#include "ui/shell/IdList.h"

#include <QIcon>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sorvanel::ui {

/// Result codes of the shell operations whose failures the user is told about, in the
/// platform's numbering (shown in hexadecimal).
using ShellResult = std::uint32_t;
inline constexpr ShellResult shellOk = 0;
inline constexpr ShellResult shellNotImplemented = 0x80004001;
inline constexpr ShellResult shellFail = 0x80004005;
inline constexpr ShellResult shellInvalidArgument = 0x80070057;

/// Attribute bits of a namespace item.
enum ShellAttribute : unsigned {
    AttrFolder = 1u << 0,
    AttrHasSubfolder = 1u << 1,
    AttrFileSystem = 1u << 2, ///< the item has a file-system path
    AttrFileSystemAncestor = 1u << 3, ///< a virtual folder that contains file-system folders
};

enum class ShellNameKind {
    Normal, ///< the label shown to the user
    ForParsing, ///< the name the namespace understands: a path, or a network name "//host/…"
};

/// One entry of a context menu as the namespace offers it.
struct ShellMenuEntry
{
    int command = 0; ///< 0 for a separator
    std::string text;
};

/// The commands the namespace offers for one item.
class ShellContextMenu
{
public:
    virtual ~ShellContextMenu() = default;

    /// Appends the item's commands to `menu`, numbering them from `firstCommand` up to at most
    /// `lastCommand`.
    virtual ShellResult queryContextMenu(
        std::vector<ShellMenuEntry>& menu, int firstCommand, int lastCommand) = 0;

    /// Runs the command at `offset` from the first command number given to `queryContextMenu`.
    virtual ShellResult invokeCommand(int offset) = 0;

    /// Why the last command failed, in words for the user; empty when there is nothing to add
    /// to the result code.
    virtual std::string failureReason() const { return {}; }
};

/// A folder of the namespace. Items are addressed by one-level ID lists relative to it. The
/// folder tree keeps a reference to a folder for every item it shows from it.
class ShellFolder
{
public:
    virtual ~ShellFolder() = default;

    /// The folder's sub-folders without hidden items, each as a one-level ID list that
    /// belongs to the caller; nothing when the folder cannot be read.
    virtual std::optional<std::vector<IdList>> enumFolders() = 0;

    /// The attributes of one item. `request` names the bits the caller needs; the answer may
    /// carry more. 0 when the item is unknown.
    virtual unsigned attributesOf(const std::uint8_t* relativeId, unsigned request) = 0;

    /// Nothing when the item is unknown. Names and paths are bytes as the file system keeps
    /// them, not necessarily UTF-8; labels are decoded for display by the tree.
    virtual std::optional<std::string> displayNameOf(
        const std::uint8_t* relativeId, ShellNameKind kind) = 0;

    /// The item as a folder, or null when it cannot be one (any more).
    virtual std::shared_ptr<ShellFolder> bindToFolder(const std::uint8_t* relativeId) = 0;

    /// The order of two items: negative when `a` goes first, 0 for equal, positive otherwise;
    /// nothing when they cannot be compared.
    virtual std::optional<int> compareIds(const std::uint8_t* a, const std::uint8_t* b) = 0;

    /// The context menu of one item; on failure `menu` stays null and the code says why.
    virtual ShellResult contextMenuOf(
        const std::uint8_t* relativeId, std::unique_ptr<ShellContextMenu>& menu) = 0;
};

/// An item's small icon with an index that is the same for every item showing that icon.
struct ShellIcon
{
    QIcon icon; ///< null when the namespace has none
    int systemIndex = -1;
};

/// The namespace the folder tree shows, rooted at the desktop. Absolute ID lists run from the
/// desktop to an item.
class ShellNamespace
{
public:
    virtual ~ShellNamespace() = default;

    /// The root; null when the namespace is unavailable.
    virtual std::shared_ptr<ShellFolder> desktop() = 0;

    /// The file-system path of an item; nothing for virtual items.
    virtual std::optional<std::string> pathFromIdList(const std::uint8_t* absoluteId) = 0;

    /// The item's small icon, `open` for the look of a selected (opened) folder.
    virtual ShellIcon iconOf(const std::uint8_t* absoluteId, bool open) = 0;
};

} // namespace sorvanel::ui
