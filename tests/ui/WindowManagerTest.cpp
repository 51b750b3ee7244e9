#include "MainWindowTestFiles.h"
#include "platform/Notifier.h"
#include "settings/Language.h"
#include "settings/SettingsStore.h"
#include "ui/MainDialog.h"
#include "ui/WindowPlacement.h"

#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <csignal>
#include <cstdio>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace sorvanel;
using namespace sorvanel::ui;

namespace {

/// An X server of its own with a window manager on it, for as long as it lives: where the
/// main window opens depends on the frame a real window manager puts around it.
class X11Session
{
public:
    ~X11Session()
    {
        for (pid_t pid : {m_windowManager, m_server})
            if (pid > 0 && ::kill(pid, SIGTERM) == 0)
                ::waitpid(pid, nullptr, 0);
    }

    /// Starts both and points this process at the server; false when the server did not start.
    bool start()
    {
        int pipe[2];
        if (::pipe(pipe) != 0 || (m_server = ::fork()) < 0)
            return false;
        if (m_server == 0) {
            // The server writes its display number to this pipe once it takes clients.
            std::string fd = std::to_string(pipe[1]);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
                "-nolisten", "tcp", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(pipe[1]);
        std::string display = ":";
        pollfd wait{pipe[0], POLLIN, 0};
        char c = 0;
        while (::poll(&wait, 1, 20000) > 0 && ::read(pipe[0], &c, 1) == 1 && c != '\n')
            display += c;
        ::close(pipe[0]);
        if (display == ":")
            return false;
        ::setenv("DISPLAY", display.c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        if ((m_windowManager = ::fork()) == 0) {
            ::setenv("HOME", m_home.path().toLocal8Bit().constData(), 1);
            ::execlp("openbox", "openbox", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        return true;
    }

private:
    pid_t m_server = -1;
    pid_t m_windowManager = -1;
    QTemporaryDir m_home;
};

/// Whether the window manager has framed the shown window.
bool framed(QWidget& window, int timeoutMs = 5000)
{
    return QTest::qWaitFor(
        [&window] {
            return window.windowHandle() && !window.windowHandle()->frameMargins().isNull();
        },
        timeoutMs);
}

} // namespace

class WindowManagerTest : public QObject
{
    Q_OBJECT

    MemorySettingsStore m_store;
    RecordingNotifier m_notifier;

    std::unique_ptr<MainDialog> open()
    {
        // No files: nothing is scanned here.
        MainDialogServices s = sorvanel::test::recordingServices(m_store, nullptr, m_notifier);
        auto dialog = std::make_unique<MainDialog>(s);
        dialog->show();
        return dialog;
    }

    QRect stored()
    {
        auto value = [this](const char* name) {
            return m_store.GetProfileInt(settingsSection, name, -1);
        };
        return QRect(QPoint(value("WindowLeft"), value("WindowTop")),
            QPoint(value("WindowRight") - 1, value("WindowBottom") - 1));
    }

private slots:
    void init() { m_store.WriteProfileString(settingsSection, languageValueName, "E"); }

    void placementRoundTrip_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("showCommand");
        QTest::newRow("normal") << int(Qt::WindowNoState) << 1;
        QTest::newRow("maximized") << int(Qt::WindowMaximized) << 3;
        QTest::newRow("minimized") << int(Qt::WindowMinimized) << 2;
    }

    void placementRoundTrip()
    {
        const QRect frame(100, 150, 700, 600);
        storePlacement(m_store, {frame, ShowNormal});
        // Started and closed untouched, again and again, it stays where it was.
        for (int start = 0; start < 3; ++start) {
            auto dialog = open();
            QVERIFY(framed(*dialog));
            QTRY_COMPARE(dialog->frameGeometry(), frame);
            dialog->reject();
            QCOMPARE(stored(), frame);
        }

        QFETCH(int, state);
        auto dialog = open();
        QVERIFY(framed(*dialog));
        dialog->setWindowState(Qt::WindowStates(state));
        QTRY_COMPARE(int(dialog->windowState()), state);
        QTest::qWait(100);
        dialog->reject();
        QTEST(m_store.GetProfileInt(settingsSection, "WindowShowCmd", -1), "showCommand");
        QCOMPARE(stored(), frame);
        if (state == Qt::WindowMinimized)
            return;

        // Maximized: it opens so, keeps the normal rectangle, and goes back to it.
        dialog = open();
        QTRY_COMPARE(int(dialog->windowState()), state);
        QVERIFY(framed(*dialog));
        dialog->reject();
        QCOMPARE(stored(), frame);
        dialog = open();
        QVERIFY(framed(*dialog));
        dialog->setWindowState(Qt::WindowNoState);
        QTRY_VERIFY(dialog->frameGeometry() == frame
            && dialog->geometry() == frame.marginsRemoved(dialog->windowHandle()->frameMargins()));
    }

    void aFirstStartStoresTheFrame()
    {
        // From an empty store the window manager places and frames the window whenever it
        // gets to it: what is stored is the frame, never the inside.
        for (int start = 0; start < 5; ++start) {
            m_store = MemorySettingsStore();
            init();
            auto dialog = open();
            QVERIFY(framed(*dialog));
            QTest::qWait(300);
            const QRect frame =
                dialog->geometry().marginsAdded(dialog->windowHandle()->frameMargins());
            // Closed maximized, the normal frame is stored as it was last seen.
            if (start % 2) {
                dialog->setWindowState(Qt::WindowMaximized);
                QTRY_VERIFY(dialog->isMaximized());
                QTest::qWait(100);
            }
            dialog->reject();
            QCOMPARE(stored(), frame);
        }
    }

    void titleBarStaysOnTheScreen()
    {
        storePlacement(m_store, {QRect(100, -40, 700, 600), ShowNormal});
        auto dialog = open();
        QVERIFY(framed(*dialog));
        QTRY_COMPARE(dialog->frameGeometry(), QRect(100, 0, 700, 600));
    }
};

int main(int argc, char** argv)
{
    X11Session session;
    if (!session.start()) {
        std::fprintf(stderr, "FAIL: Xvfb did not start (is it installed?)\n");
        return 1;
    }
    QApplication application(argc, argv);
    // A window shown before the window manager is up may stay unframed: show it anew.
    bool managed = false;
    for (int attempt = 0; attempt < 20 && !managed; ++attempt) {
        QWidget probe;
        probe.show();
        managed = framed(probe, 1000);
    }
    if (!managed) {
        std::fprintf(stderr, "FAIL: no window manager framed a window (is openbox installed?)\n");
        return 1;
    }
    WindowManagerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "WindowManagerTest.moc"
