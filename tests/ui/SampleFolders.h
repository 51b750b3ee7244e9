#pragma once

#include "ui/shell/LocalShellNamespace.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace sorvanel::ui::testing {

/// A folder tree on disk for the local namespace:
///
///     home/Music/Rock          home/.config (hidden)     home/onlyHidden/.secret
///     home/plain               home/file.txt             home/locked (mode 000)/inside
///     home/loop -> .           home/linkToPlain -> plain home/dangling -> nowhere
///     other/deep/x             vol/
///
/// The links only where the system makes links (not on Windows).
struct SampleFolders
{
#ifdef _WIN32
    static constexpr bool withLinks = false;
#else
    static constexpr bool withLinks = true;
#endif
    QTemporaryDir temp;
    QString root;
    QString home;
    QStringList urlsOpened;
    bool openSucceeds = true;

    SampleFolders()
        : root(QDir(temp.path()).canonicalPath())
        , home(root + "/home")
    {
        QDir dir(root);
        for (const char* path : {"home/Music/Rock", "home/.config", "home/onlyHidden/.secret",
                 "home/plain", "home/locked/inside", "other/deep/x", "vol"})
            dir.mkpath(QString::fromLatin1(path));
        QFile file(home + "/file.txt");
        file.open(QIODevice::WriteOnly);
        if (withLinks) {
            QFile::link(".", home + "/loop");
            QFile::link("plain", home + "/linkToPlain");
            QFile::link("nowhere", home + "/dangling");
        }
        QFile::setPermissions(home + "/locked", QFileDevice::Permissions());
    }

    ~SampleFolders()
    {
        // Let the temporary folder be removed again.
        QFile::setPermissions(home + "/locked",
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    /// Whether permissions keep this process out of a folder (not so for root).
    bool lockedIsUnreadable() const
    {
        return !QDir(home + "/locked").isReadable();
    }

    LocalShellOptions options(bool german = false)
    {
        LocalShellOptions options;
        options.german = german;
        options.homePath = home;
        QString volume = root + "/vol";
        // "/" here; on Windows the system's drive.
        options.volumes = [volume] { return QStringList{volume, QDir::rootPath(), volume}; };
        options.openUrl = [this](const QUrl& url) {
            urlsOpened << url.toLocalFile();
            return openSucceeds;
        };
        return options;
    }
};

} // namespace sorvanel::ui::testing
