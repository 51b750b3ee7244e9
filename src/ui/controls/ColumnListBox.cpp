#include "ui/controls/ColumnListBox.h"

#include "ui/controls/ListTextLayout.h"

#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <new>

namespace sorvanel::ui {

ColumnListBox::ColumnListBox(QWidget* parent)
    : QAbstractScrollArea(parent)
{
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

int ColumnListBox::AddItem(quintptr itemData)
{
    m_itemData.push_back(itemData);
    updateScrollRange();
    viewport()->update();
    return GetCount() - 1;
}

void ColumnListBox::ResetContent()
{
    m_itemData.clear();
    updateScrollRange();
    viewport()->update();
}

void ColumnListBox::SetFixedLines(int count)
{
    m_fixedLines = std::max(count, 0);
    updateScrollRange();
    viewport()->update();
}

int ColumnListBox::GetTopIndex() const
{
    return m_fixedLines + verticalScrollBar()->value();
}

void ColumnListBox::SetTopIndex(int line)
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
    return line >= 0 && line < GetCount() && m_textProvider
        && m_textProvider(line, text, m_providerData);
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

    QString text;
    bool drawn = false;
    try {
        if (lineText(line, text)) {
            const int top = item.y() + 1;
            auto drawClipped = [&](QStringView part, int left, int right) {
                dc.save();
                dc.setClipRect(QRect(left, item.y(), right - left, item.height()));
                dc.drawText(QRect(left, top, std::max(right - left, 0) + 1, item.height()),
                    Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip,
                    part.toString());
                dc.restore();
            };
            if (m_columnCount > 0 && text.contains(u'\t')) {
                QList<QStringView> parts = splitLineAtTabs(text, m_columnCount);
                std::vector<CellSpan> cells = lineCells(static_cast<int>(parts.size()),
                    columnWidths(), item.x(), item.x() + item.width());
                for (std::size_t i = 0; i < cells.size(); ++i)
                    drawClipped(parts[static_cast<qsizetype>(i)], cells[i].left, cells[i].right);
            } else {
                drawClipped(text, item.x() + 2, item.x() + item.width());
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
    const int top = GetTopIndex();
    const int last = std::min(GetCount(), top + viewport()->height() / height + 2);
    // The list has no selection, so no line is ever drawn selected or with the focus frame.
    for (int line = 0; line < std::min(m_fixedLines, GetCount()); ++line)
        drawItem(dc, itemRect(line), line, false, false);
    for (int line = top; line < last; ++line)
        drawItem(dc, itemRect(line), line, false, false);
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
    verticalScrollBar()->setRange(0, std::max(GetCount() - m_fixedLines - page, 0));
    verticalScrollBar()->setPageStep(page);
    verticalScrollBar()->setSingleStep(1);
}

void ColumnListBox::scrollContentsBy(int, int)
{
    viewport()->update();
}

void ColumnListBox::keyPressEvent(QKeyEvent* event)
{
    QScrollBar* bar = verticalScrollBar();
    switch (event->key()) {
    case Qt::Key_Up:
        bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
        break;
    case Qt::Key_Down:
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        break;
    case Qt::Key_PageUp:
        bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        break;
    case Qt::Key_PageDown:
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        break;
    case Qt::Key_Home:
        bar->triggerAction(QAbstractSlider::SliderToMinimum);
        break;
    case Qt::Key_End:
        bar->triggerAction(QAbstractSlider::SliderToMaximum);
        break;
    default:
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

void ColumnListBox::focusInEvent(QFocusEvent* event)
{
    viewport()->update();
    QAbstractScrollArea::focusInEvent(event);
}

void ColumnListBox::focusOutEvent(QFocusEvent* event)
{
    viewport()->update();
    QAbstractScrollArea::focusOutEvent(event);
}

} // namespace sorvanel::ui
