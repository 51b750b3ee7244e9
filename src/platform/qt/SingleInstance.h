#pragma once

#include <QLocalServer>
#include <QLocalSocket>
#include <QObject>
#include <QString>

namespace sorvanel::ui {

/// Keeps one copy of the program per user. The copy that runs answers on a local socket named
/// after its main window's title; a later start finds it there, asks it to come forward and
/// ends. Like a search by window title, two starts at the same moment may miss each other.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(const QString& title, QObject* parent = nullptr);

    /// The socket for `title` and the current user: a path in the user's runtime folder, or,
    /// when there is none or the path would be too long for a socket, a bare name that the
    /// platform places in its temporary folder. On Windows a named pipe's name, with the
    /// user's name in it.
    static QString serverName(const QString& title);
    /// The same, for a given runtime folder (empty: none).
    static QString serverName(const QString& title, const QString& runtimeDir);

    QString name() const { return m_name; }

    /// Asks a running copy to bring its windows forward. True when one took the request, in
    /// which case this start should end.
    bool handOverToRunningInstance(int timeoutMs = 2000);

    /// Starts taking requests from later starts. A socket left behind by a copy that was
    /// killed is removed first. False when the socket cannot be set up or another copy
    /// answers on it; the program then runs without the guard.
    bool listen();

signals:
    /// A later start wants this copy's windows in front.
    void raiseRequested();

private:
    void takeConnection();
    void readRequests(QLocalSocket* socket);

    QString m_name;
    QLocalServer m_server;
};

/// Brings the application's main window to the front, then the modal window or message box
/// that it shows, so that the latter ends up on top. A minimised window stays minimised.
void raiseApplicationWindows();

} // namespace sorvanel::ui
