#include "ui/shell/LocalShellNamespace.h"

#include "platform/FileOps.h"
#include "platform/qt/TextDecoding.h"
#include "settings/Texts.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStorageInfo>

namespace sorvanel::ui {

namespace {

enum class ItemKind : char { Home = 'H', Computer = 'C', Volume = 'V', Folder = 'F' };

/// One decoded item ID. Names and paths are kept as the file system's bytes throughout, so
/// that a folder whose name is not UTF-8 can be listed, opened and chosen like any other.
struct Item
{
    ItemKind kind;
    std::string data; ///< a path for Home and Volume, a file name for Folder
};

#ifdef _WIN32
// Besides the separators, a drive's colon: "a:b" would name a stream of the folder.
constexpr std::string_view notInFolderNames("/\\:\0", 4);
#else
constexpr std::string_view notInFolderNames("/\0", 2);
#endif

std::optional<Item> decodePayload(std::span<const std::uint8_t> payload)
{
    if (payload.empty())
        return std::nullopt;
    auto kind = static_cast<ItemKind>(payload[0]);
    switch (kind) {
    case ItemKind::Home:
    case ItemKind::Computer:
    case ItemKind::Volume:
    case ItemKind::Folder:
        break;
    default:
        return std::nullopt;
    }
    std::string data(reinterpret_cast<const char*>(payload.data()) + 1, payload.size() - 1);
    // A folder name is one path component; anything else would let an ID reach elsewhere.
    if (kind == ItemKind::Folder
        && (data.empty() || data.find_first_of(notInFolderNames) != std::string::npos || data == "."
            || data == ".."))
        return std::nullopt;
    if ((kind == ItemKind::Home || kind == ItemKind::Volume) && !isAbsolutePath(data))
        return std::nullopt;
    return Item{kind, std::move(data)};
}

std::optional<Item> decodeItem(const std::uint8_t* relativeId)
{
    std::vector<std::span<const std::uint8_t>> payloads = itemPayloads(relativeId);
    if (payloads.size() != 1)
        return std::nullopt;
    return decodePayload(payloads.front());
}

IdList encodeItem(ItemKind kind, std::string_view data)
{
    std::vector<std::uint8_t> payload;
    payload.reserve(static_cast<std::size_t>(data.size()) + 1);
    payload.push_back(static_cast<std::uint8_t>(kind));
    payload.insert(payload.end(), data.begin(), data.end());
    return makeItemId(payload);
}

std::string joinPath(const std::string& folder, std::string_view name)
{
    std::string path = folder;
    if (path.empty() || !isPathSeparator(path.back()))
        path += pathSeparator;
    path += name;
    return path;
}

bool isFolder(FileOps& files, const std::string& path)
{
    return files.kindOf(path) == EntryKind::Folder;
}

/// The folder's visible sub-folders by name; nothing when it cannot be read.
std::optional<std::vector<std::string>> visibleSubfolders(FileOps& files, const std::string& path)
{
    std::vector<std::string> names;
    try {
        for (FolderItem& item : files.listFolder(path)) {
            if (item.isDirectory && !item.isHidden)
                names.push_back(std::move(item.name));
        }
    } catch (const FileError&) {
        return std::nullopt;
    }
    return names;
}

Language languageOf(const LocalShellOptions& options)
{
    return options.german ? Language::German : Language::English;
}

std::string textOf(const TextPair& text, const LocalShellOptions& options)
{
    return std::string(text.pick(languageOf(options)));
}

/// Where a resolved item lies: a file-system folder (with its path) or the computer.
struct Resolved
{
    ItemKind kind;
    std::string path; ///< empty for the computer
};

/// The part of a resolved item its siblings are ordered by.
std::string_view sortName(const Resolved& item)
{
    if (item.kind == ItemKind::Volume)
        return item.path;
    std::string_view path = item.path;
    return path.substr(path.find_last_of(pathSeparators) + 1);
}

/// Opens a folder or copies its path.
class FolderMenu : public ShellContextMenu
{
public:
    FolderMenu(std::string path, std::shared_ptr<const LocalShellOptions> options,
        std::shared_ptr<FileOps> files)
        : m_path(std::move(path))
        , m_options(std::move(options))
        , m_files(std::move(files))
    {
    }

    ShellResult queryContextMenu(
        std::vector<ShellMenuEntry>& menu, int firstCommand, int lastCommand) override
    {
        if (lastCommand - firstCommand < 1)
            return shellInvalidArgument;
        menu.push_back({firstCommand, textOf(Texts::OpenInFileManager, *m_options)});
        menu.push_back({firstCommand + 1, textOf(Texts::CopyPath, *m_options)});
        return shellOk;
    }

    ShellResult invokeCommand(int offset) override
    {
        m_failure.clear();
        switch (offset) {
        case 0: {
            if (!isFolder(*m_files, m_path)) {
                m_failure = textOf(Texts::FolderGone, *m_options);
                return shellFail;
            }
#ifdef _WIN32
            QUrl url = QUrl::fromLocalFile(filePathToQt(m_path));
#else
            // Percent-encoded from the bytes, so that a name that is not UTF-8 stays intact.
            QUrl url = QUrl::fromEncoded(
                "file://" + QByteArray::fromStdString(m_path).toPercentEncoding("/"));
#endif
            bool opened =
                m_options->openUrl ? m_options->openUrl(url) : QDesktopServices::openUrl(url);
            // Without a program for folders the desktop cannot start anything at all.
            if (!opened)
                m_failure = textOf(Texts::NoFolderOpener, *m_options);
            return opened ? shellOk : shellFail;
        }
        case 1:
            if (QClipboard* clipboard = QGuiApplication::clipboard()) {
                clipboard->setText(decodeStoredText(m_path));
                return shellOk;
            }
            return shellFail;
        default:
            return shellInvalidArgument;
        }
    }

    std::string failureReason() const override
    {
        return m_failure;
    }

private:
    std::string m_path;
    std::shared_ptr<const LocalShellOptions> m_options;
    std::shared_ptr<FileOps> m_files;
    std::string m_failure;
};

/// The computer offers no commands.
class EmptyMenu : public ShellContextMenu
{
public:
    ShellResult queryContextMenu(std::vector<ShellMenuEntry>&, int, int) override
    {
        return shellOk;
    }
    ShellResult invokeCommand(int) override { return shellInvalidArgument; }
};

class LocalFolder : public ShellFolder
{
public:
    enum class Role { Desktop, Computer, FileSystem };

    LocalFolder(Role role, std::string path, std::shared_ptr<const LocalShellOptions> options,
        std::shared_ptr<FileOps> files)
        : m_role(role)
        , m_path(std::move(path))
        , m_options(std::move(options))
        , m_files(std::move(files))
    {
    }

    std::optional<std::vector<IdList>> enumFolders() override
    {
        std::vector<IdList> ids;
        auto add = [&ids](IdList id) {
            if (!id.isNull())
                ids.push_back(std::move(id));
        };
        switch (m_role) {
        case Role::Desktop:
            if (!m_options->homePath.isEmpty())
                add(encodeItem(ItemKind::Home, filePathFromQt(m_options->homePath)));
            add(encodeItem(ItemKind::Computer, {}));
            break;
        case Role::Computer: {
#ifdef _WIN32
            // The drives are the roots.
            QStringList seen;
#else
            QStringList seen{QStringLiteral("/")};
            add(encodeItem(ItemKind::Volume, "/"));
#endif
            const QStringList volumes = m_options->volumes ? m_options->volumes() : QStringList();
            for (const QString& volume : volumes) {
                QString path = QDir::cleanPath(volume);
                std::string local = filePathFromQt(path);
                // On Windows "/" and "\\" name no root of their own.
                if (seen.contains(path) || !isAbsolutePath(local) || !QFileInfo(path).isDir())
                    continue;
                seen.append(path);
                add(encodeItem(ItemKind::Volume, local));
            }
            break;
        }
        case Role::FileSystem: {
            std::optional<std::vector<std::string>> names = visibleSubfolders(*m_files, m_path);
            if (!names)
                return std::nullopt;
            ids.reserve(names->size());
            for (const std::string& name : *names)
                add(encodeItem(ItemKind::Folder, name));
            break;
        }
        }
        return ids;
    }

    unsigned attributesOf(const std::uint8_t* relativeId, unsigned request) override
    {
        std::optional<Resolved> item = resolve(relativeId);
        if (!item)
            return 0;
        if (item->kind == ItemKind::Computer)
            return AttrFolder | AttrHasSubfolder | AttrFileSystemAncestor;
        if (!isFolder(*m_files, item->path))
            return 0;
        unsigned attributes = AttrFolder | AttrFileSystem;
        // Looking inside costs a folder read per item, so only when asked.
        if (request & AttrHasSubfolder) {
            std::optional<std::vector<std::string>> below = visibleSubfolders(*m_files, item->path);
            if (below && !below->empty())
                attributes |= AttrHasSubfolder;
        }
        return attributes;
    }

    std::optional<std::string> displayNameOf(
        const std::uint8_t* relativeId, ShellNameKind kind) override
    {
        std::optional<Resolved> item = resolve(relativeId);
        if (!item)
            return std::nullopt;
        if (item->kind == ItemKind::Computer) {
            return kind == ShellNameKind::Normal ? textOf(Texts::ComputerFolder, *m_options)
                                                 : std::string("::computer");
        }
        if (kind == ShellNameKind::ForParsing)
            return item->path;
        switch (item->kind) {
        case ItemKind::Home:
            return textOf(Texts::HomeFolder, *m_options);
        case ItemKind::Volume: {
            std::string label = item->path == "/"
                ? textOf(Texts::FileSystemRoot, *m_options)
                : QStorageInfo(filePathToQt(item->path)).name().toStdString();
            if (label.empty())
                return item->path;
            return label + " (" + item->path + ")";
        }
        default:
            return std::string(sortName(*item));
        }
    }

    std::shared_ptr<ShellFolder> bindToFolder(const std::uint8_t* relativeId) override
    {
        std::optional<Resolved> item = resolve(relativeId);
        if (!item)
            return nullptr;
        if (item->kind == ItemKind::Computer)
            return std::make_shared<LocalFolder>(Role::Computer, std::string(), m_options, m_files);
        if (!isFolder(*m_files, item->path))
            return nullptr;
        return std::make_shared<LocalFolder>(Role::FileSystem, item->path, m_options, m_files);
    }

    std::optional<int> compareIds(const std::uint8_t* a, const std::uint8_t* b) override
    {
        std::optional<Resolved> first = resolve(a);
        std::optional<Resolved> second = resolve(b);
        if (!first || !second)
            return std::nullopt;
        int rank = rankOf(*first) - rankOf(*second);
        if (rank != 0)
            return rank;
        std::string_view x = sortName(*first);
        std::string_view y = sortName(*second);
        // As the user reads the names, then by their bytes so that no two differ only in order.
        int order = QString::compare(decodeStoredText(x), decodeStoredText(y), Qt::CaseInsensitive);
        return order != 0 ? order : x.compare(y);
    }

    ShellResult contextMenuOf(
        const std::uint8_t* relativeId, std::unique_ptr<ShellContextMenu>& menu) override
    {
        std::optional<Resolved> item = resolve(relativeId);
        if (!item)
            return shellInvalidArgument;
        if (item->kind == ItemKind::Computer)
            menu = std::make_unique<EmptyMenu>();
        else
            menu = std::make_unique<FolderMenu>(item->path, m_options, m_files);
        return shellOk;
    }

private:
    std::optional<Resolved> resolve(const std::uint8_t* relativeId) const
    {
        std::optional<Item> item = decodeItem(relativeId);
        if (!item)
            return std::nullopt;
        bool atDesktop = m_role == Role::Desktop;
        switch (item->kind) {
        case ItemKind::Home:
            return atDesktop ? std::optional<Resolved>({item->kind, item->data}) : std::nullopt;
        case ItemKind::Computer:
            return atDesktop ? std::optional<Resolved>({item->kind, std::string()}) : std::nullopt;
        case ItemKind::Volume:
            return m_role == Role::Computer ? std::optional<Resolved>({item->kind, item->data})
                                            : std::nullopt;
        case ItemKind::Folder:
            return m_role == Role::FileSystem
                ? std::optional<Resolved>({item->kind, joinPath(m_path, item->data)})
                : std::nullopt;
        }
        return std::nullopt;
    }

    static int rankOf(const Resolved& item)
    {
        switch (item.kind) {
        case ItemKind::Home:
            return 0;
        case ItemKind::Computer:
            return 1;
        case ItemKind::Volume:
            return item.path == "/" ? 2 : 3;
        case ItemKind::Folder:
            return 4;
        }
        return 5;
    }

    Role m_role;
    std::string m_path;
    std::shared_ptr<const LocalShellOptions> m_options;
    std::shared_ptr<FileOps> m_files;
};

} // namespace

LocalShellOptions LocalShellOptions::system()
{
    LocalShellOptions options;
    options.homePath = QDir::homePath();
    options.volumes = [] {
        QStringList roots;
        const QList<QStorageInfo> volumes = QStorageInfo::mountedVolumes();
        for (const QStorageInfo& volume : volumes) {
            if (volume.isValid() && volume.isReady())
                roots.append(volume.rootPath());
        }
        return roots;
    };
    return options;
}

LocalShellNamespace::LocalShellNamespace(LocalShellOptions options)
    : m_options(std::make_shared<const LocalShellOptions>(std::move(options)))
    , m_files(std::make_shared<NativeFileOps>())
{
}

std::shared_ptr<ShellFolder> LocalShellNamespace::desktop()
{
    return std::make_shared<LocalFolder>(
        LocalFolder::Role::Desktop, std::string(), m_options, m_files);
}

std::optional<std::string> LocalShellNamespace::pathFromIdList(const std::uint8_t* absoluteId)
{
    std::optional<std::string> path;
    const std::vector<std::span<const std::uint8_t>> payloads = itemPayloads(absoluteId);
    if (payloads.empty())
        return std::nullopt;
    for (std::span<const std::uint8_t> payload : payloads) {
        std::optional<Item> item = decodePayload(payload);
        if (!item)
            return std::nullopt;
        switch (item->kind) {
        case ItemKind::Home:
        case ItemKind::Volume:
            path = item->data;
            break;
        case ItemKind::Computer:
            path.reset();
            break;
        case ItemKind::Folder:
            if (!path)
                return std::nullopt;
            path = joinPath(*path, item->data);
            break;
        }
    }
    return path;
}

ShellIcon LocalShellNamespace::iconOf(const std::uint8_t* absoluteId, bool open)
{
    const std::vector<std::span<const std::uint8_t>> payloads = itemPayloads(absoluteId);
    std::optional<Item> last = payloads.empty() ? std::nullopt : decodePayload(payloads.back());
    if (!last)
        return {};
    QAbstractFileIconProvider::IconType type = QAbstractFileIconProvider::Folder;
    if (last->kind == ItemKind::Computer)
        type = QAbstractFileIconProvider::Computer;
    else if (last->kind == ItemKind::Volume)
        type = QAbstractFileIconProvider::Drive;
    // Only folders look different when open; the others share one image for both looks.
    bool opens = type == QAbstractFileIconProvider::Folder && open;
    int index = static_cast<int>(type) * 2 + (opens ? 1 : 0);
    auto cached = m_icons.constFind(index);
    if (cached != m_icons.constEnd())
        return {*cached, index};
    QIcon icon = m_iconProvider.icon(type);
    if (opens && !icon.isNull()) {
        QPixmap openLook = icon.pixmap(QSize(16, 16), QIcon::Normal, QIcon::On);
        icon = openLook.isNull() ? icon : QIcon(openLook);
    }
    m_icons.insert(index, icon);
    return {icon, index};
}

} // namespace sorvanel::ui
