#pragma once

#include <QRect>
#include <QSize>

#include <span>
#include <vector>

namespace sorvanel::ui {

/// Where the controls of a resizable dialog with one main control (a list or a tree) and a row
/// of buttons under it go.
struct GrowLayout
{
    QSize minimumSize; ///< the template size: the window never gets smaller
    QRect main;
    std::vector<QRect> buttons;
};

/// Lays out a dialog built at `templateSize` (client size in pixels) for the client size
/// `size`: the main control keeps its top left corner and grows by what the window grew; the
/// buttons keep their distance to the bottom edge and move right by half the growth, so a
/// row centred under the main control stays centred. A size below the template counts as
/// the template size.
GrowLayout layoutGrowingDialog(const QSize& templateSize, const QSize& size, const QRect& main,
    std::span<const QRect> buttons);

/// The width of the first (name) column of a log list `listWidth` pixels wide that was
/// `templateListWidth` wide when its first column had `templateWidth`: the column takes all
/// the room the list gained, never less than its template width.
int growingColumnWidth(int templateWidth, int templateListWidth, int listWidth);

} // namespace sorvanel::ui
