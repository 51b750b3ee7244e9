#pragma once

#include <QColor>
#include <QList>
#include <QPalette>
#include <QString>
#include <QStringView>

#include <functional>
#include <span>
#include <vector>

namespace sorvanel::ui {

/// The arithmetic of the custom-drawn lists, kept apart from painting so it can be checked
/// with plain numbers.

/// Gives the width in pixels of a piece of text.
using TextMeasure = std::function<int(QStringView text)>;

inline constexpr QStringView ellipsis = u"...";

/// How many leading characters of `text` stay in front of "..." so that both fit `width`:
/// counts down from length − 1 while the prefix and the ellipsis are wider than `width`,
/// down to 0. A character pair that encodes one character is never cut in half.
qsizetype fittingPrefixLength(QStringView text, int width, const TextMeasure& measure);

/// The text to draw in `width` pixels: `text` itself when it is empty or fits, else its first
/// `fittingPrefixLength` characters followed by "...", or just "..." when nothing else fits.
QString fitTextTo(const QString& text, int width, const TextMeasure& measure);

/// As `fitTextTo` for a relative path ("folder/sub/song.mid"): the cut goes in its middle, in
/// front of its last part, so that the file's own name stays whole ("fol.../song.mid"). When
/// not even "..." and that part fit, only the name is shown, fitted by `fitTextTo`.
QString fitPathTo(const QString& path, int width, const TextMeasure& measure);

/// The text as a cell shows it: control characters are not drawn. Trailing ones (such as the
/// NULs that pad some stored titles) are dropped, each other one becomes a blank.
QString drawableText(const QString& text);

/// Cuts a line at its tab characters into at most `columnCount` + 1 parts; a last part that
/// still holds tabs ends at the first of them and the rest is dropped. A line without tabs,
/// or a `columnCount` of 0, stays one part.
QList<QStringView> splitLineAtTabs(QStringView line, int columnCount);

/// Horizontal extent of one cell of a list-box line, `left` inclusive, `right` exclusive.
struct CellSpan
{
    int left;
    int right;
    friend bool operator==(const CellSpan&, const CellSpan&) = default;
};

/// Where the parts of a cut line go in an item spanning [`itemLeft`, `itemRight`): the first
/// starts 2 pixels in, each fixed column is as wide as its entry in `columnWidths`, the part
/// after the last fixed column reaches the right edge, and no cell goes beyond that edge. No
/// cell follows the first one that reaches the edge, so the result may hold fewer than
/// `partCount` cells.
std::vector<CellSpan> lineCells(
    int partCount, std::span<const int> columnWidths, int itemLeft, int itemRight);

/// The last row whose whole height is on the page: rows from `topIndex` on, `rowsPerPage` of
/// them fully visible, `rowCount` in all. −1 when there is no row.
int lastFullyVisibleRow(int topIndex, int rowsPerPage, int rowCount);

/// How far apart two colours are for reading one on the other: 1 (the same) to 21 (black
/// on white), from their relative luminance.
double contrastRatio(const QColor& a, const QColor& b);

/// The fill of a selected row while its list has no focus: the grey of disabled text, moved
/// away from the highlighted text colour until that text reads on it (ratio 3 or more).
/// Some styles' grey is so light that white text on it all but vanishes.
QColor grayTextFill(const QPalette& palette);

} // namespace sorvanel::ui
