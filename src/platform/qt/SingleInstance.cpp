#include "platform/qt/SingleInstance.h"

#include "platform/qt/MessageBoxes.h"

#include <QApplication>
#include <QDir>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QWidget>

#ifndef Q_OS_WIN
#include <unistd.h>
#endif

namespace sorvanel::ui {

namespace {

constexpr char raiseRequest[] = "raise\n";

// sockaddr_un::sun_path holds 108 bytes on Linux, 104 on some systems, with its terminator.
constexpr qsizetype longestSocketPath = 103;

/// What tells this user's copy from another user's.
QString userTag()
{
#ifdef Q_OS_WIN
    // A named pipe's name is seen by every session on the machine.
    return qEnvironmentVariable("USERNAME");
#else
    return QString::number(::getuid());
#endif
}

/// Whether a server takes connections on `name`. The probe asks for nothing.
bool answers(const QString& name)
{
    QLocalSocket probe;
    probe.connectToServer(name);
    return probe.waitForConnected(500);
}

} // namespace

SingleInstance::SingleInstance(const QString& title, QObject* parent)
    : QObject(parent)
    , m_name(serverName(title))
{
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::takeConnection);
}

QString SingleInstance::serverName(const QString& title)
{
#ifdef Q_OS_WIN
    // A named pipe, which lives in no folder.
    return serverName(title, QString());
#else
    return serverName(title, QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation));
#endif
}

QString SingleInstance::serverName(const QString& title, const QString& runtimeDir)
{
    QString name = QStringLiteral("%1-%2").arg(title, userTag());
    if (runtimeDir.isEmpty())
        return name;
    QString path = QDir(runtimeDir).filePath(name);
    return path.toLocal8Bit().size() <= longestSocketPath ? path : name;
}

bool SingleInstance::handOverToRunningInstance(int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(raiseRequest);
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::listen()
{
#ifdef Q_OS_WIN
    // A second server may take a pipe name that is in use, so the name is not taken while a
    // copy answers on it. A pipe goes with its owner: a killed copy leaves nothing behind.
    if (answers(m_name))
        return false;
    return m_server.listen(m_name);
#else
    if (m_server.listen(m_name))
        return true;
    if (m_server.serverError() != QAbstractSocket::AddressInUseError)
        return false;
    // Nobody answers on a socket whose owner was killed; it only blocks the name.
    if (answers(m_name))
        return false;
    QLocalServer::removeServer(m_name);
    return m_server.listen(m_name);
#endif
}

void SingleInstance::takeConnection()
{
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequests(socket); });
        readRequests(socket);
    }
}

void SingleInstance::readRequests(QLocalSocket* socket)
{
    while (socket->canReadLine()) {
        if (socket->readLine() == raiseRequest)
            emit raiseRequested();
    }
}

void raiseApplicationWindows()
{
    QWidget* main = applicationMainWindow();
    // Activating a minimised window would restore it; it is only raised then.
    const bool minimised = main && main->isMinimized();
    if (main && main->isVisible()) {
        main->raise();
        if (!minimised)
            main->activateWindow();
    }
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != main) {
        modal->raise();
        if (!minimised)
            modal->activateWindow();
    }
}

} // namespace sorvanel::ui
