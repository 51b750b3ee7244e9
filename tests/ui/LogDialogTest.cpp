#include "ui/LogDialog.h"

#include "platform/qt/MessageBoxes.h"
#include "ui/controls/ColumnListBox.h"

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
        QCOMPARE(dialog.logList()->GetCount(), 3);
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
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(&dialog, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), expected);

        QTemporaryDir folder;
        const QString path = folder.filePath("log.txt");
        dialog.askSavePath = [&](QWidget*) { return path; };
        dialog.OnSaveAs();
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(saved.readAll()), expected);

        // A file that cannot be written is reported; the log stays open.
        QStringList boxes;
        MessageBoxShower previous =
            setMessageBoxShower([&](QWidget*, QMessageBox::Icon, const QString&,
                                    const QString& text) { boxes << text; });
        dialog.askSavePath = [&](QWidget*) { return folder.filePath("missing/log.txt"); };
        dialog.OnSaveAs();
        setMessageBoxShower(previous);
        QCOMPARE(boxes.size(), 1);
        QVERIFY(boxes[0].startsWith("The log could not be saved:\n"));
        QVERIFY(dialog.isVisible());
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
