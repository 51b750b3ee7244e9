#pragma once

#include "ui/shell/ShellNamespace.h"

#include <QFileIconProvider>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>

namespace sorvanel {
class FileOps;
}

namespace sorvanel::ui {

/// Where the local namespace takes its folders from and how it opens them. The defaults are
/// the user's real ones; tests point them elsewhere.
struct LocalShellOptions
{
    /// The file-system folder the desktop shows first.
    QString homePath;
    /// The mount points the "Computer" folder shows besides the file-system root; on Windows
    /// the drives, which are the roots there.
    std::function<QStringList()> volumes;
    /// Opens a folder in the file manager; false when that fails.
    std::function<bool(const QUrl&)> openUrl;
    /// The language of the labels and of the context menu's commands.
    bool german = false;

    /// The user's home folder, the mounted volumes and the desktop's URL handler.
    static LocalShellOptions system();
};

/// The namespace over the local file system. The desktop holds the home folder and a virtual
/// "Computer" folder, which holds the file-system root and the mounted volumes (on Windows the
/// drives). Paths use the system's separators. Hidden folders
/// (a leading dot, or the platform's hidden flag) are left out. Names and paths are the file
/// system's bytes, whatever their encoding.
///
/// Each item ID carries a one-byte kind and its data: 'H' + path (home), 'C' (computer),
/// 'V' + path (root or volume), 'F' + name (a folder inside a file-system folder).
class LocalShellNamespace : public ShellNamespace
{
public:
    explicit LocalShellNamespace(LocalShellOptions options = LocalShellOptions::system());

    std::shared_ptr<ShellFolder> desktop() override;
    std::optional<std::string> pathFromIdList(const std::uint8_t* absoluteId) override;
    ShellIcon iconOf(const std::uint8_t* absoluteId, bool open) override;

    const LocalShellOptions& options() const { return *m_options; }

private:
    std::shared_ptr<const LocalShellOptions> m_options;
    std::shared_ptr<FileOps> m_files;
    QFileIconProvider m_iconProvider;
    QMap<int, QIcon> m_icons;
};

} // namespace sorvanel::ui
