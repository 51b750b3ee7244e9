#include "platform/qt/SingleInstance.h"

#include "platform/qt/MessageBoxes.h"

#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

#ifndef _WIN32
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

using namespace sorvanel::ui;

namespace {

// Each test uses its own title, so no test meets a socket of another or of a real instance.
QString uniqueTitle()
{
    return QStringLiteral("Sorvanel test %1").arg(QUuid::createUuid().toString(QUuid::Id128));
}

#ifndef _WIN32
QString socketPath(const QString& name)
{
    return QFileInfo(name).isAbsolute() ? name : QDir(QDir::tempPath()).filePath(name);
}

/// Leaves a socket file behind that nobody listens on, as a killed instance does.
bool makeDeadSocket(const QString& path)
{
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    QByteArray bytes = path.toLocal8Bit();
    std::memcpy(address.sun_path, bytes.constData(),
        std::min<std::size_t>(static_cast<std::size_t>(bytes.size()), sizeof address.sun_path - 1));
    bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return bound && QFileInfo::exists(path);
}
#endif

} // namespace

class SingleInstanceTest : public QObject
{
    Q_OBJECT

private slots:
    void namesTheSocketPerUser_data()
    {
        const QString title = "Sorvanel  -  Delete SysEx events from midi files";
#ifdef _WIN32
        const QString user = qEnvironmentVariable("USERNAME");
#else
        const QString user = QString::number(::getuid());
#endif
        QTest::addColumn<QString>("runtimeDir");
        QTest::addColumn<QString>("expected");
        QTest::newRow("runtime folder") << "/run/user/1000"
                                        << "/run/user/1000/" + title + "-" + user;
        QTest::newRow("no runtime folder") << "" << title + "-" + user;
        QTest::newRow("path too long for a socket") << "/" + QString(60, 'x') << title + "-" + user;
    }

    void namesTheSocketPerUser()
    {
        QFETCH(QString, runtimeDir);
        QFETCH(QString, expected);
        QCOMPARE(SingleInstance::serverName(
                     "Sorvanel  -  Delete SysEx events from midi files", runtimeDir),
            expected);
    }

    void nobodyToHandOverTo()
    {
        SingleInstance instance(uniqueTitle());
        QVERIFY(!instance.handOverToRunningInstance(200));
    }

    void handsOverToTheRunningInstance()
    {
#ifdef _WIN32
        // A pipe write waits for its reader, here the same thread; StartupTest hands over
        // between two programs.
        QSKIP("the running copy must be another program");
#endif
        const QString title = uniqueTitle();
        SingleInstance running(title);
        QVERIFY(running.listen());
        QSignalSpy raised(&running, &SingleInstance::raiseRequested);

        SingleInstance second(title);
        QVERIFY(second.handOverToRunningInstance());
        QTRY_COMPARE(raised.count(), 1);

        // A connection that asks nothing raises nothing.
        QLocalSocket idle;
        idle.connectToServer(running.name());
        QVERIFY(idle.waitForConnected(1000));
        idle.disconnectFromServer();
        QTest::qWait(50);
        QCOMPARE(raised.count(), 1);
    }

#ifndef _WIN32 // a named pipe goes with its owner
    void replacesTheSocketOfAKilledInstance()
    {
        const QString title = uniqueTitle();
        SingleInstance first(title);
        QVERIFY(makeDeadSocket(socketPath(first.name())));

        QVERIFY(!first.handOverToRunningInstance(500));
        QVERIFY(first.listen());
        QSignalSpy raised(&first, &SingleInstance::raiseRequested);
        SingleInstance second(title);
        QVERIFY(second.handOverToRunningInstance());
        QTRY_COMPARE(raised.count(), 1);
    }
#endif

    void keepsAnInstanceThatAnswers()
    {
        const QString title = uniqueTitle();
        SingleInstance running(title);
        QVERIFY(running.listen());
        SingleInstance late(title);
        QVERIFY(!late.listen());
#ifndef _WIN32
        QVERIFY(QFileInfo::exists(socketPath(running.name())));
#endif
    }

    void raisesTheModalWindowLast()
    {
        QDialog main;
        main.show();
        setApplicationMainWindow(&main);
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QDialog modal(&main);
        modal.open();
        QTRY_COMPARE(QApplication::activeModalWidget(), &modal);
        main.activateWindow();
        raiseApplicationWindows();
        QTRY_COMPARE(QApplication::activeWindow(), &modal);
        setApplicationMainWindow(nullptr);
    }

    void leavesAMinimisedWindowAlone()
    {
        QDialog main;
        QDialog other;
        main.showMinimized();
        other.show();
        setApplicationMainWindow(&main);
        QVERIFY(QTest::qWaitForWindowActive(&other));
        raiseApplicationWindows();
        QTest::qWait(50);
        // Activating it is what brings a minimised window back on most desktops.
        QCOMPARE(QApplication::activeWindow(), &other);
        QVERIFY(main.isMinimized());
        setApplicationMainWindow(nullptr);
    }
};

QTEST_MAIN(SingleInstanceTest)
#include "SingleInstanceTest.moc"
