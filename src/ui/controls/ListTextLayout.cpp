#include "ui/controls/ListTextLayout.h"

#include <algorithm>

namespace sorvanel::ui {

qsizetype fittingPrefixLength(QStringView text, int width, const TextMeasure& measure)
{
    const int ellipsisWidth = measure(ellipsis);
    qsizetype n = text.size() - 1;
    while (
        n > 0 && (text[n - 1].isHighSurrogate() || measure(text.first(n)) + ellipsisWidth > width))
        --n;
    return std::max<qsizetype>(n, 0);
}

QString fitTextTo(const QString& text, int width, const TextMeasure& measure)
{
    if (text.isEmpty() || measure(text) <= width)
        return text;
    return text.first(fittingPrefixLength(text, width, measure)) + ellipsis.toString();
}

QList<QStringView> splitLineAtTabs(QStringView line, int columnCount)
{
    if (columnCount <= 0)
        return {line};
    QList<QStringView> parts;
    qsizetype start = 0;
    while (parts.size() < columnCount + 1) {
        qsizetype tab = line.indexOf(u'\t', start);
        if (tab < 0) {
            parts.append(line.sliced(start));
            break;
        }
        parts.append(line.sliced(start, tab - start));
        start = tab + 1;
    }
    return parts;
}

std::vector<CellSpan> lineCells(
    int partCount, std::span<const int> columnWidths, int itemLeft, int itemRight)
{
    std::vector<CellSpan> cells;
    int left = itemLeft + 2;
    for (int i = 0; i < partCount; ++i) {
        const bool fixed = static_cast<std::size_t>(i) < columnWidths.size();
        const int right = fixed ? std::min(left + columnWidths[i], itemRight) : itemRight;
        cells.push_back({left, right});
        if (right >= itemRight)
            break;
        left = right;
    }
    return cells;
}

int lastFullyVisibleRow(int topIndex, int rowsPerPage, int rowCount)
{
    return (topIndex + rowsPerPage < rowCount ? topIndex + rowsPerPage : rowCount) - 1;
}

} // namespace sorvanel::ui
