#include "ui/controls/ListTextLayout.h"

#include <algorithm>
#include <cmath>

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

QString fitPathTo(const QString& path, int width, const TextMeasure& measure)
{
    if (path.isEmpty() || measure(path) <= width)
        return path;
    const qsizetype cut = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    if (cut <= 0)
        return fitTextTo(path, width, measure);
    const QStringView tail = QStringView(path).sliced(cut);
    const int tailWidth = measure(tail);
    if (measure(ellipsis) + tailWidth > width)
        return fitTextTo(path.sliced(cut + 1), width, measure);
    const QStringView folders = QStringView(path).first(cut);
    return folders.first(fittingPrefixLength(folders, width - tailWidth, measure)).toString()
        + ellipsis.toString() + tail.toString();
}

QString drawableText(const QString& text)
{
    auto isControl = [](QChar c) { return c.category() == QChar::Other_Control; };
    qsizetype end = text.size();
    while (end > 0 && isControl(text[end - 1]))
        --end;
    QString shown = text.first(end);
    for (QChar& c : shown)
        if (isControl(c))
            c = u' ';
    return shown;
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
        const int right = fixed
            ? std::min(left + columnWidths[static_cast<std::size_t>(i)], itemRight)
            : itemRight;
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

namespace {

double relativeLuminance(const QColor& colour)
{
    auto linear = [](float channel) {
        return channel <= 0.03928f ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF())
        + 0.0722 * linear(colour.blueF());
}

} // namespace

double contrastRatio(const QColor& a, const QColor& b)
{
    const double first = relativeLuminance(a);
    const double second = relativeLuminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

QColor grayTextFill(const QPalette& palette)
{
    QColor gray = palette.color(QPalette::Disabled, QPalette::WindowText);
    const QColor text = palette.color(QPalette::Active, QPalette::HighlightedText);
    const bool darken = relativeLuminance(text) > 0.5;
    for (int step = 0; step < 20 && contrastRatio(gray, text) < 3.0; ++step)
        gray = darken ? gray.darker(110) : gray.lighter(110);
    return gray.toRgb();
}

} // namespace sorvanel::ui
