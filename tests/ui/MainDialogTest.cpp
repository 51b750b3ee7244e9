#include "ui/MainDialog.h"

#include "MainWindowTestFiles.h"
#include "platform/FileOps.h"
#include "platform/Notifier.h"
#include "platform/qt/MessageBoxes.h"
#include "settings/Language.h"
#include "settings/SettingsStore.h"
#include "song/MidiBuffer.h"
#include "song/Song.h"
#include "support/MidiBytes.h"
#include "ui/DropTarget.h"
#include "ui/controls/ColumnListView.h"

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>

#include <memory>

using namespace sorvanel;
using namespace sorvanel::ui;
using sorvanel::test::asBytes;
using sorvanel::test::Bytes;
using sorvanel::test::readFile;
using sorvanel::test::rowTexts;
using sorvanel::test::writeFile;

namespace {

/// A song with a title and one channel event of each kind the cleaning looks at.
Bytes songWithTitle(std::string_view title)
{
    using namespace sorvanel::test;
    Bytes events = hex("00 90 3C 40 | 00 B0 07 64 | 00 F0 03 43 10 F7 | 60 80 3C 00");
    if (!title.empty())
        events = hex("00 FF 03") + varLen(static_cast<std::uint32_t>(title.size())) + text(title)
            + events;
    return smf({track(events)});
}

Bytes songWithout(std::string_view)
{
    using namespace sorvanel::test;
    return smf({track(hex("00 90 3C 40 | 60 80 3C 00"))});
}

/// Everything the window works with, with recording stand-ins for the windows it runs.
struct Harness
{
    MemorySettingsStore store;
    NativeFileOps files;
    RecordingNotifier notifier;
    int chooserRuns = 0;
    QWidget* ownerOfBoxesAtChooser = nullptr;
    bool chooserAnswer = true;
    std::string chooserLanguage = "E";
    std::vector<std::string> folderStarts;
    std::optional<std::string> folderAnswer;
    std::optional<CleanOptions> cleanAnswer;
    int optionsRuns = 0;
    std::vector<std::vector<std::string>> logs;
    std::vector<std::pair<QString, QString>> opened;
    bool openAnswer = true;

    explicit Harness(std::string_view language = "E")
    {
        if (!language.empty())
            store.WriteProfileString(settingsSection, languageValueName, language);
        store.writes.clear();
    }

    MainDialogServices services()
    {
        MainDialogServices s = sorvanel::test::recordingServices(store, &files, notifier, &logs);
        s.runLanguageChooser = [this] {
            ++chooserRuns;
            ownerOfBoxesAtChooser = applicationMainWindow();
            if (chooserAnswer)
                store.WriteProfileString(settingsSection, languageValueName, chooserLanguage);
            return chooserAnswer;
        };
        s.chooseFolder = [this](QWidget*, const std::string& initial) {
            folderStarts.push_back(initial);
            return folderAnswer;
        };
        s.askCleanOptions = [this](QWidget*) {
            ++optionsRuns;
            return cleanAnswer;
        };
        s.openDocument = [this](const QString& directory, const QString& document) {
            opened.emplace_back(directory, document);
            return openAnswer;
        };
        return s;
    }

    std::unique_ptr<MainDialog> open()
    {
        auto dialog = std::make_unique<MainDialog>(services());
        return dialog;
    }
};

QPushButton* button(const MainDialog& dialog, int id)
{
    return dialog.controlAs<QPushButton>(id);
}

/// A path as the folder chooser and drops hand it to the window: with "\\" on Windows.
std::string nativePath(const QString& path)
{
    return QDir::toNativeSeparators(path).toStdString();
}

/// A path of the drop table on this system: on Windows "/" is drive C:'s root and "\\" parts it.
QString onThisSystem(const QString& path)
{
#ifdef _WIN32
    if (path.startsWith('/'))
        return "C:" + QDir::toNativeSeparators(path);
#endif
    return path;
}

/// What assistive technology reads for a control: its name, then its tool tip after a '|'.
QString readOut(const MainDialog& dialog, int id)
{
    return QAccessible::queryAccessibleInterface(dialog.control(id))->text(QAccessible::Name) + u'|'
        + dialog.control(id)->toolTip();
}

/// Drags `paths` over the window, offered to be moved or copied, and drops them there when it
/// accepts; whether it did. A drop must be answered as a copy: a file manager deletes files it
/// was told were moved.
bool dragAndDrop(MainDialog& dialog, const QStringList& paths)
{
    constexpr Qt::DropActions offered = Qt::MoveAction | Qt::CopyAction;
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls << (QDir::isAbsolutePath(path) ? QUrl::fromLocalFile(path) : QUrl(path));
    data.setUrls(urls);
    const QPoint middle = dialog.rect().center();
    QDragEnterEvent enter(middle, offered, &data, Qt::LeftButton, Qt::NoModifier);
    enter.setDropAction(Qt::MoveAction);
    QApplication::sendEvent(&dialog, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(middle, offered, &data, Qt::LeftButton, Qt::NoModifier);
    drop.setDropAction(Qt::MoveAction);
    QApplication::sendEvent(&dialog, &drop);
    return enter.dropAction() == Qt::CopyAction && drop.isAccepted()
        && drop.dropAction() == Qt::CopyAction;
}

} // namespace

class MainDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void englishStartUp()
    {
        Harness h("E");
        auto dialog = h.open();
        QVERIFY(!dialog->startupFailed());
        QCOMPARE(UiLanguage(), Language::English);
        QCOMPARE(h.chooserRuns, 0);
        QCOMPARE(dialog->windowTitle(),
            QStringLiteral("Sorvanel  -  Delete SysEx events from midi files"));
        QCOMPARE(button(*dialog, MainDialog::SelectFolderButton)->text(), "Select Folder");
        QCOMPARE(button(*dialog, MainDialog::SelectAllButton)->text(), "Select All");
        QCOMPARE(button(*dialog, MainDialog::CleanButton)->text(), "Clean");
        QCOMPARE(button(*dialog, MainDialog::ExitButton)->text(), "Exit");
        QVERIFY(button(*dialog, MainDialog::ManualButton)->isHidden());
        QVERIFY(!button(*dialog, MainDialog::SelectAllButton)->isEnabled());
        QVERIFY(!button(*dialog, MainDialog::CleanButton)->isEnabled());
        QVERIFY(!button(*dialog, MainDialog::HelpButton)->icon().isNull());
        QVERIFY(!dialog->windowIcon().isNull());

        ColumnListView* list = dialog->fileList();
        QCOMPARE(list->getColumnCount(), 2);
        QCOMPARE(list->model()->headerData(0, Qt::Horizontal).toString(), "Filename");
        QCOMPARE(list->model()->headerData(1, Qt::Horizontal).toString(), "Title");
        QCOMPARE(list->columnWidth(0), 250);
        QCOMPARE(list->getItemCount(), 0);
        QCOMPARE(dialog->folder(), std::string());
        QCOMPARE(dialog->controlAs<QLabel>(MainDialog::FolderLabel)->text(), QString());
        QCOMPARE(dialog->startDirectory(), QDir::currentPath());
        QCOMPARE(dialog->focusWidget(), list);
        QCOMPARE(readOut(*dialog, MainDialog::FileList), "Midi files|");
        QCOMPARE(readOut(*dialog, MainDialog::HelpButton), "Help|Help (F1)");
        QCOMPARE(readOut(*dialog, MainDialog::SelectFolderButton),
            "Select Folder|Select Folder (Ctrl+O)");
        // Start-up reads but writes nothing.
        QVERIFY(h.store.writes.empty());
    }

    void germanStartUp()
    {
        Harness h("G");
        auto dialog = h.open();
        QCOMPARE(UiLanguage(), Language::German);
        QCOMPARE(button(*dialog, MainDialog::SelectFolderButton)->text(), "Ordner wählen");
        QCOMPARE(button(*dialog, MainDialog::SelectAllButton)->text(), "Alle auswählen");
        QCOMPARE(button(*dialog, MainDialog::CleanButton)->text(), "Säubern");
        QCOMPARE(button(*dialog, MainDialog::ExitButton)->text(), "Ende");
        QCOMPARE(button(*dialog, MainDialog::ManualButton)->text(), "Anleitung");
        QVERIFY(!button(*dialog, MainDialog::ManualButton)->isHidden());
        QCOMPARE(
            dialog->fileList()->model()->headerData(0, Qt::Horizontal).toString(), "Dateiname");
        QCOMPARE(dialog->fileList()->model()->headerData(1, Qt::Horizontal).toString(), "Titel");
        QCOMPARE(readOut(*dialog, MainDialog::FileList), "Midi-Dateien|");
        QCOMPARE(readOut(*dialog, MainDialog::HelpButton), "Hilfe|Hilfe (F1)");
        QCOMPARE(readOut(*dialog, MainDialog::SelectFolderButton),
            QString::fromUtf8("Ordner wählen|Ordner wählen (Ctrl+O)"));
        // The title is never translated: a second start finds the first by it.
        QCOMPARE(dialog->windowTitle(),
            QStringLiteral("Sorvanel  -  Delete SysEx events from midi files"));
    }

    void languageChooser_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<int>("runs");
        QTest::addColumn<bool>("german");

        QTest::newRow("nothing stored, German chosen") << "" << true << "G" << 1 << true;
        QTest::newRow("nothing stored, English chosen") << "" << true << "E" << 1 << false;
        QTest::newRow("chooser cancelled: English") << "" << false << "G" << 1 << false;
        QTest::newRow("lower-case g is no choice") << "g" << true << "G" << 1 << true;
        QTest::newRow("stored German") << "G" << true << "E" << 0 << true;
    }

    void languageChooser()
    {
        QFETCH(QString, stored);
        Harness h("");
        if (!stored.isEmpty())
            h.store.WriteProfileString(settingsSection, languageValueName, stored.toStdString());
        QFETCH(bool, answer);
        QFETCH(QString, chosen);
        h.chooserAnswer = answer;
        h.chooserLanguage = chosen.toStdString();
        auto dialog = h.open();
        QTEST(h.chooserRuns, "runs");
        if (h.chooserRuns > 0)
            QCOMPARE(h.ownerOfBoxesAtChooser, dialog.get());
        QFETCH(bool, german);
        QCOMPARE(UiLanguage() == Language::German, german);
        QCOMPARE(button(*dialog, MainDialog::ManualButton)->isHidden(), !german);
    }

    void helpDocuments_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("help");
        QTest::newRow("English") << "E"
                                 << "Sorvanel_e.htm";
        QTest::newRow("German") << "G"
                                << "Sorvanel.htm";
    }

    void helpDocuments()
    {
        QFETCH(QString, language);
        QTemporaryDir start;
        for (const char* name : {"Sorvanel.htm", "Sorvanel_e.htm", "Anleitung Sorvanel.htm"})
            writeFile(start.path() + "/" + name, {});
        QString before = QDir::currentPath();
        QDir::setCurrent(start.path());
        Harness h(language.toStdString());
        auto dialog = h.open();
        QTest::mouseClick(button(*dialog, MainDialog::HelpButton), Qt::LeftButton);
        QDir::setCurrent(before);
        QCOMPARE(h.opened.size(), std::size_t{1});
        QCOMPARE(h.opened[0].first, QDir(start.path()).canonicalPath());
        QTEST(h.opened[0].second, "help");
        dialog->OnManual();
        QCOMPARE(h.opened.at(1).second, "Anleitung Sorvanel.htm");
        QVERIFY(h.notifier.texts.empty());
    }

    void helpDocumentsAreLookedForInTurnAndFailuresSaid()
    {
        // Started in a folder without the documents: found beside the program.
        QTemporaryDir elsewhere;
        QString before = QDir::currentPath();
        QDir::setCurrent(elsewhere.path());
        Harness h("E");
        auto dialog = h.open();
        QDir::setCurrent(before);
        const QString start = QDir(elsewhere.path()).canonicalPath();
        const QString program = QCoreApplication::applicationDirPath();
        QStringList folders{start, program};
#ifndef _WIN32
        folders << QDir::cleanPath(program + "/../share/sorvanel");
#endif
        // Where the tests share the window program's folder (the Windows build), its copy of
        // the document is set aside meanwhile.
        const QString beside = program + "/Sorvanel_e.htm";
        const bool setAside = QFile::rename(beside, beside + ".aside");
        const auto putBack = qScopeGuard([&] {
            if (setAside)
                QFile::rename(beside + ".aside", beside);
        });
        QCOMPARE(documentFolders(start), folders);
        dialog->OnHelpButton();
        QVERIFY(h.opened.empty());
        QCOMPARE(h.notifier.texts.at(0),
            "The document \"Sorvanel_e.htm\" was not found.\n\nLooked for in:\n"
                + nativePath(folders.join('\n')));

        writeFile(program + "/Sorvanel_e.htm", {});
        dialog->OnHelpButton();
        h.openAnswer = false;
        dialog->OnHelpButton();
        QFile::remove(program + "/Sorvanel_e.htm");
        QCOMPARE(h.opened.size(), std::size_t{2});
        QCOMPARE(h.opened[0], std::make_pair(program, QString("Sorvanel_e.htm")));
        QCOMPARE(h.notifier.texts.size(), std::size_t{2});
        QCOMPARE(h.notifier.texts[1],
            "The document \"Sorvanel_e.htm\" could not be opened: no program is set up to show "
            "it.\n\n"
                + nativePath(program + "/Sorvanel_e.htm"));
    }

    void scanListsSongFilesSortedWithTitles()
    {
        QTemporaryDir dir;
        QString d = dir.path();
        writeFile(d + "/b.mid", songWithTitle("Beta"));
        writeFile(d + "/A.mid", songWithTitle("Alpha"));
        writeFile(d + "/a_b.mid", songWithTitle("Caf\xE9")); // Windows-1252
        writeFile(d + "/ab.mid", songWithTitle("Caf\xC3\xA9")); // UTF-8
        writeFile(d + "/LOUD.MID", songWithout(""));
        writeFile(d + "/empty.mid", {});
        writeFile(d + "/broken.mid", sorvanel::test::hex("4D 54 68 64 00 00"));
        writeFile(d + "/.hidden.mid", songWithTitle("Hidden"));
        writeFile(d + "/notes.txt", songWithTitle("Text"));
        writeFile(d + "/b.mid.bak", songWithTitle("Backup"));
        QVERIFY(QDir(d).mkdir("folder.mid"));

        Harness h("E");
        auto dialog = h.open();
        h.folderAnswer = nativePath(d);
        QTest::mouseClick(button(*dialog, MainDialog::SelectFolderButton), Qt::LeftButton);

        QCOMPARE(rowTexts(*dialog),
            QStringList({"A.mid|Alpha", "a_b.mid|Café", "ab.mid|Café", "b.mid|Beta",
                "empty.mid|<no title found>", "LOUD.MID|<no title found>"}));
        // Only the broken file was reported, by the reader.
        QCOMPARE(h.notifier.texts.size(), std::size_t{1});
        QVERIFY(QString::fromStdString(h.notifier.texts[0]).contains("broken.mid"));
        QCOMPARE(dialog->controlAs<QLabel>(MainDialog::FolderLabel)->text(),
            QDir::toNativeSeparators(d));
        QVERIFY(button(*dialog, MainDialog::SelectAllButton)->isEnabled());
        QVERIFY(!button(*dialog, MainDialog::CleanButton)->isEnabled());
        QCOMPARE(dialog->entries()[0].fullPath, nativePath(d + "/A.mid"));
        QCOMPARE(dialog->focusWidget(), dialog->fileList());
    }

    void folderChooserStartsAtTheStoredFolderUntilOneIsChosen()
    {
        QTemporaryDir first;
        QTemporaryDir second;
        writeFile(first.path() + "/x.mid", songWithTitle("X"));
        Harness h("E");
        h.store.WriteProfileString(settingsSection, "Folder", "/stored/folder");
        auto dialog = h.open();

        h.folderAnswer.reset(); // cancelled: nothing changes
        dialog->OnSelectFolder();
        h.folderAnswer = first.path().toStdString();
        dialog->OnSelectFolder();
        QCOMPARE(dialog->fileList()->getItemCount(), 1);
        h.folderAnswer.reset();
        dialog->OnSelectFolder();
        QCOMPARE(dialog->fileList()->getItemCount(), 1);
        QCOMPARE(dialog->folder(), first.path().toStdString());
        QCOMPARE(h.folderStarts,
            std::vector<std::string>(
                {"/stored/folder", "/stored/folder", first.path().toStdString()}));

        // A folder without songs empties the list and says so.
        dialog->fileList()->SelectAllRows();
        h.folderAnswer = second.path().toStdString();
        dialog->OnSelectFolder();
        QCOMPARE(dialog->fileList()->getItemCount(), 0);
        QCOMPARE(
            h.notifier.texts, std::vector<std::string>({"No midi files found in this folder!"}));
        QVERIFY(!button(*dialog, MainDialog::SelectAllButton)->isEnabled());
        QVERIFY(!button(*dialog, MainDialog::CleanButton)->isEnabled());
    }

    void emptyFolderNoticeInGerman()
    {
        QTemporaryDir dir;
        Harness h("G");
        auto dialog = h.open();
        h.folderAnswer = dir.path().toStdString();
        dialog->OnSelectFolder();
        QCOMPARE(h.notifier.texts,
            std::vector<std::string>({"Keine Midi-Dateien in diesem Verzeichnis vorhanden!"}));
    }

    void selectAllToggles()
    {
        QTemporaryDir dir;
        for (const char* name : {"1.mid", "2.mid", "3.mid"})
            writeFile(dir.path() + "/" + name, songWithTitle(name));
        Harness h("E");
        auto dialog = h.open();
        h.folderAnswer = dir.path().toStdString();
        dialog->OnSelectFolder();
        ColumnListView* list = dialog->fileList();
        QPushButton* selectAll = button(*dialog, MainDialog::SelectAllButton);
        QPushButton* clean = button(*dialog, MainDialog::CleanButton);

        QTest::mouseClick(selectAll, Qt::LeftButton);
        QCOMPARE(list->getSelectedCount(), 3);
        QVERIFY(clean->isEnabled());
        QTest::mouseClick(selectAll, Qt::LeftButton);
        QCOMPARE(list->getSelectedCount(), 0);
        QVERIFY(!clean->isEnabled());
        list->SelectAllRows();
        list->DeselectRow(1);
        QVERIFY(clean->isEnabled());
        QTest::mouseClick(selectAll, Qt::LeftButton);
        QCOMPARE(list->getSelectedCount(), 3);
        QCOMPARE(dialog->focusWidget(), list);
    }

    void cleanRunsOverTheSelectedRows()
    {
        QTemporaryDir dir;
        QString d = dir.path();
        Bytes alpha = songWithTitle("Alpha");
        Bytes plain = songWithout("");
        writeFile(d + "/a.mid", alpha);
        writeFile(d + "/b.mid", plain);
        writeFile(d + "/c.mid", alpha);
        Harness h("E");
        auto dialog = h.open();
        h.folderAnswer = d.toStdString();
        dialog->OnSelectFolder();
        ColumnListView* list = dialog->fileList();
        list->SelectAllRows();
        list->DeselectRow(2);

        CleanOptions options;
        options.DeleteSysExEvents = 1;
        options.DeleteAllControlEvents = 1;
        options.ExceptControlEvents = 0;
        h.cleanAnswer = options;
        QTest::mouseClick(button(*dialog, MainDialog::CleanButton), Qt::LeftButton);

        QCOMPARE(h.logs.size(), std::size_t{1});
        QCOMPARE(h.logs[0],
            std::vector<std::string>(
                {"File\tSysEx\tContr.\tReset", "", "a.mid\t   1\t   1\t   0"}));
        QCOMPARE(readFile(d + "/a.mid.bak"), asBytes(alpha));
        QVERIFY(readFile(d + "/a.mid") != asBytes(alpha));
        QVERIFY(!QFile::exists(d + "/b.mid.bak"));
        QCOMPARE(readFile(d + "/c.mid"), asBytes(alpha));
        QCOMPARE(list->getSelectedCount(), 0);
        QVERIFY(!button(*dialog, MainDialog::CleanButton)->isEnabled());
        // The list is not scanned again.
        QCOMPARE(list->getItemCount(), 3);
        QCOMPARE(dialog->focusWidget(), list);
    }

    void cleanCancelledDoesNothing()
    {
        QTemporaryDir dir;
        Bytes alpha = songWithTitle("Alpha");
        writeFile(dir.path() + "/a.mid", alpha);
        Harness h("E");
        auto dialog = h.open();
        h.folderAnswer = dir.path().toStdString();
        dialog->OnSelectFolder();
        dialog->fileList()->SelectAllRows();
        h.cleanAnswer.reset();
        dialog->OnClean();
        QCOMPARE(h.optionsRuns, 1);
        QVERIFY(h.logs.empty());
        QCOMPARE(readFile(dir.path() + "/a.mid"), asBytes(alpha));
        QCOMPARE(dialog->fileList()->getSelectedCount(), 1);
        QVERIFY(button(*dialog, MainDialog::CleanButton)->isEnabled());
    }

    void cleanWithoutSelectionLogsNoChange_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("line");
        QTest::newRow("English") << "E"
                                 << "<no midi file changed>";
        QTest::newRow("German") << "G"
                                << "<Keine Midifiles verändert>";
    }

    void cleanWithoutSelectionLogsNoChange()
    {
        QFETCH(QString, language);
        Harness h(language.toStdString());
        auto dialog = h.open();
        h.cleanAnswer = CleanOptions();
        dialog->OnClean();
        QFETCH(QString, line);
        QCOMPARE(h.logs, std::vector<std::vector<std::string>>({{line.toStdString()}}));
    }

    void stoppedRunStillShowsWhatWasDone()
    {
        QTemporaryDir dir;
        QString d = dir.path();
        Bytes alpha = songWithTitle("Alpha");
        writeFile(d + "/1.mid", alpha);
        writeFile(d + "/2.mid", alpha);
        writeFile(d + "/3.mid", alpha);
        Harness h("E");
        auto dialog = h.open();
        h.folderAnswer = d.toStdString();
        dialog->OnSelectFolder();
        // The second file breaks after it was listed.
        writeFile(d + "/2.mid", sorvanel::test::hex("4D 54 68 64"));
        dialog->fileList()->SelectAllRows();
        CleanOptions options;
        options.DeleteSysExEvents = 1;
        h.cleanAnswer = options;
        dialog->OnClean();
        QCOMPARE(h.logs.size(), std::size_t{1});
        QCOMPARE(h.logs[0].size(), std::size_t{3});
        QCOMPARE(h.logs[0][2], "1.mid\t   1\t   0\t   0");
        QCOMPARE(h.notifier.texts.size(), std::size_t{1});
        QVERIFY(QString::fromStdString(h.notifier.texts[0]).contains("2.mid"));
        ColumnListView* list = dialog->fileList();
        QVERIFY(!list->isRowSelected(0));
        QVERIFY(list->isRowSelected(1));
        QVERIFY(list->isRowSelected(2));
        QCOMPARE(readFile(d + "/3.mid"), asBytes(alpha));
    }

    void enterPressesNothingSpacePressesTheFocusedButton()
    {
        QTemporaryDir dir;
        writeFile(dir.path() + "/a.mid", songWithTitle("Alpha"));
        Harness h("E");
        auto dialog = h.open();
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        dialog->activateWindow();
        h.folderAnswer = dir.path().toStdString();
        dialog->OnSelectFolder();
        dialog->fileList()->SelectAllRows();

        QPushButton* clean = button(*dialog, MainDialog::CleanButton);
        QSignalSpy cleanClicks(clean, &QPushButton::clicked);
        QSignalSpy finished(dialog.get(), &QDialog::finished);
        for (QWidget* target :
            {static_cast<QWidget*>(clean), static_cast<QWidget*>(dialog->fileList()),
                static_cast<QWidget*>(button(*dialog, MainDialog::ExitButton))}) {
            target->setFocus();
            QTest::keyClick(target, Qt::Key_Return);
            QTest::keyClick(target, Qt::Key_Enter);
        }
        QCOMPARE(cleanClicks.count(), 0);
        QCOMPARE(finished.count(), 0);
        QVERIFY(dialog->isVisible());

        h.cleanAnswer.reset();
        clean->setFocus();
        QTest::keyClick(clean, Qt::Key_Space);
        QCOMPARE(cleanClicks.count(), 1);
        QCOMPARE(h.optionsRuns, 1);
    }

    void keysChooseRereadAndHelpAndTabWalksTheWindow()
    {
        QTemporaryDir dir;
        writeFile(dir.path() + "/a.mid", songWithTitle("Alpha"));
        writeFile(dir.path() + "/Sorvanel_e.htm", {});
        const QString before = QDir::currentPath();
        QDir::setCurrent(dir.path());
        Harness h("E");
        auto dialog = h.open();
        QDir::setCurrent(before);
        dialog->show();
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
        ColumnListView* list = dialog->fileList();
        h.folderAnswer = dir.path().toStdString();

        QTest::keyClick(list, Qt::Key_F5); // no folder yet: nothing to read
        QCOMPARE(list->getItemCount(), 0);
        QTest::keyClick(list, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(h.folderStarts.size(), std::size_t{1});
        QCOMPARE(list->getItemCount(), 1);
        writeFile(dir.path() + "/b.mid", songWithTitle("Beta"));
        QTest::keyClick(button(*dialog, MainDialog::ExitButton), Qt::Key_F5);
        QCOMPARE(list->getItemCount(), 2);
        QCOMPARE(QApplication::focusWidget(), list);
        QTest::keyClick(list, Qt::Key_F1);
        QCOMPARE(h.opened.size(), std::size_t{1});
        QCOMPARE(h.opened[0].second, "Sorvanel_e.htm");

        list->SelectAllRows();
        QList<QWidget*> walked;
        button(*dialog, MainDialog::SelectFolderButton)->setFocus();
        for (int step = 0; step < 6; ++step) {
            walked << QApplication::focusWidget();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QCOMPARE(walked,
            (QList<QWidget*>{button(*dialog, MainDialog::SelectFolderButton), list,
                button(*dialog, MainDialog::SelectAllButton),
                button(*dialog, MainDialog::CleanButton), button(*dialog, MainDialog::ExitButton),
                button(*dialog, MainDialog::HelpButton)}));
    }

    void backupIsDescribedAndToldOnShiftF1_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("description");
        QTest::newRow("backup") << "E" << 0 << "Backup of the original: a.mid.bak";
        QTest::newRow("Sicherung") << "G" << 0 << "Sicherung des Originals vorhanden: a.mid.bak";
        QTest::newRow("none") << "E" << 1 << "";
    }

    void backupIsDescribedAndToldOnShiftF1()
    {
        QFETCH(QString, language);
        QFETCH(int, row);
        QFETCH(QString, description);
        QTemporaryDir dir;
        writeFile(dir.path() + "/a.mid", songWithTitle("Alpha"));
        writeFile(dir.path() + "/a.mid.bak", songWithTitle("Old"));
        writeFile(dir.path() + "/b.mid", songWithTitle("Beta"));
        Harness h(language.toStdString());
        auto dialog = h.open();
        dialog->show();
        QVERIFY(QTest::qWaitForWindowActive(dialog.get()));
        h.folderAnswer = dir.path().toStdString();
        dialog->OnSelectFolder();
        ColumnListView* list = dialog->fileList();
        QVERIFY(list->visualRect(list->model()->index(row, 0)).isValid()); // laid out
        QAccessibleTableInterface* table =
            QAccessible::queryAccessibleInterface(list)->tableInterface();
        QVERIFY(table && table->cellAt(row, 1));
        for (int column : {0, 1})
            QCOMPARE(table->cellAt(row, column)->text(QAccessible::Description), description);

        list->selectionModel()->setCurrentIndex(
            list->model()->index(row, 0), QItemSelectionModel::NoUpdate);
        QTest::keyClick(list, Qt::Key_F1, Qt::ShiftModifier);
        QTRY_COMPARE(QToolTip::text(), description);
        QToolTip::hideText();
        QCOMPARE(h.opened.size(), std::size_t{0}); // not the help
    }

    void everyCloseStoresPlacementAndFolder_data()
    {
        QTest::addColumn<int>("how");
        QTest::newRow("Exit") << 0;
        QTest::newRow("Escape") << 1;
        QTest::newRow("close box") << 2;
    }

    void everyCloseStoresPlacementAndFolder()
    {
        QFETCH(int, how);
        QTemporaryDir dir;
        Harness h("E");
        auto dialog = h.open();
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        h.folderAnswer = dir.path().toStdString();
        dialog->OnSelectFolder();
        h.notifier.texts.clear();
        int writesBefore = h.store.writesOutsideSession;
        if (how == 0)
            QTest::mouseClick(button(*dialog, MainDialog::ExitButton), Qt::LeftButton);
        else if (how == 1)
            QTest::keyClick(dialog->fileList(), Qt::Key_Escape);
        else
            dialog->close();
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QCOMPARE(h.store.writes,
            std::vector<std::string>(
                {"Settings/WindowLeft", "Settings/WindowTop", "Settings/WindowRight",
                    "Settings/WindowBottom", "Settings/WindowShowCmd", "Settings/Folder"}));
        QCOMPARE(h.store.writesOutsideSession, writesBefore); // one write of the settings file
        QCOMPARE(h.store.GetProfileString(settingsSection, "Folder", ""), dir.path().toStdString());
        QRect frame = dialog->frameGeometry();
        QCOMPARE(h.store.GetProfileInt(settingsSection, "WindowLeft", -1), frame.x());
        QCOMPARE(
            h.store.GetProfileInt(settingsSection, "WindowRight", -1), frame.x() + frame.width());
        QCOMPARE(h.store.GetProfileInt(settingsSection, "WindowShowCmd", -1), 1);
    }

    void closeWithoutFolderKeepsTheStoredOne()
    {
        Harness h("E");
        h.store.WriteProfileString(settingsSection, "Folder", "/kept");
        auto dialog = h.open();
        dialog->reject();
        QCOMPARE(h.store.GetProfileString(settingsSection, "Folder", ""), "/kept");
        QCOMPARE(h.store.writes.back(), "Settings/WindowShowCmd");
    }

    void placementRoundTrip_data()
    {
        QTest::addColumn<int>("state");
        QTest::addColumn<int>("stored");
        QTest::addColumn<bool>("restored");
        QTest::newRow("normal") << int(Qt::WindowNoState) << 1 << true;
        QTest::newRow("maximized") << int(Qt::WindowMaximized) << 3 << true;
        QTest::newRow("minimized") << int(Qt::WindowMinimized) << 2 << false;
    }

    void placementRoundTrip()
    {
        QFETCH(int, state);
        Harness h("E");
        QRect normal(130, 90, 700, 480);
        QRect centred;
        QMargins frame;
        {
            auto dialog = h.open();
            centred = dialog->geometry();
            // A size the window takes (its least size depends on the system's font).
            normal.setSize(normal.size().expandedTo(dialog->minimumSize()));
            dialog->setGeometry(normal);
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
            dialog->setWindowState(Qt::WindowStates(state));
            QTRY_COMPARE(int(dialog->windowState()), state);
            frame = dialog->windowHandle()->frameMargins();
            dialog->reject();
        }
        // The outer rectangle is stored, frame included.
        QRect outer = normal.marginsAdded(frame);
        QTEST(h.store.GetProfileInt(settingsSection, "WindowShowCmd", -1), "stored");
        QCOMPARE(h.store.GetProfileInt(settingsSection, "WindowLeft", -1), outer.x());
        QCOMPARE(h.store.GetProfileInt(settingsSection, "WindowTop", -1), outer.y());
        QCOMPARE(h.store.GetProfileInt(settingsSection, "WindowRight", -1), outer.right() + 1);
        QCOMPARE(h.store.GetProfileInt(settingsSection, "WindowBottom", -1), outer.bottom() + 1);

        auto next = h.open();
        QFETCH(bool, restored);
        if (!restored) {
            // Template size, placed by the platform.
            QCOMPARE(next->geometry().size(), centred.size());
            QCOMPARE(next->windowState(), Qt::WindowNoState);
            return;
        }
        QCOMPARE(next->normalGeometry(), normal);
        QCOMPARE(int(next->windowState()), state);
        next->show();
        QVERIFY(QTest::qWaitForWindowExposed(next.get()));
        QCOMPARE(int(next->windowState()), state);
        // What restoring a maximized window gives it. (Restoring itself is the platform's
        // business, and the offscreen platform puts the frame where the inside should be.)
        QCOMPARE(next->normalGeometry(), normal);
        if (state == Qt::WindowNoState)
            QCOMPARE(next->frameGeometry(), outer);
    }

    void invalidPlacementIsNotRestored_data()
    {
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("right");
        QTest::addColumn<int>("showCmd");
        QTest::newRow("an edge missing") << -1 << 600 << 1;
        QTest::newRow("minimize command") << 100 << 600 << 6;
        QTest::newRow("no width") << 600 << 600 << 1;
        QTest::newRow("right of the left edge") << 600 << 100 << 1;
        QTest::newRow("on no screen") << 90000 << 90600 << 1;
    }

    void invalidPlacementIsNotRestored()
    {
        QFETCH(int, left);
        QFETCH(int, right);
        QFETCH(int, showCmd);
        Harness h("E");
        QSize templateSize = h.open()->size();
        h.store.WriteProfileInt(settingsSection, "WindowLeft", left);
        h.store.WriteProfileInt(settingsSection, "WindowTop", 50);
        h.store.WriteProfileInt(settingsSection, "WindowRight", right);
        h.store.WriteProfileInt(settingsSection, "WindowBottom", 500);
        h.store.WriteProfileInt(settingsSection, "WindowShowCmd", showCmd);
        auto dialog = h.open();
        QCOMPARE(dialog->size(), templateSize);
        QVERIFY(!dialog->testAttribute(Qt::WA_Moved));
    }

    void resizeMovesTheControls()
    {
        Harness h("E");
        auto dialog = h.open();
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        ColumnListView* list = dialog->fileList();
        QWidget* help = dialog->control(MainDialog::HelpButton);
        QWidget* label = dialog->control(MainDialog::FolderLabel);
        QWidget* version = dialog->control(MainDialog::VersionLine);
        QWidget* exit = dialog->control(MainDialog::ExitButton);
        const LayoutMetrics& m = dialog->layoutMetrics();
        QPoint listCorner = list->pos();

        dialog->resize(dialog->width() + 200, dialog->height() + 100);
        QCOMPARE(list->pos(), listCorner);
        QCOMPARE(list->x() + list->width(), dialog->width() - m.listRightMargin);
        QCOMPARE(list->y() + list->height(), dialog->height() - m.listBottomMargin);
        QCOMPARE(list->columnWidth(0) + list->columnWidth(1), list->viewport()->width());
        QCOMPARE(help->x() + help->width(), list->x() + list->width());
        QCOMPARE(label->x() + label->width(), list->x() + list->width());
        QCOMPARE(exit->y(), list->y() + list->height() + m.buttonGap);

        // Shrunk as far as it goes, the window keeps every control whole and on it.
        dialog->resize(100, 100);
        QCOMPARE(dialog->size(), dialog->minimumSize());
        for (QWidget* child : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            QVERIFY(child->isHidden() || dialog->rect().contains(child->geometry()));
        QVERIFY(list->viewport()->height() >= 3 * (list->fontMetrics().height() + 3));

        // Below that minimum, narrow: the help button and the label stop at the version line.
        dialog->setMinimumSize(0, 0);
        dialog->resize(version->x() + version->width(), dialog->height());
        QCOMPARE(help->x(), version->x() + version->width());
        QCOMPARE(label->x() + label->width(), version->x() + version->width());

        // Too small for the list: nothing moves.
        QRect listBefore = list->geometry();
        QRect exitBefore = exit->geometry();
        dialog->resize(m.listLeft + m.listRightMargin, dialog->height());
        QCOMPARE(list->geometry(), listBefore);
        QCOMPARE(exit->geometry(), exitBefore);
    }

    void titleColumnFillsTheListBesideAVerticalScrollBar()
    {
        QTemporaryDir dir;
        for (int i = 0; i < 60; ++i)
            writeFile(dir.path() + QStringLiteral("/%1.mid").arg(i), songWithTitle("T"));
        Harness h("E");
        auto dialog = h.open();
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
        h.folderAnswer = dir.path().toStdString();
        dialog->OnSelectFolder();
        ColumnListView* list = dialog->fileList();
        QTRY_VERIFY(list->verticalScrollBar()->isVisible());
        QTRY_COMPARE(list->columnWidth(0) + list->columnWidth(1), list->viewport()->width());
        QVERIFY(!list->horizontalScrollBar()->isVisible());
    }

    void fileListTextOutsideTheEntriesIsEmpty()
    {
        Harness h("E");
        auto dialog = h.open();
        std::vector<QString> texts(2);
        QVERIFY(MainDialog::FileListText(0, 0, 2, texts, dialog.get()));
        QVERIFY(MainDialog::FileListText(-1, 0, 2, texts, dialog.get()));
        QVERIFY(texts[0].isEmpty() && texts[1].isEmpty());
    }

    void dropChoice_data()
    {
        QTest::addColumn<QStringList>("paths"); // a trailing "/" marks a folder
        QTest::addColumn<QString>("folder"); // empty: refused
        QTest::addColumn<QStringList>("names");
        QTest::newRow("a folder") << QStringList{"/music/pop/"} << "/music/pop" << QStringList{};
        QTest::newRow("the root") << QStringList{"/"} << "/" << QStringList{};
        QTest::newRow("songs of one folder")
            << QStringList{"/m/a.mid", "/m/B.MID"} << "/m" << QStringList{"a.mid", "B.MID"};
        QTest::newRow("a song in the root") << QStringList{"/a.mid"} << "/" << QStringList{"a.mid"};
        QTest::newRow("two folders") << QStringList{"/a/", "/b/"} << "" << QStringList{};
        QTest::newRow("folder and song") << QStringList{"/a/", "/a/x.mid"} << "" << QStringList{};
        QTest::newRow("song and folder") << QStringList{"/a/x.mid", "/a/"} << "" << QStringList{};
        QTest::newRow("songs of two folders")
            << QStringList{"/a/x.mid", "/b/y.mid"} << "" << QStringList{};
        QTest::newRow("not a song")
            << QStringList{"/a/x.mid", "/a/notes.txt"} << "" << QStringList{};
        QTest::newRow("a hidden song") << QStringList{"/a/.x.mid"} << "" << QStringList{};
        QTest::newRow("not local") << QStringList{""} << "" << QStringList{};
        QTest::newRow("nothing") << QStringList{} << "" << QStringList{};
#ifdef _WIN32
        QTest::newRow("a folder on a drive")
            << QStringList{"C:\\music\\pop\\"} << "C:\\music\\pop" << QStringList{};
        QTest::newRow("a drive") << QStringList{"D:\\"} << "D:\\" << QStringList{};
        QTest::newRow("a song in a drive's root")
            << QStringList{"C:\\a.mid"} << "C:\\" << QStringList{"a.mid"};
        QTest::newRow("relative to a drive") << QStringList{"C:a.mid"} << "" << QStringList{};
#endif
    }

    void dropChoice()
    {
        QFETCH(QStringList, paths);
        QFETCH(QString, folder);
        QFETCH(QStringList, names);
        std::vector<DroppedPath> dropped;
        for (const QString& path : paths)
            dropped.push_back(
                {onThisSystem(path).toStdString(), path.endsWith('/') || path.endsWith('\\')});
        std::optional<DropChoice> choice = chooseDrop(dropped);
        QCOMPARE(choice.has_value(), !folder.isEmpty());
        if (!choice)
            return;
        QCOMPARE(QString::fromStdString(choice->folder), onThisSystem(folder));
        QStringList got;
        for (const std::string& name : choice->fileNames)
            got << QString::fromStdString(name);
        QCOMPARE(got, names);
    }

    void droppedFolderOrSongsAreListed()
    {
        QTemporaryDir dir;
        const QString d = dir.path();
        writeFile(d + "/b.mid", songWithTitle("Beta"));
        writeFile(d + "/a.mid", songWithTitle("Alpha"));
        writeFile(d + "/c.mid", songWithTitle("Gamma"));
        writeFile(d + "/notes.txt", {});
        Harness h("E");
        auto dialog = h.open();

        QVERIFY(!dragAndDrop(*dialog, {d + "/notes.txt"}));
        QVERIFY(!dragAndDrop(*dialog, {"https://example.org/a.mid"}));
        QCOMPARE(dialog->fileList()->getItemCount(), 0);

        QVERIFY(dragAndDrop(*dialog, {d + "/c.mid", d + "/a.mid"}));
        QCOMPARE(rowTexts(*dialog), QStringList({"a.mid|Alpha", "b.mid|Beta", "c.mid|Gamma"}));
        QVERIFY(dialog->fileList()->isRowSelected(0));
        QVERIFY(!dialog->fileList()->isRowSelected(1));
        QVERIFY(dialog->fileList()->isRowSelected(2));
        QVERIFY(button(*dialog, MainDialog::CleanButton)->isEnabled());

        QVERIFY(dragAndDrop(*dialog, {d}));
        QCOMPARE(dialog->fileList()->getItemCount(), 3);
        QCOMPARE(dialog->fileList()->getSelectedCount(), 0);
        QCOMPARE(dialog->controlAs<QLabel>(MainDialog::FolderLabel)->text(),
            QDir::toNativeSeparators(d));

        // The dropped folder is the current one: the chooser starts there and closing
        // stores it.
        dialog->OnSelectFolder();
        QCOMPARE(h.folderStarts, std::vector<std::string>({nativePath(d)}));
        dialog->reject();
        QCOMPARE(h.store.GetProfileString(settingsSection, "Folder", ""), nativePath(d));
    }

    void subfoldersAreListedOnceChosenAndTheChoiceIsStored()
    {
        QTemporaryDir dir;
        const QString d = dir.path();
        QVERIFY(QDir(d).mkpath("Album/CD2"));
        writeFile(d + "/top.mid", songWithTitle("Top"));
        writeFile(d + "/Album/one.mid", songWithTitle("One"));
        writeFile(d + "/Album/CD2/two.mid", songWithTitle("Two"));
        Harness h("E");
        auto dialog = h.open();
        h.folderAnswer = nativePath(d);
        dialog->OnSelectFolder();
        QCOMPARE(rowTexts(*dialog), QStringList({"top.mid|Top"}));

        dialog->onIncludeSubfolders(true);
        QCOMPARE(h.store.GetProfileInt(settingsSection, "IncludeSubfolders", 0), 1);
        QCOMPARE(rowTexts(*dialog),
            QStringList({"top.mid|Top", "Album/one.mid|One", "Album/CD2/two.mid|Two"}));
        QCOMPARE(dialog->entries()[2].fullPath, nativePath(d + "/Album/CD2/two.mid"));

        // The next start keeps the choice.
        auto next = h.open();
        next->OnSelectFolder();
        QCOMPARE(next->fileList()->getItemCount(), 3);
        next->onIncludeSubfolders(false);
        QCOMPARE(rowTexts(*next), QStringList({"top.mid|Top"}));
    }
};

QTEST_MAIN(MainDialogTest)
#include "MainDialogTest.moc"
