#include "ui/shell/LocalShellNamespace.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QStorageInfo>

namespace sorvanel::ui {

namespace {

enum class ItemKind : char { Home = 'H', Computer = 'C', Volume = 'V', Folder = 'F' };

/// One decoded item ID.
struct Item
{
    ItemKind kind;
    QByteArray data; ///< a path for Home and Volume, a file name for Folder
};

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
    QByteArray data(reinterpret_cast<const char*>(payload.data()) + 1,
        static_cast<qsizetype>(payload.size() - 1));
    // A folder name is one path component; anything else would let an ID reach elsewhere.
    if (kind == ItemKind::Folder
        && (data.isEmpty() || data.contains('/') || data.contains('\0') || data == "."
            || data == ".."))
        return std::nullopt;
    if ((kind == ItemKind::Home || kind == ItemKind::Volume) && !data.startsWith('/'))
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

IdList encodeItem(ItemKind kind, const QByteArray& data)
{
    std::vector<std::uint8_t> payload;
    payload.reserve(static_cast<std::size_t>(data.size()) + 1);
    payload.push_back(static_cast<std::uint8_t>(kind));
    payload.insert(payload.end(), data.begin(), data.end());
    return makeItemId(payload);
}

QString joinPath(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

bool hasVisibleSubfolder(const QString& path)
{
    QDirIterator it(path, QDir::Dirs | QDir::NoDotAndDotDot);
    return it.hasNext();
}

/// Where a resolved item lies: a file-system folder (with its path) or the computer.
struct Resolved
{
    ItemKind kind;
    QString path; ///< empty for the computer
};

/// Opens a folder or copies its path.
class FolderMenu : public ShellContextMenu
{
public:
    FolderMenu(QString path, std::shared_ptr<const LocalShellOptions> options)
        : m_path(std::move(path))
        , m_options(std::move(options))
    {
    }

    ShellResult queryContextMenu(
        std::vector<ShellMenuEntry>& menu, int firstCommand, int lastCommand) override
    {
        if (lastCommand - firstCommand < 1)
            return shellInvalidArgument;
        bool german = m_options->german;
        menu.push_back({firstCommand, german ? "Im Dateimanager öffnen" : "Open in File Manager"});
        menu.push_back({firstCommand + 1, german ? "Pfad kopieren" : "Copy Path"});
        return shellOk;
    }

    ShellResult invokeCommand(int offset) override
    {
        switch (offset) {
        case 0: {
            if (!QFileInfo(m_path).isDir())
                return shellFail;
            QUrl url = QUrl::fromLocalFile(m_path);
            bool opened =
                m_options->openUrl ? m_options->openUrl(url) : QDesktopServices::openUrl(url);
            return opened ? shellOk : shellFail;
        }
        case 1:
            if (QClipboard* clipboard = QGuiApplication::clipboard()) {
                clipboard->setText(QDir::toNativeSeparators(m_path));
                return shellOk;
            }
            return shellFail;
        default:
            return shellInvalidArgument;
        }
    }

private:
    QString m_path;
    std::shared_ptr<const LocalShellOptions> m_options;
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

    LocalFolder(Role role, QString path, std::shared_ptr<const LocalShellOptions> options)
        : m_role(role)
        , m_path(std::move(path))
        , m_options(std::move(options))
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
                add(encodeItem(ItemKind::Home, QFile::encodeName(m_options->homePath)));
            add(encodeItem(ItemKind::Computer, {}));
            break;
        case Role::Computer: {
            QStringList seen{QStringLiteral("/")};
            add(encodeItem(ItemKind::Volume, "/"));
            const QStringList volumes = m_options->volumes ? m_options->volumes() : QStringList();
            for (const QString& volume : volumes) {
                QString path = QDir::cleanPath(volume);
                if (seen.contains(path) || !QFileInfo(path).isDir())
                    continue;
                seen.append(path);
                add(encodeItem(ItemKind::Volume, QFile::encodeName(path)));
            }
            break;
        }
        case Role::FileSystem: {
            QDir dir(m_path);
            if (!QFileInfo(m_path).isDir() || !dir.isReadable())
                return std::nullopt;
            const QStringList names =
                dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::NoSort);
            ids.reserve(static_cast<std::size_t>(names.size()));
            for (const QString& name : names)
                add(encodeItem(ItemKind::Folder, QFile::encodeName(name)));
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
        if (!QFileInfo(item->path).isDir())
            return 0;
        unsigned attributes = AttrFolder | AttrFileSystem;
        // Looking inside costs a folder read per item, so only when asked.
        if (request & AttrHasSubfolder && hasVisibleSubfolder(item->path))
            attributes |= AttrHasSubfolder;
        return attributes;
    }

    std::optional<std::string> displayNameOf(
        const std::uint8_t* relativeId, ShellNameKind kind) override
    {
        std::optional<Resolved> item = resolve(relativeId);
        if (!item)
            return std::nullopt;
        if (item->kind == ItemKind::Computer)
            return std::string(kind == ShellNameKind::Normal ? "Computer" : "::computer");
        if (kind == ShellNameKind::ForParsing)
            return item->path.toStdString();
        switch (item->kind) {
        case ItemKind::Home:
            return QStandardPaths::displayName(QStandardPaths::HomeLocation).toStdString();
        case ItemKind::Volume: {
            QString label;
            if (item->path == QLatin1String("/"))
                label = m_options->german ? QStringLiteral("Dateisystem")
                                          : QStringLiteral("File System");
            else
                label = QStorageInfo(item->path).name();
            if (label.isEmpty())
                return item->path.toStdString();
            return QStringLiteral("%1 (%2)").arg(label, item->path).toStdString();
        }
        default:
            return QFileInfo(item->path).fileName().toStdString();
        }
    }

    std::shared_ptr<ShellFolder> bindToFolder(const std::uint8_t* relativeId) override
    {
        std::optional<Resolved> item = resolve(relativeId);
        if (!item)
            return nullptr;
        if (item->kind == ItemKind::Computer)
            return std::make_shared<LocalFolder>(Role::Computer, QString(), m_options);
        if (!QFileInfo(item->path).isDir())
            return nullptr;
        return std::make_shared<LocalFolder>(Role::FileSystem, item->path, m_options);
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
        QString x =
            first->kind == ItemKind::Volume ? first->path : QFileInfo(first->path).fileName();
        QString y =
            second->kind == ItemKind::Volume ? second->path : QFileInfo(second->path).fileName();
        int order = QString::compare(x, y, Qt::CaseInsensitive);
        return order != 0 ? order : QString::compare(x, y, Qt::CaseSensitive);
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
            menu = std::make_unique<FolderMenu>(item->path, m_options);
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
            return atDesktop ? std::optional<Resolved>({item->kind, QFile::decodeName(item->data)})
                             : std::nullopt;
        case ItemKind::Computer:
            return atDesktop ? std::optional<Resolved>({item->kind, QString()}) : std::nullopt;
        case ItemKind::Volume:
            return m_role == Role::Computer
                ? std::optional<Resolved>({item->kind, QFile::decodeName(item->data)})
                : std::nullopt;
        case ItemKind::Folder:
            return m_role == Role::FileSystem ? std::optional<Resolved>(
                       {item->kind, joinPath(m_path, QFile::decodeName(item->data))})
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
            return item.path == QLatin1String("/") ? 2 : 3;
        case ItemKind::Folder:
            return 4;
        }
        return 5;
    }

    Role m_role;
    QString m_path;
    std::shared_ptr<const LocalShellOptions> m_options;
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
{
}

std::shared_ptr<ShellFolder> LocalShellNamespace::desktop()
{
    return std::make_shared<LocalFolder>(LocalFolder::Role::Desktop, QString(), m_options);
}

std::optional<std::string> LocalShellNamespace::pathFromIdList(const std::uint8_t* absoluteId)
{
    std::optional<QString> path;
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
            path = QFile::decodeName(item->data);
            break;
        case ItemKind::Computer:
            path.reset();
            break;
        case ItemKind::Folder:
            if (!path)
                return std::nullopt;
            path = joinPath(*path, QFile::decodeName(item->data));
            break;
        }
    }
    if (!path)
        return std::nullopt;
    return path->toStdString();
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
