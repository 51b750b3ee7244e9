#include "ui/MainLayout.h"

#include <QTest>

using sorvanel::ui::captureLayoutMetrics;
using sorvanel::ui::layoutMainWindow;
using sorvanel::ui::LayoutMetrics;
using sorvanel::ui::MainLayout;
using sorvanel::ui::MainLayoutInput;
using sorvanel::ui::minimumWindowSize;

Q_DECLARE_METATYPE(std::optional<QRect>)

namespace {

// The main window at its template size with DejaVu Sans (base units 7 × 13), in client
// coordinates.
const QRect window(0, 0, 639, 397);
const QRect list(7, 65, 628, 302);
const QRect label(114, 39, 520, 20);
const QRect versionLine(9, 2, 438, 13);
const QRect helpButton(593, 2, 42, 33);
const QRect selectAll(7, 372, 98, 23);
const QRect exitButton(317, 372, 98, 23);

LayoutMetrics templateMetrics()
{
    return captureLayoutMetrics(window, list, label, selectAll);
}

MainLayoutInput templateInput(const QRect& resized)
{
    MainLayoutInput input;
    input.window = resized;
    input.list = list;
    input.label = label;
    input.versionLine = versionLine;
    input.helpButton = helpButton;
    input.buttons = {selectAll, exitButton};
    return input;
}

} // namespace

class MainLayoutTest : public QObject
{
    Q_OBJECT

private slots:
    void capturesDistancesFromTheWindowEdges()
    {
        LayoutMetrics m = templateMetrics();
        QCOMPARE(m.listLeft, 7);
        QCOMPARE(m.listTop, 65);
        QCOMPARE(m.listRightMargin, 4);
        QCOMPARE(m.listBottomMargin, 30);
        QCOMPARE(m.labelLeft, 114);
        QCOMPARE(m.labelTop, 39);
        QCOMPARE(m.labelRightMargin, 5);
        QCOMPARE(m.labelBottom, 59);
        QCOMPARE(m.buttonGap, 5);
    }

    void withoutLabelItsValuesStayZero()
    {
        LayoutMetrics m = captureLayoutMetrics(window, list, std::nullopt, selectAll);
        QCOMPARE(m.labelLeft, 0);
        QCOMPARE(m.labelRightMargin, 0);
        QCOMPARE(m.labelBottom, 0);
        QCOMPARE(m.buttonGap, 5);
    }

    void metricsDoNotDependOnWhereTheWindowIs()
    {
        QPoint shift(300, 120);
        LayoutMetrics moved = captureLayoutMetrics(window.translated(shift), list.translated(shift),
            label.translated(shift), selectAll.translated(shift));
        LayoutMetrics here = templateMetrics();
        QCOMPARE(moved.listRightMargin, here.listRightMargin);
        QCOMPARE(moved.labelBottom, here.labelBottom);
        QCOMPARE(moved.buttonGap, here.buttonGap);
    }

    void layout_data()
    {
        QTest::addColumn<QRect>("resized");
        QTest::addColumn<QRect>("list");
        QTest::addColumn<std::optional<QRect>>("label");
        QTest::addColumn<std::optional<QRect>>("help");
        QTest::addColumn<int>("buttonTop");

        // At the size it was captured at, nothing moves but the label, whose right edge
        // goes to the list's right edge.
        QTest::newRow("template size")
            << window << list << std::optional<QRect>(QRect(114, 39, 521, 20))
            << std::optional<QRect>(helpButton) << 372;
        QTest::newRow("wider and taller") << QRect(0, 0, 900, 500) << QRect(7, 65, 889, 405)
                                          << std::optional<QRect>(QRect(114, 39, 782, 20))
                                          << std::optional<QRect>(QRect(854, 2, 42, 33)) << 475;
        // The help button and the label stop at the version line's right edge (447).
        QTest::newRow("narrow") << QRect(0, 0, 400, 300) << QRect(7, 65, 389, 205)

                                << std::optional<QRect>(QRect(114, 39, 333, 20))
                                << std::optional<QRect>(QRect(447, 2, 42, 33)) << 275;
        QTest::newRow("help button just reaches the version line")
            << QRect(0, 0, 493, 300) << QRect(7, 65, 482, 205)
            << std::optional<QRect>(QRect(114, 39, 375, 20))
            << std::optional<QRect>(QRect(447, 2, 42, 33)) << 275;
        QTest::newRow("list narrower than column 0")
            << QRect(0, 0, 265, 300) << QRect(7, 65, 254, 205)
            << std::optional<QRect>(QRect(114, 39, 333, 20))
            << std::optional<QRect>(QRect(447, 2, 42, 33)) << 275;
        QTest::newRow("smallest list: 1 × 1") << QRect(0, 0, 12, 96) << QRect(7, 65, 1, 1)
                                              << std::optional<QRect>(QRect(114, 39, 333, 20))
                                              << std::optional<QRect>(QRect(447, 2, 42, 33)) << 71;
        // Screen coordinates: only the distances to the window's edges count.
        QTest::newRow("window elsewhere on the screen")
            << QRect(200, 100, 900, 500) << QRect(7, 65, 889, 405)
            << std::optional<QRect>(QRect(114, 39, 982, 20))
            << std::optional<QRect>(QRect(1054, 2, 42, 33)) << 575;
    }

    void layout()
    {
        QFETCH(QRect, resized);
        MainLayout result = layoutMainWindow(templateMetrics(), templateInput(resized));
        QVERIFY(result.moved);
        QTEST(result.list, "list");
        QTEST(result.label, "label");
        QTEST(result.helpButton, "help");
        QFETCH(int, buttonTop);
        QCOMPARE(result.buttons.size(), std::size_t{2});
        QCOMPARE(result.buttons[0], QRect(QPoint(7, buttonTop), selectAll.size()));
        QCOMPARE(result.buttons[1], QRect(QPoint(317, buttonTop), exitButton.size()));
    }

    void nothingMovesWithoutRoomForTheList_data()
    {
        QTest::addColumn<QRect>("resized");
        QTest::newRow("no width") << QRect(0, 0, 11, 397);
        QTest::newRow("negative width") << QRect(0, 0, 3, 397);
        QTest::newRow("no height") << QRect(0, 0, 639, 95);
        QTest::newRow("negative height") << QRect(0, 0, 639, 40);
        QTest::newRow("neither") << QRect(0, 0, 1, 1);
    }

    void nothingMovesWithoutRoomForTheList()
    {
        QFETCH(QRect, resized);
        QVERIFY(!layoutMainWindow(templateMetrics(), templateInput(resized)).moved);
    }

    void minimumSizeKeepsEveryControlWhole()
    {
        QSize minimum = minimumWindowSize(templateMetrics(), templateInput(window), 80);
        // The help button after the version line (447 + 42), then the list's right margin.
        QCOMPARE(minimum, QSize(447 + 42 + 4, 65 + 80 + 30));
        MainLayout out = layoutMainWindow(templateMetrics(), templateInput(QRect({}, minimum)));
        QVERIFY(out.moved);
        QCOMPARE(out.list.height(), 80);
        QCOMPARE(out.helpButton->x(), 447);
        QVERIFY(QRect({}, minimum).contains(*out.helpButton));
        for (const QRect& button : out.buttons)
            QVERIFY(QRect({}, minimum).contains(button));
    }

    void missingControlsAreLeftOut()
    {
        MainLayoutInput input = templateInput(QRect(0, 0, 900, 500));
        input.label.reset();
        input.versionLine.reset();
        input.buttons.clear();
        MainLayout result = layoutMainWindow(templateMetrics(), input);
        QVERIFY(result.moved);
        QVERIFY(!result.label);
        // Without the version line the help button stays where it is.
        QCOMPARE(result.helpButton, std::optional<QRect>(helpButton));
        QVERIFY(result.buttons.empty());
    }

    void labelWithoutVersionLineFollowsItsOwnMargin()
    {
        MainLayoutInput input = templateInput(QRect(0, 0, 900, 500));
        input.versionLine.reset();
        MainLayout result = layoutMainWindow(templateMetrics(), input);
        QCOMPARE(result.label, std::optional<QRect>(QRect(114, 39, 900 - 5 - 114, 20)));
    }
};

QTEST_GUILESS_MAIN(MainLayoutTest)
#include "MainLayoutTest.moc"
