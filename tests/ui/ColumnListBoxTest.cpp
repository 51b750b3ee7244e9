#include "ui/controls/ColumnListBox.h"

#include <QAccessible>
#include <QScrollBar>
#include <QTest>

using namespace sorvanel::ui;

namespace {

bool provide(int line, QString& text, void* data)
{
    const auto* lines = static_cast<const QStringList*>(data);
    if (line >= lines->size() || (*lines)[line] == "unknown")
        return false;
    text = (*lines)[line];
    return true;
}

/// Pixels of `line` that differ from the list's background.
int inkOf(const ColumnListBox& list, int line)
{
    QImage picture = list.viewport()->grab().toImage();
    const QColor base = list.palette().color(QPalette::Active, QPalette::Base);
    const QRect item = list.itemRect(line);
    int ink = 0;
    for (int y = item.top(); y <= item.bottom(); ++y)
        for (int x = item.left(); x <= item.right(); ++x)
            ink += picture.pixelColor(x, y) != base;
    return ink;
}

} // namespace

class ColumnListBoxTest : public QObject
{
    Q_OBJECT

private slots:
    void keepsAtMostTenColumns()
    {
        ColumnListBox list;
        list.SetColumns(provide, nullptr, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
        QCOMPARE(list.columnCount(), 10);
        QCOMPARE(list.columnWidths().back(), 10);
        list.SetColumns(provide, nullptr, {});
        QCOMPARE(list.columnCount(), 0);
    }

    void drawsOnlyWhatTheColumnsTake_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("inked");
        QTest::newRow("plain text") << "WWWW" << true;
        QTest::newRow("parts after the last column dropped") << "\t\t\tWWWW" << false;
        QTest::newRow("text in the open column") << "\t\tWWWW" << true;
        QTest::newRow("unknown line stays blank") << "unknown" << false;
    }

    void drawsOnlyWhatTheColumnsTake()
    {
        QFETCH(QString, line);
        QFETCH(bool, inked);
        QStringList lines{line};
        ColumnListBox list;
        list.SetColumns(provide, &lines, {20, 20});
        list.addItem();
        list.addItem(); // no text behind it: blank
        list.resize(300, 100);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        list.clearFocus(); // no focus frame
        QCOMPARE(inkOf(list, 0) > 0, inked);
        QCOMPARE(inkOf(list, 1), 0);
    }

    void scrollsWhenLinesDoNotFit()
    {
        QStringList lines;
        for (int i = 0; i < 40; ++i)
            lines.append(QString::number(i));
        ColumnListBox list;
        list.SetColumns(provide, &lines, {});
        for (int i = 0; i < 40; ++i)
            list.addItem();
        list.resize(200, list.itemHeight() * 5 + 20);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QVERIFY(list.verticalScrollBar()->isVisible());
        list.setFocus();
        QTest::keyClick(&list, Qt::Key_End);
        QVERIFY(list.getTopIndex() > 30);
        QTest::keyClick(&list, Qt::Key_Home);
        QCOMPARE(list.getTopIndex(), 0);

        // A heading of two lines stays at the top while the rest scrolls under it.
        list.setFixedLines(2);
        QCOMPARE(list.getTopIndex(), 2);
        QTest::keyClick(&list, Qt::Key_End);
        QCOMPARE(list.getTopIndex(), 40 - list.verticalScrollBar()->pageStep());
        QCOMPARE(list.itemRect(0).top(), 0);
        QCOMPARE(list.itemRect(list.getTopIndex()).top(), 2 * list.itemHeight());
        QVERIFY(inkOf(list, 0) > 0);
        QVERIFY(inkOf(list, 39) > 0);
    }

    void keysMoveAFramedCurrentLineThatAssistiveTechnologyFollows()
    {
        QStringList lines;
        for (int i = 0; i < 40; ++i)
            lines.append(i == 3 ? QString() : QString::number(i));
        ColumnListBox list;
        list.SetColumns(provide, &lines, {});
        for (int i = 0; i < 40; ++i)
            list.addItem();
        list.setFixedLines(2);
        list.resize(200, list.itemHeight() * 5 + 20);
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        // The dotted frame marks every other pixel of the line's top edge.
        auto framed = [&list](int line) {
            const QImage picture = list.viewport()->grab().toImage();
            const QRect item = list.itemRect(line);
            const QColor base = list.palette().color(QPalette::Active, QPalette::Base);
            return picture.pixelColor(item.topLeft()) != base
                || picture.pixelColor(item.topLeft() + QPoint(1, 0)) != base;
        };

        list.setFocus();
        QCOMPARE(list.currentLine(), 0);
        for (int step = 0; step < 3; ++step)
            QTest::keyClick(&list, Qt::Key_Down);
        // A blank line is framed too; the page does not move while the line is on it.
        QCOMPARE(list.currentLine(), 3);
        QCOMPARE(list.getTopIndex(), 2);
        QVERIFY(framed(3));
        QVERIFY(!framed(2));
        // A page further on, the line is the last one shown.
        const int page = list.verticalScrollBar()->pageStep();
        QTest::keyClick(&list, Qt::Key_PageDown);
        QCOMPARE(list.currentLine(), 3 + page);
        QCOMPARE(list.getTopIndex(), 3 + page - page + 1);
        QTest::keyClick(&list, Qt::Key_Home);
        QCOMPARE(list.currentLine(), 0);
        QCOMPARE(list.getTopIndex(), 2);
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.itemRect(4).center());
        QCOMPARE(list.currentLine(), 4);
        list.clearFocus();
        QVERIFY(!framed(4));
        QAccessibleInterface* access = QAccessible::queryAccessibleInterface(&list);
        QVERIFY(!access->focusChild());
        list.setFocus();
        QCOMPARE(access->focusChild(), access->child(4));
        QVERIFY(access->child(4)->state().focused);
        QVERIFY(!access->child(3)->state().focused);
    }
};

QTEST_MAIN(ColumnListBoxTest)
#include "ColumnListBoxTest.moc"
