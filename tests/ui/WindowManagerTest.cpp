#include "platform/FileOps.h"
#include "platform/Notifier.h"
#include "settings/Language.h"
#include "settings/SettingsStore.h"
#include "ui/MainDialog.h"

#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace sorvanel;
using namespace sorvanel::ui;

namespace {

/// An X server of its own with a window manager on it, for as long as it lives: the main
/// window's placement depends on the frame a real window manager puts around it.
class X11Session
{
public:
    ~X11Session()
    {
        for (pid_t pid : {m_windowManager, m_server}) {
            if (pid > 0) {
                ::kill(pid, SIGTERM);
                ::waitpid(pid, nullptr, 0);
            }
        }
    }

    /// Starts both and points this process at the server; an error text when that fails.
    std::string start()
    {
        int pipe[2];
        if (::pipe(pipe) != 0)
            return "no pipe";
        m_server = ::fork();
        if (m_server == 0) {
            ::close(pipe[0]);
            std::string fd = std::to_string(pipe[1]);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
                "-nolisten", "tcp", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(pipe[1]);
        // The server writes its display number once it accepts clients.
        std::string number;
        pollfd wait{pipe[0], POLLIN, 0};
        char c = 0;
        while (::poll(&wait, 1, 20000) > 0 && ::read(pipe[0], &c, 1) == 1 && c != '\n')
            number += c;
        ::close(pipe[0]);
        if (number.empty())
            return "Xvfb did not start (is it installed?)";
        m_display = ":" + number;
        ::setenv("DISPLAY", m_display.c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);

        m_home.reset(new QTemporaryDir);
        m_windowManager = ::fork();
        if (m_windowManager == 0) {
            ::setenv("HOME", m_home->path().toLocal8Bit().constData(), 1);
            ::execlp("openbox", "openbox", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        return {};
    }

private:
    pid_t m_server = -1;
    pid_t m_windowManager = -1;
    std::string m_display;
    std::unique_ptr<QTemporaryDir> m_home;
};

/// The main window over a store of its own; it runs no other window.
struct Harness
{
    MemorySettingsStore store;
    PosixFileOps files;
    RecordingNotifier notifier;

    Harness() { store.WriteProfileString(settingsSection, languageValueName, "E"); }

    std::unique_ptr<MainDialog> open()
    {
        MainDialogServices s;
        s.store = &store;
        s.files = &files;
        s.notifier = &notifier;
        s.runLanguageChooser = [] { return false; };
        s.chooseFolder = [](QWidget*, const std::string&) { return std::nullopt; };
        s.askCleanOptions = [](QWidget*) { return std::nullopt; };
        s.showLog = [](QWidget*, const std::vector<std::string>&) {};
        s.openDocument = [](const QString&, const QString&) { return true; };
        auto dialog = std::make_unique<MainDialog>(s);
        dialog->show();
        return dialog;
    }

    void storeFrame(const QRect& frame, int showCommand = 1)
    {
        store.WriteProfileInt(settingsSection, "WindowLeft", frame.x());
        store.WriteProfileInt(settingsSection, "WindowTop", frame.y());
        store.WriteProfileInt(settingsSection, "WindowRight", frame.x() + frame.width());
        store.WriteProfileInt(settingsSection, "WindowBottom", frame.y() + frame.height());
        store.WriteProfileInt(settingsSection, "WindowShowCmd", showCommand);
    }

    QRect storedFrame() const
    {
        auto value = [this](const char* name) {
            return const_cast<MemorySettingsStore&>(store).GetProfileInt(settingsSection, name, -1);
        };
        return QRect(QPoint(value("WindowLeft"), value("WindowTop")),
            QPoint(value("WindowRight") - 1, value("WindowBottom") - 1));
    }

    int storedShowCommand() { return store.GetProfileInt(settingsSection, "WindowShowCmd", -1); }
};

/// Whether the window manager has framed the window and the window has settled.
bool framed(MainDialog& dialog)
{
    return QTest::qWaitForWindowExposed(&dialog)
        && QTest::qWaitFor([&dialog] { return !dialog.windowHandle()->frameMargins().isNull(); });
}

} // namespace

class WindowManagerTest : public QObject
{
    Q_OBJECT

private slots:
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
        QFETCH(int, state);
        const QRect frame(100, 150, 700, 600);
        Harness h;
        h.storeFrame(frame);
        // Started and closed untouched, again and again, it stays where it was.
        for (int start = 0; start < 3; ++start) {
            auto dialog = h.open();
            QVERIFY(framed(*dialog));
            QTRY_COMPARE(dialog->frameGeometry(), frame);
            dialog->reject();
            QCOMPARE(h.storedFrame(), frame);
            QCOMPARE(h.storedShowCommand(), 1);
        }

        auto dialog = h.open();
        QVERIFY(framed(*dialog));
        dialog->setWindowState(Qt::WindowStates(state));
        QTRY_COMPARE(int(dialog->windowState()), state);
        QTest::qWait(100);
        dialog->reject();
        QCOMPARE(h.storedFrame(), frame);
        QTEST(h.storedShowCommand(), "showCommand");
        if (state == Qt::WindowMinimized)
            return;

        // Maximized: it opens so, keeps the normal rectangle, and goes back to it.
        dialog = h.open();
        QTRY_COMPARE(int(dialog->windowState()), state);
        QVERIFY(framed(*dialog));
        dialog->reject();
        QCOMPARE(h.storedFrame(), frame);
        dialog = h.open();
        QVERIFY(framed(*dialog));
        dialog->setWindowState(Qt::WindowNoState);
        QTRY_COMPARE(dialog->frameGeometry(), frame);
        QTest::qWait(200);
        QCOMPARE(dialog->geometry(), frame.marginsRemoved(dialog->windowHandle()->frameMargins()));
        dialog->reject();
        QCOMPARE(h.storedFrame(), frame);
    }

    void titleBarStaysOnTheScreen()
    {
        Harness h;
        h.storeFrame(QRect(100, -40, 700, 600));
        auto dialog = h.open();
        QVERIFY(framed(*dialog));
        QTRY_COMPARE(dialog->frameGeometry(), QRect(100, 0, 700, 600));
    }
};

int main(int argc, char** argv)
{
    X11Session session;
    if (std::string failure = session.start(); !failure.empty()) {
        std::fprintf(stderr, "FAIL: %s\n", failure.c_str());
        return 1;
    }
    QApplication application(argc, argv);
    QWidget probe;
    probe.show();
    if (!QTest::qWaitFor(
            [&probe] { return !probe.windowHandle()->frameMargins().isNull(); }, 20000)) {
        std::fprintf(stderr, "FAIL: no window manager framed a window (is openbox installed?)\n");
        return 1;
    }
    probe.hide();
    WindowManagerTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "WindowManagerTest.moc"
