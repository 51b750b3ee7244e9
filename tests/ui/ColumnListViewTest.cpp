#include "ui/controls/ColumnListView.h"

#include "ui/controls/ListTextLayout.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLineEdit>
#include <QPainter>
#include <QScrollBar>
#include <QTest>
#include <QToolTip>
#include <QVBoxLayout>

using namespace sorvanel::ui;

namespace {

/// A list over a table of texts, with a line edit beside it to take the focus away.
class Fixture : public QWidget
{
public:
    explicit Fixture(int rows, int margin = 4)
    {
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(list = new ColumnListView);
        layout->addWidget(other = new QLineEdit);
        for (int row = 0; row < rows; ++row)
            texts.push_back({QStringLiteral("file%1.mid").arg(row), QString()});
        list->Configure(2, &Fixture::provide, this, margin, true, true);
        list->insertColumn(0, "Filename", Qt::AlignLeft, 100);
        list->insertColumn(1, "Title", Qt::AlignLeft, 120);
        for (int row = 0; row < rows; ++row)
            list->insertItem(row);
        resize(260, 200);
        show();
        activateWindow();
    }

    static bool provide(int row, quintptr, int columnCount, std::span<QString> columns, void* data)
    {
        auto* self = static_cast<Fixture*>(data);
        ++self->calls;
        if (row < 0 || static_cast<std::size_t>(row) >= self->texts.size())
            return true;
        for (int i = 0; i < columnCount && i < 2; ++i)
            columns[static_cast<std::size_t>(i)] =
                self->texts[static_cast<std::size_t>(row)][static_cast<std::size_t>(i)];
        return true;
    }

    QPoint rowPoint(int row, int x = 10) const
    {
        QRect rect = list->visualRect(list->model()->index(row, 0));
        return {x, rect.center().y()};
    }

    QImage picture() const { return list->viewport()->grab().toImage(); }

    ColumnListView* list;
    QLineEdit* other;
    std::vector<std::array<QString, 2>> texts;
    int calls = 0;
};

/// Makes the text shortening reachable from the test.
class FitProbe : public ColumnListView
{
public:
    std::optional<QString> fit(const QString& text, int width)
    {
        QImage image(1, 1, QImage::Format_RGB32);
        QPainter dc(&image);
        dc.setFont(font());
        return FitText(dc, text, width);
    }
};

QColor colour(QPalette::ColorRole role)
{
    return QApplication::palette().color(QPalette::Active, role);
}

} // namespace

class ColumnListViewTest : public QObject
{
    Q_OBJECT

private slots:
    void asksTheProviderAtEveryPaint()
    {
        Fixture f(3);
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QCOMPARE(f.list->model()->index(1, 0).data().toString(), QString("file1.mid"));
        f.texts[1][1] = "changed";
        QCOMPARE(f.list->model()->index(1, 1).data().toString(), QString("changed"));
        int before = f.calls;
        f.list->viewport()->repaint();
        QVERIFY(f.calls >= before + 3);
    }

    void shortensTextsToTheirColumn_data()
    {
        QTest::addColumn<int>("extra");
        QTest::addColumn<bool>("shortened");
        QTest::newRow("fits exactly") << 0 << false;
        QTest::newRow("one pixel short") << -1 << true;
    }

    void shortensTextsToTheirColumn()
    {
        QFETCH(int, extra);
        QFETCH(bool, shortened);
        FitProbe list;
        const QString text = "Delete SysEx events";
        QFontMetrics metrics(list.font());
        const int width = metrics.horizontalAdvance(text) + extra;
        std::optional<QString> fitted = list.fit(text, width);
        QVERIFY(fitted);
        if (!shortened) {
            QCOMPARE(*fitted, text);
            return;
        }
        QVERIFY(fitted->endsWith("..."));
        const qsizetype n = fitted->size() - 3;
        QCOMPARE(fitted->left(n), text.left(n));
        QVERIFY(metrics.horizontalAdvance(*fitted) <= width);
        // One more character would not have fitted.
        QVERIFY(metrics.horizontalAdvance(text.left(n + 1) + "...") > width);
    }

    void showsOnlyDotsWhenNothingFits()
    {
        FitProbe list;
        QCOMPARE(list.fit("Title", 1), QString("..."));
        QCOMPARE(list.fit("Title", -3), QString("..."));
    }

    void marksTheTopmostVisibleRowOnFocus()
    {
        Fixture f(50);
        QVERIFY(QTest::qWaitForWindowActive(&f));
        f.other->setFocus();
        f.list->selectionModel()->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
        f.list->verticalScrollBar()->setValue(7);
        QCOMPARE(f.list->getTopIndex(), 7);
        QCOMPARE(f.list->focusedRow(), -1);
        f.list->setFocus(Qt::TabFocusReason);
        QTRY_COMPARE(f.list->focusedRow(), 7);
        QCOMPARE(f.list->getSelectedCount(), 0);
    }

    void anEmptyListShowsItsFocusOnItsEdge()
    {
        Fixture f(0);
        QVERIFY(QTest::qWaitForWindowActive(&f));
        auto edgeMarked = [&f] {
            const QImage picture = f.picture();
            return picture.pixelColor(0, 0) != colour(QPalette::Base)
                || picture.pixelColor(1, 0) != colour(QPalette::Base);
        };
        f.other->setFocus();
        QTRY_VERIFY(!edgeMarked());
        f.list->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(edgeMarked());
    }

    void keepsAnExistingFocusMark()
    {
        Fixture f(50);
        QVERIFY(QTest::qWaitForWindowActive(&f));
        f.other->setFocus();
        f.list->selectionModel()->setCurrentIndex(
            f.list->model()->index(3, 0), QItemSelectionModel::NoUpdate);
        f.list->verticalScrollBar()->setValue(10);
        f.list->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(f.list->hasFocus());
        QCOMPARE(f.list->focusedRow(), 3);
    }

    void clicksBelowTheRowsOnlyFocus_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<bool>("doubleClick");
        QTest::newRow("left, under the last row") << 3 << Qt::LeftButton << false;
        QTest::newRow("right, under the last row") << 3 << Qt::RightButton << false;
        QTest::newRow("double, under the last row") << 3 << Qt::LeftButton << true;
        QTest::newRow("left, empty list") << 0 << Qt::LeftButton << false;
        QTest::newRow("left, partly visible row") << 50 << Qt::LeftButton << false;
    }

    void clicksBelowTheRowsOnlyFocus()
    {
        QFETCH(int, rows);
        QFETCH(Qt::MouseButton, button);
        QFETCH(bool, doubleClick);
        Fixture f(rows);
        QVERIFY(QTest::qWaitForWindowActive(&f));
        if (rows > 0)
            f.list->selectionModel()->select(f.list->model()->index(1, 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
        f.other->setFocus();

        QPoint below(10, f.list->viewport()->height() - 2);
        if (rows > 0) {
            const int last = f.list->getTopIndex() + f.list->getCountPerPage() - 1;
            const QRect lastRect = f.list->visualRect(f.list->model()->index(last, 0));
            if (rows > f.list->getCountPerPage()) {
                // The viewport must end inside a row for this case to mean anything.
                QVERIFY(lastRect.bottom() + 2 < f.list->viewport()->height());
                below.setY(lastRect.bottom() + 2);
            }
        }
        if (doubleClick)
            QTest::mouseDClick(f.list->viewport(), button, {}, below);
        else
            QTest::mouseClick(f.list->viewport(), button, {}, below);
        // A drag from there must not select either.
        QTest::mousePress(f.list->viewport(), Qt::LeftButton, {}, below);
        QTest::mouseMove(f.list->viewport(), f.rowPoint(0));
        QTest::mouseRelease(f.list->viewport(), Qt::LeftButton, {}, f.rowPoint(0));

        QTRY_VERIFY(f.list->hasFocus());
        QCOMPARE(f.list->getSelectedCount(), rows > 0 ? 1 : 0);
        QCOMPARE(f.list->isRowSelected(1), rows > 0);
    }

    void clicksOnRowsSelect()
    {
        Fixture f(3);
        QVERIFY(QTest::qWaitForWindowActive(&f));
        QTest::mouseClick(f.list->viewport(), Qt::LeftButton, {}, f.rowPoint(2));
        QVERIFY(f.list->isRowSelected(2));
        QTest::mouseClick(f.list->viewport(), Qt::LeftButton, Qt::ControlModifier, f.rowPoint(0));
        int rows[3] = {};
        QCOMPARE(f.list->GetSelectedRows(rows), 2);
        QCOMPARE(rows[0], 0);
        QCOMPARE(rows[1], 2);
        QCOMPARE(f.list->focusedRow(), 0);
    }

    void typingKeepsTheSelectionCtrlASelectsAll()
    {
        Fixture f(3);
        QVERIFY(QTest::qWaitForWindowActive(&f));
        QTest::mouseClick(f.list->viewport(), Qt::LeftButton, {}, f.rowPoint(0));
        QTest::mouseClick(f.list->viewport(), Qt::LeftButton, Qt::ControlModifier, f.rowPoint(2));
        QTest::keyClicks(f.list, "file1");
        QVERIFY(f.list->isRowSelected(0) && !f.list->isRowSelected(1));
        QCOMPARE(f.list->getSelectedCount(), 2);
        QTest::keyClick(f.list, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(f.list->getSelectedCount(), 3);
    }

    void cutCellShowsItsWholeTextAsToolTip()
    {
        Fixture f(2);
        f.texts[0][1] = "A title far too long for a column of 120 pixels";
        f.texts[1][1] = QString::fromUtf8("Short\0\0", 7);
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        auto tipAt = [&f](int row) {
            QPoint at(100 + 60, f.rowPoint(row).y());
            QHelpEvent tip(QEvent::ToolTip, at, f.list->viewport()->mapToGlobal(at));
            QApplication::sendEvent(f.list->viewport(), &tip);
        };
        tipAt(0);
        QTRY_COMPARE(QToolTip::text(), f.texts[0][1]);
        tipAt(1);
        QTRY_VERIFY(QToolTip::text().isEmpty());
    }

    void selectsAndDeselectsRows()
    {
        Fixture f(5);
        int changes = 0;
        connect(f.list, &ColumnListView::itemChanged, [&changes] { ++changes; });
        f.list->selectionModel()->setCurrentIndex(
            f.list->model()->index(2, 0), QItemSelectionModel::NoUpdate);

        f.list->SelectAllRows();
        QCOMPARE(f.list->getSelectedCount(), 5);
        QCOMPARE(f.list->focusedRow(), 2);
        QVERIFY(changes > 0);

        int rows[3] = {-1, -1, -1};
        QCOMPARE(f.list->GetSelectedRows(rows), 3);
        QCOMPARE(rows[2], 2);
        QCOMPARE(f.list->GetSelectedRows(std::span<int>()), 0);

        QVERIFY(f.list->DeselectRow(2));
        QCOMPARE(f.list->focusedRow(), -1);
        QVERIFY(!f.list->isRowSelected(2));
        QVERIFY(!f.list->DeselectRow(5));
        QVERIFY(!f.list->DeselectRow(-1));

        // Several at once, in any order, those that do not exist passed over: one change.
        f.list->SelectAllRows();
        f.list->selectionModel()->setCurrentIndex(
            f.list->model()->index(3, 0), QItemSelectionModel::NoUpdate);
        int selectionChanges = 0;
        connect(f.list->selectionModel(), &QItemSelectionModel::selectionChanged,
            [&selectionChanges] { ++selectionChanges; });
        const std::size_t some[] = {4, 0, 3, 9, 1};
        f.list->deselectRows(some);
        QCOMPARE(selectionChanges, 1);
        QCOMPARE(f.list->getSelectedCount(), 1);
        QCOMPARE(f.list->GetSelectedRows(rows), 1);
        QCOMPARE(rows[0], 2);
        QCOMPARE(f.list->focusedRow(), -1);

        f.list->SelectAllRows();
        f.list->selectionModel()->setCurrentIndex(
            f.list->model()->index(4, 0), QItemSelectionModel::NoUpdate);
        f.list->DeselectAllRows();
        QCOMPARE(f.list->getSelectedCount(), 0);
        QCOMPARE(f.list->focusedRow(), -1);
        QCOMPARE(f.list->GetSelectedRows(rows), 0);
    }

    void deselectingAllKeepsTheMarkOfAnUnselectedRow()
    {
        Fixture f(3);
        f.list->selectionModel()->select(
            f.list->model()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        f.list->selectionModel()->setCurrentIndex(
            f.list->model()->index(2, 0), QItemSelectionModel::NoUpdate);
        f.list->DeselectAllRows();
        QCOMPARE(f.list->focusedRow(), 2);
    }

    void fillsSelectionByFocus()
    {
        Fixture f(3);
        QVERIFY(QTest::qWaitForWindowActive(&f));
        f.list->selectionModel()->select(
            f.list->model()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        f.list->setFocus();
        QTRY_VERIFY(f.list->hasFocus());
        // Inside the left margin, clear of the text and the focus frame.
        const QPoint fill = f.rowPoint(0, 2);
        const QPoint plain = f.rowPoint(1, 2);
        const int separator = 100 - 1;
        const int bottom = f.list->visualRect(f.list->model()->index(1, 0)).bottom();

        QImage focused = f.picture();
        QCOMPARE(focused.pixelColor(fill), colour(QPalette::Highlight));
        QCOMPARE(focused.pixelColor(plain), colour(QPalette::Base));
        QCOMPARE(focused.pixelColor(separator, fill.y()), colour(QPalette::HighlightedText));
        QCOMPARE(focused.pixelColor(separator, plain.y()), QColor(Qt::black));
        QCOMPARE(focused.pixelColor(50, bottom), QColor(Qt::black));

        f.other->setFocus();
        QTRY_VERIFY(!f.list->hasFocus());
        QImage unfocused = f.picture();
        QCOMPARE(unfocused.pixelColor(fill).rgb(), grayTextFill(QApplication::palette()).rgb());
        QCOMPARE(unfocused.pixelColor(separator, fill.y()), colour(QPalette::HighlightedText));
    }

    void drawsNoSeparatorsWithoutMargin()
    {
        Fixture f(2, 0);
        f.texts = {{"", ""}, {"", ""}};
        QVERIFY(QTest::qWaitForWindowExposed(&f));
        QVERIFY(f.list->verticalLines());
        QImage picture = f.picture();
        QCOMPARE(picture.pixelColor(99, f.rowPoint(0).y()), colour(QPalette::Base));
    }

    void configuresAndClears()
    {
        Fixture f(2);
        // The list's own model keeps the rules every view relies on through all of this.
        QAbstractItemModelTester tester(
            f.list->model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(f.list->columnCount(), 2);
        QCOMPARE(f.list->textMargin(), 4);
        QCOMPARE(f.list->getColumnCount(), 2);
        QVERIFY(!f.list->header()->sectionsClickable());

        f.list->ClearColumns();
        QCOMPARE(f.list->getColumnCount(), 0);
        QCOMPARE(f.list->columnCount(), 0);
        QCOMPARE(f.list->textMargin(), 0);
        QVERIFY(!f.list->verticalLines());
        QVERIFY(!f.list->horizontalLines());
        QVERIFY(!f.list->providerData());
        QCOMPARE(f.list->getItemCount(), 2);
        f.list->deleteAllItems();
        QCOMPARE(f.list->getItemCount(), 0);
        QCOMPARE(f.list->insertItem(0), 0);
        QCOMPARE(f.list->insertItem(0), 0);
        QCOMPARE(f.list->getItemCount(), 2);

        // Without text buffers the provider is never asked.
        QVERIFY(f.list->Configure(0, &Fixture::provide, &f, 4, true, true));
        f.list->insertColumn(0, "Filename", Qt::AlignLeft, 100);
        f.calls = 0;
        f.list->viewport()->repaint();
        QCOMPARE(f.calls, 0);
        QVERIFY(f.list->deleteColumn(0));
        QCOMPARE(f.list->getColumnCount(), 0);
    }
};

QTEST_MAIN(ColumnListViewTest)
#include "ColumnListViewTest.moc"
