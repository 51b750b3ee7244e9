#pragma once

#include <QTreeView>

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace sorvanel::ui {

/// Fills the texts of one row as it is drawn: (row, the row's item data, column count, the
/// row's text buffers, emptied, and the provider data given to `Configure`). The answer is not
/// used.
using RowTextProvider = std::function<bool(int row, quintptr itemData, int columnCount,
    std::span<QString> columnTexts, void* providerData)>;

/// The description of a row for assistive technology (empty for none).
using RowDescriber = std::function<QString(int row)>;

class ColumnListModel;

/// A report list whose rows hold no text: each time a row is drawn it asks its
/// `RowTextProvider` for the row's texts and draws them itself, each inside its column, within
/// a margin, cut with "..." when too long, with grid lines, and with a selection colour that
/// tells whether the list has the focus. Several rows can be selected at once, the selection
/// stays visible without the focus, and the header does not sort.
///
/// It also differs from a plain list in two ways: on getting the focus some row carries the
/// focus mark, and a click below the last fully visible row only focuses the list instead of
/// clearing the selection.
class ColumnListView : public QTreeView
{
    Q_OBJECT

public:
    explicit ColumnListView(QWidget* parent = nullptr);
    ~ColumnListView() override;

    /// Sets up drawing: `ClearColumns`, then keeps the values and makes `columnCount` empty
    /// text buffers. When they cannot be had, shows the error box and answers false; the rows
    /// are then drawn without texts.
    bool Configure(int columnCount, RowTextProvider textProvider, void* providerData,
        int textMargin, bool verticalLines, bool horizontalLines);
    /// Removes every column and forgets the drawing set-up.
    void ClearColumns();

    int columnCount() const { return m_columnCount; }
    void* providerData() const { return m_providerData; }
    int textMargin() const { return m_textMargin; }
    bool verticalLines() const { return m_verticalLines; }
    bool horizontalLines() const { return m_horizontalLines; }

    /// Adds a column before `column` with its heading, alignment (left, right or centred)
    /// and width in pixels; returns its index.
    int insertColumn(int column, const QString& heading, Qt::Alignment format, int width);
    bool deleteColumn(int column);
    /// The number of columns the list shows (not the number of text buffers).
    int getColumnCount() const;
    /// Replaces a column's heading.
    void setColumnHeading(int column, const QString& heading);
    /// Makes the texts of `column` paths, cut in their middle so that their last part stays
    /// whole; −1 for none.
    void setPathColumn(int column) { m_pathColumn = column; }

    /// Adds an empty row before `row` (at the end when out of range); returns its index.
    int insertItem(int row, quintptr itemData = 0);
    void deleteAllItems();
    int getItemCount() const;
    quintptr getItemData(int row) const;

    /// Writes the indices of the selected rows, ascending, into `rows` and stops when it is
    /// full; returns how many it wrote.
    int GetSelectedRows(std::span<int> rows) const;
    int getSelectedCount() const;
    /// Selects every row; the focus mark stays where it is.
    void SelectAllRows();
    /// Clears every selected row's selection and focus mark.
    void DeselectAllRows();
    /// Clears one row's selection and focus mark; false for a row that does not exist.
    bool DeselectRow(int row);
    /// Clears the selection and focus mark of every row of `rows` that exists, in one change
    /// of the selection made of ranges of neighbouring rows.
    void deselectRows(std::span<const std::size_t> rows);
    bool isRowSelected(int row) const;
    /// The row with the focus mark, or −1.
    int focusedRow() const;

    /// The first visible row, and how many rows fit the page whole.
    int getTopIndex() const;
    int getCountPerPage() const;

    /// The texts the provider gives for `row` now, one per text buffer.
    std::vector<QString> rowTexts(int row) const;

    /// The tool tip of a row, asked first when the pointer rests on it; when it gives none, a
    /// cell whose text is cut shows the whole of it.
    std::function<QString(int row)> rowToolTip;
    /// The tool tip for the point `position` of the viewport, empty when there is none.
    QString toolTipAt(const QPoint& position) const;
    /// Describes rows to assistive technology, in addition to their texts.
    void setRowDescriber(RowDescriber describer) { m_describer = std::move(describer); }
    /// Shows the tool tip the row with the focus mark has under the pointer, at the row (the
    /// key Shift+F1); false when no row has the mark.
    bool showFocusedRowToolTip();

signals:
    /// A row's selection or focus mark changed.
    void itemChanged();

protected:
    /// Draws the 1-pixel line at the right edge of a cell: in the highlight text colour on a
    /// selected row, black otherwise.
    virtual void DrawColumnSeparator(QPainter& dc, const QRect& cell, bool selected) const;
    /// The text to draw for `text` in `width` pixels, shortened with "..." when it does not
    /// fit; none when that fails, after reporting it with the error box.
    virtual std::optional<QString> FitText(QPainter& dc, const QString& text, int width) const;

    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
        const QModelIndex& index) const override;
    bool viewportEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    /// Typing does not search the rows: a stray key must never change which rows are
    /// selected (the clean run works on the selection).
    void keyboardSearch(const QString&) override { }

private:
    friend class ColumnListModel;

    bool fillTexts(int row, std::span<QString> texts) const;
    /// `FitText`, for a path with `path`.
    std::optional<QString> fitCell(QPainter& dc, const QString& text, int width, bool path) const;
    /// Whether a click at `y` reaches the rows; else it only focuses the list.
    bool clickReachesRows(int y) const;
    bool takesOnlyFocus(QMouseEvent* event);
    void redrawMarkedRows();

    ColumnListModel* m_model;
    RowTextProvider m_textProvider;
    RowDescriber m_describer;
    void* m_providerData = nullptr;
    int m_columnCount = 0;
    bool m_verticalLines = false;
    bool m_horizontalLines = false;
    int m_textMargin = 0;
    int m_pathColumn = -1;
    // Refilled for every row drawn; absent when `Configure` could not make them.
    mutable std::unique_ptr<std::vector<QString>> m_columnTexts;
    bool m_swallowingClick = false;
};

} // namespace sorvanel::ui
