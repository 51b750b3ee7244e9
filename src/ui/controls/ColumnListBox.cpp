#include "ui/controls/ColumnListBox.h"

#include "ui/controls/ColumnListBoxAccess.h"
#include "ui/controls/ListTextLayout.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <new>

namespace sorvanel::ui {

ColumnListBox::ColumnListBox(QWidget* parent)
    : QAbstractScrollArea(parent)
{
    static const bool accessible = [] {
        QAccessible::installFactory(&columnListBoxAccessible);
        return true;
    }();
    Q_UNUSED(accessible);
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAutoFillBackground(true);
    viewport()->setBackgroundRole(QPalette::Base);
    updateScrollRange();
}

void ColumnListBox::SetColumns(
    LineTextProvider textProvider, void* providerData, std::span<const int> widths)
{
    m_textProvider = std::move(textProvider);
    m_providerData = providerData;
    m_columnCount = static_cast<int>(std::min<std::size_t>(widths.size(), maxColumns));
    std::copy_n(widths.begin(), m_columnCount, m_columnWidths.begin());
    viewport()->update();
}

int ColumnListBox::addItem(quintptr itemData)
{
    m_itemData.push_back(itemData);
    updateScrollRange();
    viewport()->update();
    return getCount() - 1;
}

void ColumnListBox::resetContent()
{
    m_itemData.clear();
    m_currentLine = 0;
    updateScrollRange();
    viewport()->update();
}

void ColumnListBox::setFixedLines(int count)
{
    m_fixedLines = std::max(count, 0);
    updateScrollRange();
    viewport()->update();
}

int ColumnListBox::getTopIndex() const
{
    return m_fixedLines + verticalScrollBar()->value();
}

void ColumnListBox::setTopIndex(int line)
{
    verticalScrollBar()->setValue(line - m_fixedLines);
}

int ColumnListBox::itemHeight() const
{
    // The text sits one pixel below the item's top, and all of it stays inside.
    return fontMetrics().height() + 1;
}

QRect ColumnListBox::itemRect(int line) const
{
    const int row = line < m_fixedLines ? line : line - verticalScrollBar()->value();
    return QRect(0, row * itemHeight(), viewport()->width(), itemHeight());
}

bool ColumnListBox::lineText(int line, QString& text) const
{
    return line >= 0 && line < getCount() && m_textProvider
        && m_textProvider(line, text, m_providerData);
}

std::optional<std::vector<ColumnListBox::Cell>> ColumnListBox::cellsOf(
    int line, const QRect& item) const
{
    QString text;
    if (!lineText(line, text))
        return std::nullopt;
    std::vector<Cell> cells;
    if (m_columnCount > 0 && text.contains(u'\t')) {
        QList<QStringView> parts = splitLineAtTabs(text, m_columnCount);
        std::vector<CellSpan> spans = lineCells(
            static_cast<int>(parts.size()), columnWidths(), item.x(), item.x() + item.width());
        for (std::size_t i = 0; i < spans.size(); ++i)
            cells.push_back(
                {parts[static_cast<qsizetype>(i)].toString(), spans[i].left, spans[i].right});
    } else {
        cells.push_back({text, item.x() + 2, item.x() + item.width()});
    }
    return cells;
}

void ColumnListBox::drawItem(
    QPainter& dc, const QRect& item, int line, bool selected, bool focusMark) const
{
    const QPalette& colours = palette();
    QColor textColour = colours.color(QPalette::Active, QPalette::Text);
    QColor fill = colours.color(QPalette::Active, QPalette::Base);
    if (selected) {
        textColour = colours.color(QPalette::Active, QPalette::HighlightedText);
        fill = hasFocus() ? colours.color(QPalette::Active, QPalette::Highlight)
                          : grayTextFill(colours);
    }
    dc.save();
    dc.fillRect(item, fill);
    dc.setPen(textColour);

    bool drawn = false;
    try {
        if (std::optional<std::vector<Cell>> cells = cellsOf(line, item)) {
            const int top = item.y() + 1;
            for (const Cell& cell : *cells) {
                dc.save();
                dc.setClipRect(QRect(cell.left, item.y(), cell.right - cell.left, item.height()));
                dc.drawText(
                    QRect(cell.left, top, std::max(cell.right - cell.left, 0) + 1, item.height()),
                    Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip,
                    cell.text);
                dc.restore();
            }
            drawn = true;
        }
    } catch (const std::bad_alloc&) {
        // The line stays blank this time; the next paint tries again.
        dc.fillRect(item, fill);
        drawn = false;
    }
    if (drawn && focusMark) {
        QPen dots(Qt::white, 1);
        dots.setDashPattern({1, 1});
        dc.setPen(dots);
        dc.setBrush(Qt::NoBrush);
        dc.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        dc.drawRect(item.adjusted(0, 0, -1, -1));
    }
    dc.restore();
}

void ColumnListBox::paintEvent(QPaintEvent*)
{
    QPainter dc(viewport());
    const int height = itemHeight();
    const int top = getTopIndex();
    const int last = std::min(getCount(), top + viewport()->height() / height + 2);
    // No line is ever drawn selected; the current line carries the focus frame while the list
    // has the focus.
    auto draw = [&](int line) {
        drawItem(dc, itemRect(line), line, false, hasFocus() && line == m_currentLine);
    };
    for (int line = 0; line < std::min(m_fixedLines, getCount()); ++line)
        draw(line);
    for (int line = top; line < last; ++line)
        draw(line);
}

void ColumnListBox::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollRange();
}

void ColumnListBox::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        updateScrollRange();
}

void ColumnListBox::updateScrollRange()
{
    const int page = std::max(viewport()->height() / itemHeight() - m_fixedLines, 1);
    verticalScrollBar()->setRange(0, std::max(getCount() - m_fixedLines - page, 0));
    verticalScrollBar()->setPageStep(page);
    verticalScrollBar()->setSingleStep(1);
}

void ColumnListBox::scrollContentsBy(int, int)
{
    viewport()->update();
}

int ColumnListBox::lineAt(const QPoint& point) const
{
    if (point.y() < 0 || point.y() >= viewport()->height() || itemHeight() <= 0)
        return -1;
    const int row = point.y() / itemHeight();
    const int line = row < m_fixedLines ? row : row + verticalScrollBar()->value();
    return line < getCount() ? line : -1;
}

bool ColumnListBox::isLineShown(int line) const
{
    if (line < 0 || line >= getCount())
        return false;
    return line < m_fixedLines
        || (line >= getTopIndex() && itemRect(line).top() < viewport()->height());
}

void ColumnListBox::setCurrentLine(int line)
{
    if (getCount() == 0)
        return;
    line = std::clamp(line, 0, getCount() - 1);
    const int page = verticalScrollBar()->pageStep();
    if (line >= m_fixedLines && line < getTopIndex())
        setTopIndex(line);
    else if (line >= m_fixedLines && line >= getTopIndex() + page)
        setTopIndex(line - page + 1);
    if (line == m_currentLine)
        return;
    m_currentLine = line;
    viewport()->update();
    tellCurrentLine();
}

void ColumnListBox::tellCurrentLine()
{
    if (!hasFocus() || m_currentLine >= getCount())
        return;
    QAccessibleEvent event(this, QAccessible::Focus);
    event.setChild(m_currentLine);
    QAccessible::updateAccessibility(&event);
}

void ColumnListBox::keyPressEvent(QKeyEvent* event)
{
    const int page = verticalScrollBar()->pageStep();
    switch (event->key()) {
    case Qt::Key_Up:
        setCurrentLine(m_currentLine - 1);
        break;
    case Qt::Key_Down:
        setCurrentLine(m_currentLine + 1);
        break;
    case Qt::Key_PageUp:
        setCurrentLine(m_currentLine - page);
        break;
    case Qt::Key_PageDown:
        setCurrentLine(m_currentLine + page);
        break;
    case Qt::Key_Home:
        verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
        setCurrentLine(0);
        break;
    case Qt::Key_End:
        setCurrentLine(getCount() - 1);
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

void ColumnListBox::mousePressEvent(QMouseEvent* event)
{
    // A click only moves the focus frame: the list has no selection.
    const int line = lineAt(event->position().toPoint());
    if (line >= 0)
        setCurrentLine(line);
    QAbstractScrollArea::mousePressEvent(event);
}

void ColumnListBox::focusInEvent(QFocusEvent* event)
{
    viewport()->update();
    QAbstractScrollArea::focusInEvent(event);
    tellCurrentLine();
}

void ColumnListBox::focusOutEvent(QFocusEvent* event)
{
    viewport()->update();
    QAbstractScrollArea::focusOutEvent(event);
}

} // namespace sorvanel::ui
