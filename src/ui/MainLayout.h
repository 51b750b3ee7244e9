#pragma once

#include <QRect>

#include <optional>
#include <vector>

namespace sorvanel::ui {

/// Distances in pixels between the main window's edges and its controls, captured once when
/// the window is built and kept while it is resized. All rectangles here are in one coordinate
/// system (the window's own), with right and bottom meaning x + width and y + height.
struct LayoutMetrics
{
    int listLeft = 0; ///< list left − window left
    int listTop = 0; ///< list top − window top
    int listRightMargin = 0; ///< window right − list right
    int listBottomMargin = 0; ///< window bottom − list bottom
    int labelLeft = 0; ///< folder label left − window left
    int labelTop = 0; ///< folder label top − window top
    int labelRightMargin = 0; ///< window right − folder label right
    int labelBottom = 0; ///< folder label bottom − window top
    int buttonGap = 0; ///< "Select All" top − list bottom
};

/// The metrics of the window as it is laid out now. Without a folder label its four values
/// stay 0.
LayoutMetrics captureLayoutMetrics(const QRect& window, const QRect& list,
    const std::optional<QRect>& label, const QRect& selectAll);

/// The window and the controls the resize layout moves, as they are before it.
struct MainLayoutInput
{
    QRect window;
    QRect list;
    std::optional<QRect> label;
    std::optional<QRect> versionLine;
    std::optional<QRect> helpButton;
    /// The bottom buttons that exist, in any order; each keeps its place in the result.
    std::vector<QRect> buttons;
};

/// Where the controls go. `moved` is false when the list would have no width or height: then
/// nothing is to be moved and the other fields are meaningless.
struct MainLayout
{
    bool moved = false;
    QRect list;
    std::optional<QRect> label;
    std::optional<QRect> helpButton;
    std::vector<QRect> buttons;
};

/// The main window's controls for a window resized to `input.window`: the list fills the
/// window but for its captured margins (its header stretches the last column), the folder
/// label and the help button follow the list's right edge without passing the version line's
/// right edge, and the bottom buttons follow the list's bottom.
MainLayout layoutMainWindow(const LayoutMetrics& metrics, const MainLayoutInput& input);

/// The smallest window in which every control stays whole on it: the bottom buttons, the help
/// button stopped at the version line's end, both as far from the right edge as the list is,
/// and a list `listHeight` pixels high. `start` is the window as it was built.
QSize minimumWindowSize(const LayoutMetrics& metrics, const MainLayoutInput& start, int listHeight);

} // namespace sorvanel::ui
