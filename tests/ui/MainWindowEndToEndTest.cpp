#include "MainWindowTestFiles.h"
#include "app/StandardServices.h"
#include "platform/FileOps.h"
#include "platform/Notifier.h"
#include "settings/SettingsStore.h"
#include "support/MidiBytes.h"
#include "ui/CleanOptionsDialog.h"
#include "ui/LogDialog.h"
#include "ui/MainDialog.h"
#include "ui/controls/ColumnListBox.h"
#include "ui/controls/ColumnListView.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace sorvanel;
using namespace sorvanel::ui;
using sorvanel::test::asBytes;
using sorvanel::test::Bytes;
using sorvanel::test::readFile;
using sorvanel::test::rowTexts;
using sorvanel::test::writeFile;

namespace {

/// Answers every modal window that opens while it lives: the options dialog with `options`
/// (or Cancel), the log window by reading its lines and closing it, anything else by closing
/// it; one that stays open anyway is closed after a while. What it saw is kept in order.
class ModalDriver : public QObject
{
public:
    std::function<void(CleanOptionsDialog&)> options;
    std::vector<QString> seen;
    std::vector<QStringList> logs;

    ModalDriver()
    {
        connect(&m_timer, &QTimer::timeout, this, &ModalDriver::poll);
        m_timer.start(10);
    }

private:
    void poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        if (modal == m_last) {
            // A window that did not close when answered must not hang the test.
            if (m_since.elapsed() > 5000)
                if (auto* stuck = qobject_cast<QDialog*>(modal))
                    stuck->reject();
            return;
        }
        m_last = modal;
        m_since.start();
        seen.push_back(modal->metaObject()->className());
        if (auto* dialog = qobject_cast<CleanOptionsDialog*>(modal)) {
            if (options)
                options(*dialog);
            else
                dialog->reject();
        } else if (auto* log = qobject_cast<LogDialog*>(modal)) {
            QStringList lines;
            for (int line = 0; line < log->logList()->getCount(); ++line) {
                QString text;
                LogDialog::LogLineText(line, text, log);
                lines << text;
            }
            logs.push_back(lines);
            QTest::keyClick(log, Qt::Key_Return);
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen.back() += QStringLiteral(": ") + box->text();
            box->button(QMessageBox::Ok)->click();
        } else if (auto* other = qobject_cast<QDialog*>(modal)) {
            other->reject();
        }
    }

    QTimer m_timer;
    QPointer<QWidget> m_last;
    QElapsedTimer m_since;
};

Bytes song(std::string_view title)
{
    using namespace sorvanel::test;
    Bytes events = hex("00 C0 05 | 00 B0 07 64 | 00 B1 0A 40 | 00 F0 03 43 10 F7 | 00 90 3C 40"
                       "| 00 E0 00 40 | 60 80 3C 00");
    if (!title.empty())
        events = hex("00 FF 03") + varLen(static_cast<std::uint32_t>(title.size())) + text(title)
            + events;
    return smf({track(events)});
}

} // namespace

/// The main window with the program's own options dialog and log window, over a real folder.
class MainWindowEndToEndTest : public QObject
{
    Q_OBJECT

private slots:
    void chooseListSelectCleanAndLog()
    {
        QTemporaryDir dir;
        const QString d = dir.path();
        const Bytes titled = song("Overture");
        const Bytes untitled = song("");
        writeFile(d + "/b.mid", titled);
        writeFile(d + "/A.MID", untitled);
        writeFile(d + "/broken.mid", sorvanel::test::hex("4D 54 68 64 00 00 00 06 00 00"));
        writeFile(d + "/empty.mid", {});
        writeFile(d + "/.hidden.mid", titled);
        QVERIFY(QDir(d).mkdir("sub.mid"));

        MemorySettingsStore store;
        store.WriteProfileString(settingsSection, "Language", "E");
        NativeFileOps files;
        RecordingNotifier notifier;
        MainDialogServices services = standardServices(store, files, notifier);
        services.chooseFolder = [&](QWidget*, const std::string&) {
            return std::optional<std::string>(d.toStdString());
        };
        services.openDocument = [](const QString&, const QString&) { return true; };
        MainDialog window(services);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QTest::mouseClick(
            window.controlAs<QPushButton>(MainDialog::SelectFolderButton), Qt::LeftButton);
        QCOMPARE(rowTexts(window),
            QStringList(
                {"A.MID|<no title found>", "b.mid|Overture", "empty.mid|<no title found>"}));
        QCOMPARE(notifier.texts.size(), std::size_t{1});
        QVERIFY(QString::fromStdString(notifier.texts[0]).contains("broken.mid"));

        ColumnListView* list = window.fileList();
        auto* selectAll = window.controlAs<QPushButton>(MainDialog::SelectAllButton);
        auto* clean = window.controlAs<QPushButton>(MainDialog::CleanButton);
        QTest::mouseClick(selectAll, Qt::LeftButton);
        QCOMPARE(list->getSelectedCount(), 3);
        QTest::mouseClick(selectAll, Qt::LeftButton);
        QCOMPARE(list->getSelectedCount(), 0);
        QVERIFY(!clean->isEnabled());
        QTest::mouseClick(selectAll, Qt::LeftButton);
        QVERIFY(clean->isEnabled());

        // SysEx and every controller go; nothing is inserted.
        ModalDriver driver;
        driver.options = [](CleanOptionsDialog& dialog) {
            dialog.controlAs<QCheckBox>(CleanOptionsDialog::DeleteSysExEventsBox)->click();
            dialog.controlAs<QCheckBox>(CleanOptionsDialog::DeleteAllControlEventsBox)->click();
            dialog.controlAs<QCheckBox>(CleanOptionsDialog::ExceptControlEventsBox)->click();
            dialog.controlAs<QPushButton>(CleanOptionsDialog::ConfirmButton)->click();
        };
        QTest::mouseClick(clean, Qt::LeftButton);

        QCOMPARE(driver.seen,
            std::vector<QString>({"sorvanel::ui::CleanOptionsDialog", "sorvanel::ui::LogDialog"}));
        QCOMPARE(driver.logs.size(), std::size_t{1});
        QCOMPARE(driver.logs[0],
            QStringList({"File\tSysEx\tContr.\tReset", "", "A.MID\t   1\t   3\t   0",
                "b.mid\t   1\t   3\t   0"}));
        QCOMPARE(store.GetProfileInt(settingsSection, "DeleteSysExEvents", -1), 1);

        // The files on disk: both songs rewritten with their former bytes as backups.
        QCOMPARE(readFile(d + "/A.MID.bak"), asBytes(untitled));
        QCOMPARE(readFile(d + "/b.mid.bak"), asBytes(titled));
        using sorvanel::test::hex;
        using sorvanel::test::smf;
        using sorvanel::test::track;
        QCOMPARE(readFile(d + "/A.MID"),
            asBytes(smf({track(hex("00 C0 05 | 00 90 3C 40 | 60 80 3C 00"))})));
        QVERIFY(readFile(d + "/b.mid").contains("Overture"));
        QVERIFY(!QFile::exists(d + "/empty.mid.bak"));
        QCOMPARE(readFile(d + "/.hidden.mid"), asBytes(titled));
        QCOMPARE(QDir(d).entryList(QDir::Files | QDir::Hidden, QDir::Name),
            QStringList({".hidden.mid", "A.MID", "A.MID.bak", "b.mid", "b.mid.bak", "broken.mid",
                "empty.mid"}));

        // Every row is done and out of the selection; the list is not scanned again.
        QCOMPARE(list->getSelectedCount(), 0);
        QCOMPARE(list->getItemCount(), 3);
        QVERIFY(!clean->isEnabled());
        QVERIFY(selectAll->isEnabled());
        QCOMPARE(window.focusWidget(), list);

        // Cancel in the options dialog: nothing runs and no log is shown.
        list->SelectAllRows();
        driver.options = nullptr;
        QTest::mouseClick(clean, Qt::LeftButton);
        QCOMPARE(driver.seen.size(), std::size_t{3});
        QCOMPARE(driver.logs.size(), std::size_t{1});
        QCOMPARE(list->getSelectedCount(), 3);
        QCOMPARE(readFile(d + "/A.MID.bak"), asBytes(untitled));

        window.reject();
        QCOMPARE(store.GetProfileString(settingsSection, "Folder", ""), d.toStdString());
    }
};

QTEST_MAIN(MainWindowEndToEndTest)
#include "MainWindowEndToEndTest.moc"
