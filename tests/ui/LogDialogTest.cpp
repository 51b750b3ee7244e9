#include "ui/LogDialog.h"

#include "platform/qt/MessageBoxes.h"
#include "settings/Language.h"
#include "ui/controls/ColumnListBox.h"

#include <QAccessible>
#include <QClipboard>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace sorvanel::ui;

class LogDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void showsOneItemPerLine()
    {
        const std::vector<std::string> lines{
            "File\tSysEx\tContr.\tReset", "", "Grüße.mid\t   3\t  12\t   0"};
        LogDialog dialog(lines);
        QCOMPARE(dialog.windowTitle(), QString("Protokoll"));
        QCOMPARE(dialog.logList()->getCount(), 3);
        const std::vector<int> widths(
            dialog.logList()->columnWidths().begin(), dialog.logList()->columnWidths().end());
        QCOMPARE(widths, (std::vector<int>{350, 40, 40}));
        QCOMPARE(dialog.logList()->providerData(), &dialog);
        QCOMPARE(dialog.logList()->fixedLines(), 2);
    }

    void givesLineTextsByIndex_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("known");
        QTest::addColumn<QString>("text");
        QTest::newRow("first") << 0 << true << "File\tSysEx\tContr.\tReset";
        QTest::newRow("empty line") << 1 << true << "";
        QTest::newRow("non-ASCII name") << 2 << true << QString::fromUtf8("Grüße.mid\t   3");
        QTest::newRow("Windows-1252 name") << 3 << true << QString::fromUtf8("Grüße.mid\t   1");
        QTest::newRow("past the end") << 4 << false << "untouched";
        QTest::newRow("negative") << -1 << false << "untouched";
    }

    void givesLineTextsByIndex()
    {
        QFETCH(int, index);
        QFETCH(bool, known);
        QFETCH(QString, text);
        const std::vector<std::string> lines{"File\tSysEx\tContr.\tReset", "", "Grüße.mid\t   3",
            "Gr\xFC\xDF"
            "e.mid\t   1"};
        LogDialog dialog(lines);
        QString got = "untouched";
        QCOMPARE(LogDialog::LogLineText(index, got, &dialog), known);
        QCOMPARE(got, text);
    }

    void assistiveTechnologyReadsEveryLine_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("cells");
        QTest::newRow("heading") << 0 << "File, SysEx, Contr., Reset"
                                 << QStringList{"File", "SysEx", "Contr.", "Reset"};
        QTest::newRow("blank") << 1 << "" << QStringList{""};
        QTest::newRow("file") << 2 << QString::fromUtf8("Grüße.mid, 3, 12, 0")
                              << QStringList{QString::fromUtf8("Grüße.mid"), "3", "12", "0"};
        QTest::newRow("scrolled away")
            << 39 << "39.mid, 1, 0, 0" << QStringList{"39.mid", "1", "0", "0"};
    }

    void assistiveTechnologyReadsEveryLine()
    {
        QFETCH(int, line);
        QFETCH(QString, name);
        QFETCH(QStringList, cells);
        std::vector<std::string> lines{
            "File\tSysEx\tContr.\tReset", "", "Grüße.mid\t   3\t  12\t   0"};
        for (int i = 3; i < 40; ++i)
            lines.push_back(std::to_string(i) + ".mid\t   1\t   0\t   0");
        LogDialog dialog(lines);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(dialog.logList());
        QCOMPARE(list->role(), QAccessible::List);
        QCOMPARE(list->text(QAccessible::Name), QString("Log"));
        QCOMPARE(list->childCount(), 40);

        QAccessibleInterface* item = list->child(line);
        QCOMPARE(item->role(), QAccessible::ListItem);
        QCOMPARE(item->text(QAccessible::Name), name);
        QCOMPARE(item->parent(), list);
        QCOMPARE(list->indexOfChild(item), line);
        QStringList read;
        for (int i = 0; i < item->childCount(); ++i) {
            QAccessibleInterface* cell = item->child(i);
            QCOMPARE(cell->role(), QAccessible::Cell);
            QCOMPARE(cell->parent(), item);
            read << cell->text(QAccessible::Name);
        }
        QCOMPARE(read, cells);
        // Where a line is on the screen, a point on it finds it; a line scrolled away has no
        // place.
        const bool shown = dialog.logList()->isLineShown(line);
        QCOMPARE(shown, line < 10);
        QCOMPARE(item->state().offscreen, !shown);
        if (shown)
            QCOMPARE(list->childAt(item->rect().center().x(), item->rect().center().y()), item);
        else
            QVERIFY(item->rect().isEmpty());
    }

    void logListIsNamedInGermanAndTabReadsItBeforeOk()
    {
        setUiLanguage(sorvanel::Language::German);
        const std::vector<std::string> lines{"<Keine Midifiles verändert>"};
        LogDialog dialog(lines);
        setUiLanguage(sorvanel::Language::English);
        QCOMPARE(QAccessible::queryAccessibleInterface(dialog.logList())->text(QAccessible::Name),
            QString("Protokoll"));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), dialog.logList());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), dialog.control(LogDialog::OkButton));
    }

    void closesWithEnterAndEscape_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("focusOnList");
        QTest::addColumn<int>("result");
        QTest::newRow("Enter") << int(Qt::Key_Return) << false << int(QDialog::Accepted);
        QTest::newRow("Enter on the list") << int(Qt::Key_Return) << true << int(QDialog::Accepted);
        QTest::newRow("Escape") << int(Qt::Key_Escape) << false << int(QDialog::Rejected);
    }

    void closesWithEnterAndEscape()
    {
        QFETCH(int, key);
        QFETCH(bool, focusOnList);
        QFETCH(int, result);
        const std::vector<std::string> lines{"<no midi file changed>"};
        LogDialog dialog(lines);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QCOMPARE(QApplication::focusWidget(), dialog.control(LogDialog::OkButton));
        if (focusOnList)
            dialog.logList()->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), result);
    }

    void growsWithTheWindowAndTheFileColumnTakesTheRoom()
    {
        const std::vector<std::string> lines{"File\tSysEx\tContr.\tReset"};
        LogDialog dialog(lines);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QSize start = dialog.size();
        const QRect list = dialog.logList()->geometry();
        const QRect ok = dialog.control(LogDialog::OkButton)->geometry();
        QCOMPARE(dialog.minimumSize(), start);

        dialog.resize(start + QSize(200, 100));
        QCOMPARE(
            dialog.logList()->geometry(), QRect(list.topLeft(), list.size() + QSize(200, 100)));
        QCOMPARE(dialog.control(LogDialog::OkButton)->geometry(), ok.translated(100, 100));
        QCOMPARE(dialog.logList()->columnWidths()[0], 550);
        QCOMPARE(dialog.logList()->columnWidths()[1], 40);

        dialog.resize(start);
        QCOMPARE(dialog.logList()->geometry(), list);
        QCOMPARE(dialog.logList()->columnWidths()[0], 350);
    }

    void copiesAndSavesTheLogAsShown()
    {
        const std::vector<std::string> lines{"File\tSysEx\tContr.\tReset", "",
            "Gr\xFC\xDF"
            "e.mid\t   1\t   2\t   0"};
        const QString expected =
            QString::fromUtf8("File\tSysEx\tContr.\tReset\n\nGrüße.mid\t   1\t   2\t   0\n");
        LogDialog dialog(lines);
        // A preview's log says so; a saved one starts with its heading and ends with totals.
        dialog.markAsPreview();
        dialog.savedHeading = {"Folder: /songs", "Date: 2026-01-02 03:04:05"};
        const QString note = QString::fromUtf8("Preview – nothing was written\n");
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(&dialog, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), note + expected);

        QTemporaryDir folder;
        const QString path = folder.filePath("log.txt");
        dialog.askSavePath = [&](QWidget*) { return path; };
        dialog.onSaveAs();
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(saved.readAll()),
            "Folder: /songs\nDate: 2026-01-02 03:04:05\n\n" + note + expected
                + "\nTotals: songs changed 1, SysEx events removed 1, controller events removed 2, "
                  "resets inserted 0\n");

        // A file that cannot be written is reported; the log stays open.
        QStringList boxes;
        MessageBoxShower previous =
            setMessageBoxShower([&](QWidget*, QMessageBox::Icon, const QString&,
                                    const QString& text) { boxes << text; });
        dialog.askSavePath = [&](QWidget*) { return folder.filePath("missing/log.txt"); };
        dialog.onSaveAs();
        setMessageBoxShower(previous);
        QCOMPARE(boxes.size(), 1);
        QVERIFY(boxes[0].startsWith("The log could not be saved:\n"));
        QVERIFY(dialog.isVisible());
    }

    void headingNamesFolderTimeAndOptions_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("options");
        QTest::newRow("first start") << 0 << "SysEx events kept; controller events kept";
        QTest::newRow("everything deleted, resets at both ends")
            << 1
            << "all SysEx events deleted; all controller events deleted; Midi reset inserted: "
               "Beginning of file, End of file";
        QTest::newRow("exceptions") << 2
                                    << "all SysEx events deleted except manufacturer id 41, 0A; "
                                       "all controller events deleted except 07, 40, Pitch Bend";
        QTest::newRow("restore: no options") << 3 << "";
    }

    void headingNamesFolderTimeAndOptions()
    {
        QFETCH(int, kind);
        sorvanel::CleanOptions chosen;
        if (kind >= 1) {
            chosen.DeleteSysExEvents = 1;
            chosen.DeleteAllControlEvents = 1;
            chosen.ExceptControlEvents = kind == 2;
            chosen.InsertMidiReset = kind == 1;
            chosen.EndOfFile = 1;
        }
        if (kind == 2) {
            chosen.ExceptManufacturerIds = 1;
            chosen.ManufacturerId[0].Value = 0x41;
            chosen.ManufacturerId[3].Value = 0x0A;
            chosen.BankSelectMSB = chosen.Modulation = chosen.Pan = chosen.Expression = 0;
            chosen.Reverb = chosen.Chorus = 0;
        }
        QStringList lines = LogDialog::headingLines(
            "/songs", kind == 3 ? nullptr : &chosen, QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)));
        QCOMPARE(lines.mid(0, 2), QStringList({"Folder: /songs", "Date: 2026-01-02 03:04:05"}));
        QFETCH(QString, options);
        QCOMPARE(lines.value(2), options.isEmpty() ? QString() : "Options: " + options);
    }

    void closesWithOk()
    {
        const std::vector<std::string> lines;
        LogDialog dialog(lines);
        dialog.show();
        QTest::mouseClick(dialog.control(LogDialog::OkButton), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(LogDialogTest)
#include "LogDialogTest.moc"
