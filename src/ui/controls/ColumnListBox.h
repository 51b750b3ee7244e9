#pragma once

#include <QAbstractScrollArea>

#include <array>
#include <functional>
#include <initializer_list>
#include <optional>
#include <span>
#include <vector>

namespace sorvanel::ui {

/// Gives the text of one line: (line index, text out, the provider data given to
/// `SetColumns`). True when it set the text, false for a line it does not know.
using LineTextProvider = std::function<bool(int line, QString& text, void* providerData)>;

/// A list of lines without texts of its own and without selection: each time a line is drawn
/// it asks its `LineTextProvider` for the text and draws it cut at its tabs into columns of
/// fixed pixel widths, the last column reaching the right edge. Lines scroll vertically; a
/// text too wide for its column is clipped, never shortened.
///
/// The arrow keys, Page Up/Down, Home and End move a current line, framed while the list has
/// the focus, and scroll it into view. Assistive technology reads the list as a list with one
/// item per line, each holding its cells.
class ColumnListBox : public QAbstractScrollArea
{
    Q_OBJECT

public:
    static constexpr int maxColumns = 10;

    explicit ColumnListBox(QWidget* parent = nullptr);

    /// Keeps the provider and at most the first `maxColumns` widths, in pixels.
    void SetColumns(LineTextProvider textProvider, void* providerData, std::span<const int> widths);
    void SetColumns(
        LineTextProvider textProvider, void* providerData, std::initializer_list<int> widths)
    {
        SetColumns(std::move(textProvider), providerData,
            std::span<const int>(widths.begin(), widths.size()));
    }

    int columnCount() const { return m_columnCount; }
    std::span<const int> columnWidths() const
    {
        return std::span<const int>(m_columnWidths).first(static_cast<std::size_t>(m_columnCount));
    }
    void* providerData() const { return m_providerData; }

    /// Adds a line without text at the end; returns its index.
    int addItem(quintptr itemData = 0);
    void resetContent();
    int getCount() const { return static_cast<int>(m_itemData.size()); }

    /// Keeps the first `count` lines (a heading) at the top while the others scroll under it.
    void setFixedLines(int count);
    int fixedLines() const { return m_fixedLines; }

    /// The first scrolled line shown below the fixed ones.
    int getTopIndex() const;
    void setTopIndex(int line);
    int itemHeight() const;
    /// Where `line` is drawn in the viewport (it may lie outside it).
    QRect itemRect(int line) const;
    /// The line drawn at `point` of the viewport, or −1.
    int lineAt(const QPoint& point) const;
    /// Whether `line` is drawn in the viewport now.
    bool isLineShown(int line) const;

    /// The line the keys move from; 0 while the list is empty.
    int currentLine() const { return m_currentLine; }
    /// Makes `line` (clamped to the lines) current and scrolls it into view.
    void setCurrentLine(int line);

    /// One cut part of a line and its extent in the viewport, `left` inclusive, `right`
    /// exclusive.
    struct Cell
    {
        QString text;
        int left;
        int right;
    };
    /// The parts of `line` as drawn into `item`; none for a line whose text cannot be had.
    std::optional<std::vector<Cell>> cellsOf(int line, const QRect& item) const;

protected:
    /// Draws one line into `item`: its fill, its text cut into columns, and the focus frame
    /// when `focusMark` is set and a text was drawn.
    void drawItem(QPainter& dc, const QRect& item, int line, bool selected, bool focusMark) const;

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void changeEvent(QEvent* event) override;

private:
    void updateScrollRange();
    bool lineText(int line, QString& text) const;
    /// Tells assistive technology which line is current, while the list has the focus.
    void tellCurrentLine();

    LineTextProvider m_textProvider;
    void* m_providerData = nullptr;
    int m_columnCount = 0;
    int m_fixedLines = 0;
    int m_currentLine = 0;
    std::array<int, maxColumns> m_columnWidths{};
    std::vector<quintptr> m_itemData;
};

} // namespace sorvanel::ui
