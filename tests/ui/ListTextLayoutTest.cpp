#include "ui/controls/ListTextLayout.h"

#include <QTest>

using namespace sorvanel::ui;

namespace {

// Letters 10 pixels wide and dots 2, so "..." is 6: easy sums in the rows below.
int measure(QStringView text)
{
    int width = 0;
    for (QChar c : text)
        width += c == u'.' ? 2 : 10;
    return width;
}

using Cells = QList<QPair<int, int>>;

} // namespace

class ListTextLayoutTest : public QObject
{
    Q_OBJECT

private slots:
    void fitsTextWithEllipsis_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("expected");
        QTest::newRow("fits exactly") << "abcd" << 40 << "abcd";
        QTest::newRow("one pixel short") << "abcd" << 39 << "abc...";
        QTest::newRow("prefix and dots fit exactly") << "abcd" << 26 << "ab...";
        QTest::newRow("one character left") << "abcd" << 16 << "a...";
        QTest::newRow("nothing fits but dots") << "abcd" << 15 << "...";
        QTest::newRow("not even the dots") << "abcd" << 1 << "...";
        QTest::newRow("negative width") << "abcd" << -8 << "...";
        QTest::newRow("empty stays empty") << "" << -8 << "";
        QTest::newRow("single character too wide") << "a" << 9 << "...";
        // Two code units of one character are never separated.
        QTest::newRow("pair kept whole")
            << QString::fromUtf8("a\U0001F600b") << 36 << QString::fromUtf8("a\U0001F600...");
        QTest::newRow("pair not cut") << QString::fromUtf8("a\U0001F600b") << 35 << "a...";
    }

    void fitsTextWithEllipsis()
    {
        QFETCH(QString, text);
        QFETCH(int, width);
        QFETCH(QString, expected);
        QCOMPARE(fitTextTo(text, width, measure), expected);
    }

    void fitsPathsInTheirMiddle_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("expected");
        QTest::newRow("fits") << "ab/cd" << 50 << "ab/cd";
        QTest::newRow("cut in front of the name") << "ab/cd/ef" << 70 << "ab/.../ef";
        QTest::newRow("one folder letter left") << "abc/de" << 46 << "a.../de";
        QTest::newRow("only the dots before the name") << "abc/de" << 36 << ".../de";
        QTest::newRow("not even that: the name alone") << "abc/de" << 35 << "de";
        QTest::newRow("the name cut at its end") << "abc/defg" << 30 << "de...";
        QTest::newRow("Windows separator") << "ab\\cd\\ef" << 70 << "ab\\...\\ef";
        QTest::newRow("no folder: cut at the end") << "abcd" << 39 << "abc...";
    }

    void fitsPathsInTheirMiddle()
    {
        QFETCH(QString, path);
        QFETCH(int, width);
        QTEST(fitPathTo(path, width, measure), "expected");
    }

    void drawsNoControlCharacters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("plain") << "Title"
                               << "Title";
        QTest::newRow("trailing NULs") << QString::fromUtf8("Title\0\0\0", 8) << "Title";
        QTest::newRow("trailing line end") << "Title\r\n"
                                           << "Title";
        QTest::newRow("inner tab and DEL") << "A\tB\x7F"
                                              "C"
                                           << "A B C";
        QTest::newRow("only NULs") << QString(3, QChar(0)) << "";
        QTest::newRow("trailing blanks stay") << "Title  "
                                              << "Title  ";
    }

    void drawsNoControlCharacters()
    {
        QFETCH(QString, text);
        QTEST(drawableText(text), "shown");
    }

    void splitsLinesAtTabs_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("columnCount");
        QTest::addColumn<QStringList>("parts");
        QTest::newRow("no tab") << "no midi file" << 3 << QStringList{"no midi file"};
        QTest::newRow("no columns") << "a\tb" << 0 << QStringList{"a\tb"};
        QTest::newRow("log line") << "x.mid\t   1\t  12\t   0" << 3
                                  << QStringList{"x.mid", "   1", "  12", "   0"};
        QTest::newRow("more tabs than columns")
            << "a\tb\tc\td\te\tf" << 3 << QStringList{"a", "b", "c", "d"};
        QTest::newRow("one column") << "a\tb\tc" << 1 << QStringList{"a", "b"};
        QTest::newRow("fewer parts than columns") << "a\tb" << 3 << QStringList{"a", "b"};
        QTest::newRow("trailing tab") << "a\t" << 3 << QStringList{"a", ""};
        QTest::newRow("only tabs") << "\t\t\t" << 1 << QStringList{"", ""};
    }

    void splitsLinesAtTabs()
    {
        QFETCH(QString, line);
        QFETCH(int, columnCount);
        QFETCH(QStringList, parts);
        QStringList got;
        for (QStringView part : splitLineAtTabs(line, columnCount))
            got.append(part.toString());
        QCOMPARE(got, parts);
    }

    void placesLineCells_data()
    {
        QTest::addColumn<int>("partCount");
        QTest::addColumn<QList<int>>("widths");
        QTest::addColumn<int>("itemLeft");
        QTest::addColumn<int>("itemRight");
        QTest::addColumn<Cells>("cells");
        const QList<int> log{350, 40, 40};
        QTest::newRow("log line, wide item")
            << 4 << log << 0 << 600 << Cells{{2, 352}, {352, 392}, {392, 432}, {432, 600}};
        QTest::newRow("cut at the right edge")
            << 4 << log << 0 << 380 << Cells{{2, 352}, {352, 380}};
        QTest::newRow("edge on a column border")
            << 4 << log << 0 << 392 << Cells{{2, 352}, {352, 392}};
        QTest::newRow("first column wider than the item")
            << 4 << log << 0 << 200 << Cells{{2, 200}};
        QTest::newRow("fewer parts") << 2 << log << 0 << 600 << Cells{{2, 352}, {352, 392}};
        QTest::newRow("shifted item") << 2 << QList<int>{10} << 5 << 50 << Cells{{7, 17}, {17, 50}};
        QTest::newRow("no fixed column") << 1 << QList<int>{} << 0 << 100 << Cells{{2, 100}};
    }

    void placesLineCells()
    {
        QFETCH(int, partCount);
        QFETCH(QList<int>, widths);
        QFETCH(int, itemLeft);
        QFETCH(int, itemRight);
        QFETCH(Cells, cells);
        std::vector<int> columnWidths(widths.begin(), widths.end());
        Cells got;
        for (CellSpan cell : lineCells(partCount, columnWidths, itemLeft, itemRight))
            got.append({cell.left, cell.right});
        QCOMPARE(got, cells);
    }

    void keepsSelectedTextReadableWithoutFocus_data()
    {
        QTest::addColumn<QColor>("grayText");
        QTest::addColumn<QColor>("highlightedText");
        QTest::addColumn<bool>("kept");
        QTest::newRow("light grey under white") << QColor("#bebebe") << QColor(Qt::white) << false;
        QTest::newRow("dark grey under white") << QColor("#6d6d6d") << QColor(Qt::white) << true;
        QTest::newRow("dark theme, black text") << QColor("#505050") << QColor(Qt::black) << false;
    }

    void keepsSelectedTextReadableWithoutFocus()
    {
        QFETCH(QColor, grayText);
        QFETCH(QColor, highlightedText);
        QFETCH(bool, kept);
        QPalette palette;
        palette.setColor(QPalette::Disabled, QPalette::WindowText, grayText);
        palette.setColor(QPalette::Active, QPalette::HighlightedText, highlightedText);
        const QColor fill = grayTextFill(palette);
        QVERIFY(contrastRatio(fill, highlightedText) >= 3.0);
        QCOMPARE(fill == grayText, kept);
    }

    void findsLastFullyVisibleRow_data()
    {
        QTest::addColumn<int>("top");
        QTest::addColumn<int>("perPage");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("last");
        QTest::newRow("empty") << 0 << 10 << 0 << -1;
        QTest::newRow("short list") << 0 << 10 << 5 << 4;
        QTest::newRow("exactly a page") << 0 << 10 << 10 << 9;
        QTest::newRow("longer than a page") << 0 << 10 << 20 << 9;
        QTest::newRow("scrolled to the end") << 5 << 10 << 15 << 14;
        QTest::newRow("scrolled, one more row below") << 5 << 10 << 16 << 14;
        QTest::newRow("no row fits whole") << 3 << 0 << 20 << 2;
    }

    void findsLastFullyVisibleRow()
    {
        QFETCH(int, top);
        QFETCH(int, perPage);
        QFETCH(int, count);
        QFETCH(int, last);
        QCOMPARE(lastFullyVisibleRow(top, perPage, count), last);
    }
};

QTEST_MAIN(ListTextLayoutTest)
#include "ListTextLayoutTest.moc"
