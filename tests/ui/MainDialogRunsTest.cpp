// The main window's long runs: the progress window and Cancel, the preview, restoring
// originals, and the file list's context menu.
#include "MainWindowTestFiles.h"
#include "platform/FileOps.h"
#include "platform/Notifier.h"
#include "platform/qt/MessageBoxes.h"
#include "settings/Language.h"
#include "settings/SettingsStore.h"
#include "ui/MainDialog.h"
#include "ui/ProgressRun.h"
#include "ui/controls/ColumnListView.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHelpEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolTip>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

using namespace sorvanel;
using namespace sorvanel::ui;
using sorvanel::test::asBytes;
using sorvanel::test::Bytes;
using sorvanel::test::readFile;
using sorvanel::test::rowTexts;
using sorvanel::test::writeFile;

namespace {

Bytes song(std::string_view title)
{
    using namespace sorvanel::test;
    return smf({track(hex("00 FF 03") + varLen(static_cast<std::uint32_t>(title.size()))
        + text(title) + hex("00 90 3C 40 | 00 B0 07 64 | 60 80 3C 00"))});
}

/// The real file system, reading each file `delayMs` late, and once `gate` was called only as
/// many files as it let through (waiting at most ten seconds for more, then for none): a run
/// long enough to watch. The first read or rename of the file named `troubleName` (or of its
/// backup) fails `troubleAfterMs` into it.
class SlowFileOps : public NativeFileOps
{
public:
    std::atomic<int> delayMs = 0;
    std::string troubleName; // by name: the window joins paths with the system's separator
    int troubleAfterMs = 0;

    /// Lets `files` more reads through; all of them from now on when negative.
    void gate(int files)
    {
        std::lock_guard lock(m_gateMutex);
        m_passes = files < 0 ? -1 : std::max(m_passes, 0) + files;
        m_gateOpened.notify_all();
    }

    void readWhole(const std::string& path, std::vector<std::uint8_t>& image) override
    {
        {
            std::unique_lock lock(m_gateMutex);
            // A test that never opens it fails, but the run still ends.
            if (!m_gateOpened.wait_for(
                    lock, std::chrono::seconds(10), [this] { return m_passes != 0; }))
                m_passes = -1;
            if (m_passes > 0)
                --m_passes;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs.load()));
        troubleWith(path);
        NativeFileOps::readWhole(path, image);
    }
    void renameReplace(const std::string& from, const std::string& to) override
    {
        troubleWith(from);
        NativeFileOps::renameReplace(from, to);
    }
    void renameNoReplace(const std::string& from, const std::string& to) override
    {
        troubleWith(from);
        NativeFileOps::renameNoReplace(from, to);
    }

private:
    void troubleWith(const std::string& path)
    {
        if (troubleName.empty() || !nameOf(path).starts_with(troubleName))
            return;
        troubleName.clear();
        std::this_thread::sleep_for(std::chrono::milliseconds(troubleAfterMs));
        throw FileError("Cannot read", path, EIO);
    }

    std::mutex m_gateMutex;
    std::condition_variable m_gateOpened;
    int m_passes = -1; ///< reads still let through; -1 for all
};

/// Records messages and whether each came on the GUI thread, where message boxes must open.
/// With `realBoxes` each is shown in a real message box as well.
struct GuiThreadNotifier : RecordingNotifier
{
    bool allOnGuiThread = true;
    bool realBoxes = false;
    void notify(std::string_view text) override
    {
        allOnGuiThread = allOnGuiThread && QThread::currentThread() == qApp->thread();
        RecordingNotifier::notify(text);
        if (realBoxes)
            MessageBoxNotifier().notify(text);
    }
};

/// Answers every message box `answerAfterMs` after it opened, as a person who reads it, and
/// tells whether each still had the input then.
class LateBoxAnswerer : public QObject
{
public:
    explicit LateBoxAnswerer(int answerAfterMs)
    {
        connect(&m_timer, &QTimer::timeout, this, [this, answerAfterMs] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(widget);
                if (!box || !box->isVisible() || m_seen.contains(box))
                    continue;
                m_seen.insert(box);
                QTimer::singleShot(answerAfterMs, box, [this, box] {
                    ++answered;
                    keptInput = keptInput && QApplication::activeModalWidget() == box;
                    box->button(QMessageBox::Ok)->click();
                });
            }
        });
        m_timer.start(10);
    }
    int answered = 0;
    bool keptInput = true;

private:
    QTimer m_timer;
    QSet<QWidget*> m_seen;
};

struct Harness
{
    MemorySettingsStore store;
    SlowFileOps files;
    GuiThreadNotifier notifier;
    QTemporaryDir dir;
    std::optional<CleanOptions> cleanAnswer;
    std::vector<std::vector<std::string>> logs;
    std::vector<std::vector<std::string>> previewLogs;
    std::unique_ptr<MainDialog> dialog;
    int progressDelayMs = ProgressRun::defaultShowAfterMs;
    QStringList questions;
    bool confirmAnswer = true;
    QList<bool> nextAnswers; // taken one a question before `confirmAnswer`

    explicit Harness(std::string_view language = "E")
    {
        store.WriteProfileString(settingsSection, languageValueName, language);
        CleanOptions options;
        options.DeleteAllControlEvents = 1;
        options.ExceptControlEvents = 0;
        cleanAnswer = options;
    }

    QString path(const QString& name) const { return dir.path() + "/" + name; }

    /// Opens the window on the folder as it is now.
    MainDialog& open()
    {
        MainDialogServices s = sorvanel::test::recordingServices(store, &files, notifier, &logs);
        s.chooseFolder = [this](QWidget*, const std::string&) {
            return std::optional<std::string>(dir.path().toStdString());
        };
        s.askCleanOptions = [this](QWidget*) { return cleanAnswer; };
        s.showPreviewLog = [this](QWidget*, const std::vector<std::string>& lines) {
            previewLogs.push_back(lines);
        };
        s.progressDelayMs = progressDelayMs;
        s.confirm = [this](QWidget*, const QString& question) {
            questions << question;
            return nextAnswers.isEmpty() ? confirmAnswer : nextAnswers.takeFirst();
        };
        dialog = std::make_unique<MainDialog>(s);
        dialog->show();
        dialog->OnSelectFolder();
        return *dialog;
    }
};

/// Watches for the progress window while a run goes on and acts on it once it shows and
/// `ready` (when given) holds.
class ProgressWatcher : public QObject
{
public:
    explicit ProgressWatcher(
        std::function<void(ProgressDialog*)> act, std::function<bool()> ready = {})
        : m_act(std::move(act))
    {
        connect(&m_timer, &QTimer::timeout, this, [this, ready] {
            auto* progress = qobject_cast<ProgressDialog*>(QApplication::activeModalWidget());
            if (!progress || !progress->isVisible() || seen || (ready && !ready()))
                return;
            seen = true;
            m_act(progress);
        });
        m_timer.start(10);
    }
    bool seen = false;

private:
    std::function<void(ProgressDialog*)> m_act;
    QTimer m_timer;
};

/// The texts and states of the context menu's items as "text:on" or "text:off".
QStringList menuItems(MainDialog& dialog)
{
    QStringList items;
    QTimer::singleShot(0, [&items] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu)
            return;
        for (QAction* action : menu->actions())
            if (!action->isSeparator())
                items << action->text() + (action->isEnabled() ? ":on" : ":off");
        menu->close();
    });
    dialog.onFileListMenu(QPoint(5, 5));
    return items;
}

} // namespace

class MainDialogRunsTest : public QObject
{
    Q_OBJECT

private slots:
    void contextMenuOffersPreviewAndRestore_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QList<int>>("selected");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("nothing selected")
            << "E" << QList<int>{}
            << QStringList{"Preview…:off", "Restore Originals:off", "Include sub-folders:on"};
        QTest::newRow("no backup")
            << "E" << QList<int>{1}
            << QStringList{"Preview…:on", "Restore Originals:off", "Include sub-folders:on"};
        QTest::newRow("one with a backup")
            << "E" << QList<int>{0, 1}
            << QStringList{"Preview…:on", "Restore Originals:on", "Include sub-folders:on"};
        QTest::newRow("German") << "G" << QList<int>{0}
                                << QStringList{"Vorschau…:on", "Originale wiederherstellen:on",
                                       "Unterordner einbeziehen:on"};
    }

    void contextMenuOffersPreviewAndRestore()
    {
        QFETCH(QString, language);
        Harness h(language.toStdString());
        writeFile(h.path("a.mid"), song("A"));
        writeFile(h.path("a.mid.bak"), song("Old"));
        writeFile(h.path("b.mid"), song("B"));
        MainDialog& dialog = h.open();
        QFETCH(QList<int>, selected);
        for (int row : selected)
            dialog.fileList()->selectionModel()->select(dialog.fileList()->model()->index(row, 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QTEST(menuItems(dialog), "items");
    }

    void toolTipsTellOfBackupsAndCutTitles()
    {
        Harness h;
        const QString longTitle =
            "A title far longer than the title column is wide, " + QString(60, 'x');
        writeFile(h.path("a.mid"), song("A"));
        writeFile(h.path("a.mid.bak"), song("Old"));
        writeFile(h.path("b.mid"), song(longTitle.toStdString()));
        MainDialog& dialog = h.open();
        ColumnListView* list = dialog.fileList();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto tipAt = [list](int row, int column) {
            QRect cell = list->visualRect(list->model()->index(row, column));
            QHelpEvent tip(
                QEvent::ToolTip, cell.center(), list->viewport()->mapToGlobal(cell.center()));
            QApplication::sendEvent(list->viewport(), &tip);
            return QToolTip::isVisible() ? QToolTip::text() : QString();
        };
        QCOMPARE(tipAt(1, 0), QString());
        QCOMPARE(tipAt(0, 1), "Backup of the original: a.mid.bak");
        QCOMPARE(tipAt(1, 1), longTitle);
    }

    void previewWritesNothing()
    {
        Harness h;
        Bytes a = song("A");
        writeFile(h.path("a.mid"), a);
        writeFile(h.path("b.mid"), a);
        MainDialog& dialog = h.open();
        dialog.fileList()->SelectAllRows();
        // Shift+Clean, then the menu's command: the same preview.
        QTest::mouseClick(dialog.controlAs<QPushButton>(MainDialog::CleanButton), Qt::LeftButton,
            Qt::ShiftModifier);
        dialog.previewAction()->trigger();
        QCOMPARE(h.previewLogs.size(), std::size_t{2});
        QVERIFY(h.logs.empty());
        QCOMPARE(h.previewLogs[0],
            std::vector<std::string>({"File\tSysEx\tContr.\tReset", "", "a.mid\t   0\t   1\t   0",
                "b.mid\t   0\t   1\t   0"}));
        QCOMPARE(h.previewLogs[1], h.previewLogs[0]);
        QCOMPARE(readFile(h.path("a.mid")), asBytes(a));
        QVERIFY(!QFile::exists(h.path("a.mid.bak")));
        QCOMPARE(dialog.fileList()->getSelectedCount(), 2);

        // Without Shift the button cleans.
        QTest::mouseClick(dialog.controlAs<QPushButton>(MainDialog::CleanButton), Qt::LeftButton);
        QCOMPARE(h.logs.size(), std::size_t{1});
        QCOMPARE(h.logs[0], h.previewLogs[0]);
        QVERIFY(QFile::exists(h.path("a.mid.bak")));
    }

    void restoreOriginalsGivesBackTheFormerBytesAndTitles()
    {
        Harness h;
        Bytes old = song("Old");
        writeFile(h.path("a.mid"), song("New"));
        writeFile(h.path("a.mid.bak"), old);
        writeFile(h.path("b.mid"), song("B"));
        MainDialog& dialog = h.open();
        QCOMPARE(rowTexts(dialog), QStringList({"a.mid|New", "b.mid|B"}));
        dialog.fileList()->SelectAllRows();
        // Asked first, naming how many songs have a backup; No leaves everything as it is.
        h.confirmAnswer = false;
        dialog.restoreAction()->trigger();
        QVERIFY(QFile::exists(h.path("a.mid.bak")));
        QVERIFY(h.logs.empty());
        QCOMPARE(dialog.fileList()->getSelectedCount(), 2);
        h.confirmAnswer = true;
        dialog.restoreAction()->trigger();
        QCOMPARE(h.questions.size(), 2);
        QVERIFY2(h.questions[0].startsWith("1 song gets its backup's bytes back"),
            qPrintable(h.questions[0]));
        QCOMPARE(readFile(h.path("a.mid")), asBytes(old));
        QVERIFY(!QFile::exists(h.path("a.mid.bak")));
        QCOMPARE(h.logs,
            std::vector<std::vector<std::string>>({{"Restored from backup:", "", "a.mid"}}));
        QCOMPARE(rowTexts(dialog), QStringList({"a.mid|Old", "b.mid|B"}));
        QCOMPARE(dialog.fileList()->getSelectedCount(), 0);
        QVERIFY(h.notifier.texts.empty());
    }

    void restoreOfASongSavedSinceItsCleanAsksAgain_data()
    {
        QTest::addColumn<bool>("anyway");
        QTest::newRow("kept") << false;
        QTest::newRow("restored, its bytes in the trash") << true;
    }

    void restoreOfASongSavedSinceItsCleanAsksAgain()
    {
        QFETCH(bool, anyway);
        Harness h;
        const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", h.path("data").toUtf8());
        auto restoreDataHome = qScopeGuard([&] {
            dataHome.isNull() ? qunsetenv("XDG_DATA_HOME") : qputenv("XDG_DATA_HOME", dataHome);
        });
        Bytes old = song("Old"), edited = song("Edited");
        writeFile(h.path("a.mid.bak"), old);
        writeFile(h.path("a.mid"), edited);
        QFile saved(h.path("a.mid"));
        QVERIFY(saved.open(QIODevice::ReadWrite)
            && saved.setFileTime(
                QDateTime::currentDateTime().addSecs(3600), QFileDevice::FileModificationTime));
        saved.close();
        MainDialog& dialog = h.open();
        dialog.fileList()->SelectAllRows();
        h.nextAnswers = {true, anyway};
        dialog.restoreAction()->trigger();
        QCOMPARE(h.questions.size(), 2);
        QVERIFY2(h.questions[1].startsWith("1 song was changed after it was cleaned"),
            qPrintable(h.questions[1]));
        QCOMPARE(h.notifier.texts.size(), std::size_t{1});
        QCOMPARE(readFile(h.path("a.mid")), asBytes(anyway ? old : edited));
        QCOMPARE(QFile::exists(h.path("a.mid.bak")), !anyway);
#ifndef Q_OS_WIN // there the recycle bin has them
        QCOMPARE(
            readFile(h.path("data/Trash/files/a.mid")), anyway ? asBytes(edited) : QByteArray());
#endif
        if (anyway)
            QCOMPARE(
                h.logs.back(), std::vector<std::string>({"Restored from backup:", "", "a.mid"}));
    }

    void cancelStopsALongRunBetweenFiles()
    {
        Harness h;
        constexpr int count = 20;
        Bytes original = song("S");
        for (int i = 0; i < count; ++i)
            writeFile(h.path(QString("%1.mid").arg(i, 2, 10, QChar('0'))), original);
        MainDialog& dialog = h.open();
        ColumnListView* list = dialog.fileList();
        list->SelectAllRows();
        // The first file passes; the next waits until the progress window has been cancelled,
        // however long that takes to show.
        h.files.gate(1);

        QString shown;
        bool selectAllRefused = false;
        bool closedMeanwhile = true;
        ProgressWatcher watcher(
            [&](ProgressDialog* progress) {
                shown = progress->countLabel()->text();
                // The main window takes no input while the run goes on.
                QTest::mouseClick(
                    dialog.controlAs<QPushButton>(MainDialog::SelectAllButton), Qt::LeftButton);
                QTest::keyClick(list, Qt::Key_Escape);
                selectAllRefused = !list->isRowSelected(0);
                closedMeanwhile = dialog.close();
                QTest::mouseClick(progress->cancelButton(), Qt::LeftButton);
                h.files.gate(-1);
            },
            // Files done leave the selection as the run goes on.
            [list] { return !list->isRowSelected(0); });
        dialog.OnClean();

        QVERIFY(watcher.seen);
        QVERIFY2(shown.startsWith("Cleaning ") && shown.endsWith(" of 20"), qPrintable(shown));
        QVERIFY(selectAllRefused);
        QVERIFY(!closedMeanwhile);
        QVERIFY(dialog.isVisible());
        // The files before the stop are cleaned and deselected, the rest untouched.
        int done = count - list->getSelectedCount();
        QVERIFY2(done > 0 && done < count, qPrintable(QString::number(done)));
        for (int i = 0; i < count; ++i) {
            QString name = QString("%1.mid").arg(i, 2, 10, QChar('0'));
            QCOMPARE(list->isRowSelected(i), i >= done);
            QCOMPARE(QFile::exists(h.path(name + ".bak")), i < done);
            QCOMPARE(readFile(h.path(name)) == asBytes(original), i >= done);
        }
        QCOMPARE(h.logs.size(), std::size_t{1});
        QCOMPARE(h.logs[0].size(), static_cast<std::size_t>(done + 2));
        QVERIFY(h.notifier.texts.empty());
    }

    void aMessageKeepsTheInputUntilItIsAnswered_data()
    {
        QTest::addColumn<QString>("run");
        QTest::addColumn<int>("messageAtMs");
        // With the progress window due after 100 ms: a message at once, shortly before the
        // window is due, shortly after it opened and long after; each answered 300 ms later.
        for (const char* run : {"scan", "clean", "preview", "restore"})
            for (int at : {0, 80, 120, 400})
                QTest::addRow("%s, message after %d ms", run, at) << QString(run) << at;
    }

    void aMessageKeepsTheInputUntilItIsAnswered()
    {
        QFETCH(QString, run);
        QFETCH(int, messageAtMs);
        Harness h;
        h.progressDelayMs = 100;
        constexpr int count = 12;
        Bytes original = song("S");
        for (int i = 0; i < count; ++i) {
            QString name = QString("%1.mid").arg(i, 2, 10, QChar('0'));
            writeFile(h.path(name), original);
            if (run == "restore")
                writeFile(h.path(name + ".bak"), song("Old"));
        }
        MainDialog& dialog = h.open();
        dialog.fileList()->SelectAllRows();
        h.notifier.realBoxes = true;
        h.files.delayMs = 10;
        h.files.troubleName = "00.mid";
        h.files.troubleAfterMs = messageAtMs;

        LateBoxAnswerer answerer(300);
        if (run == "scan")
            dialog.ScanFolder();
        else if (run == "clean")
            dialog.OnClean();
        else if (run == "preview")
            dialog.onPreview();
        else
            dialog.restoreAction()->trigger();

        QCOMPARE(answerer.answered, 1);
        QVERIFY(answerer.keptInput);
        QCOMPARE(h.notifier.texts.size(), std::size_t{1});
        QVERIFY(h.notifier.texts[0].find("00.mid") != std::string::npos);
        QVERIFY(!QApplication::activeModalWidget());
        // The scan goes on after the message without the unreadable file; the others stop at
        // the file, writing nothing.
        QCOMPARE(dialog.fileList()->getItemCount(), run == "scan" ? count - 1 : count);
        for (int i = 0; i < count; ++i) {
            QString name = QString("%1.mid").arg(i, 2, 10, QChar('0'));
            QCOMPARE(readFile(h.path(name)), asBytes(original));
            QCOMPARE(QFile::exists(h.path(name + ".bak")), run == "restore");
        }
    }

    void aCleanTakesFinishedRowsOutOfTheSelectionInBatches()
    {
        // Each change of the selection is a recount and an event for assistive technology:
        // at most one per refresh of the progress, not one per file.
        Harness h;
        constexpr int count = 300;
        for (int i = 0; i < count; ++i)
            writeFile(h.path(QString("%1.mid").arg(i, 3, 10, QChar('0'))), song("S"));
        MainDialog& dialog = h.open();
        ColumnListView* list = dialog.fileList();
        list->SelectAllRows();
        int changes = 0;
        connect(list->selectionModel(), &QItemSelectionModel::selectionChanged,
            [&changes] { ++changes; });
        QElapsedTimer clock;
        clock.start();
        dialog.OnClean();
        const auto refreshes = static_cast<int>(clock.elapsed() / 45);
        QVERIFY2(changes <= refreshes + 2, qPrintable(QString::number(changes)));
        QCOMPARE(list->getSelectedCount(), 0);
        QCOMPARE(h.logs.at(0).size(), std::size_t{count + 2});
    }

    void shortRunShowsNoProgressWindow()
    {
        Harness h;
        writeFile(h.path("a.mid"), song("A"));
        MainDialog& dialog = h.open();
        dialog.fileList()->SelectAllRows();
        ProgressWatcher watcher([](ProgressDialog* progress) { progress->reject(); });
        dialog.OnClean();
        QVERIFY(!watcher.seen);
        QCOMPARE(h.logs.size(), std::size_t{1});
    }

    void messagesOfARunAreShownOnTheGuiThread()
    {
        Harness h;
        writeFile(h.path("a.mid"), song("A"));
        MainDialog& dialog = h.open();
        writeFile(h.path("a.mid"), sorvanel::test::hex("4D 54 68 64"));
        dialog.fileList()->SelectAllRows();
        dialog.OnClean();
        QCOMPARE(h.notifier.texts.size(), std::size_t{1});
        QVERIFY(h.notifier.texts[0].find("a.mid") != std::string::npos);
        QVERIFY(h.notifier.allOnGuiThread);
    }
};

QTEST_MAIN(MainDialogRunsTest)
#include "MainDialogRunsTest.moc"
