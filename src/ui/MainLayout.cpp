#include "ui/MainLayout.h"

#include <algorithm>

namespace sorvanel::ui {

namespace {

int rightOf(const QRect& r)
{
    return r.x() + r.width();
}

int bottomOf(const QRect& r)
{
    return r.y() + r.height();
}

/// The rectangle with the given edges (right and bottom exclusive).
QRect fromEdges(int left, int top, int right, int bottom)
{
    return QRect(left, top, right - left, bottom - top);
}

} // namespace

LayoutMetrics captureLayoutMetrics(const QRect& window, const QRect& list,
    const std::optional<QRect>& label, const QRect& selectAll)
{
    LayoutMetrics m;
    m.listLeft = list.x() - window.x();
    m.listTop = list.y() - window.y();
    m.listRightMargin = rightOf(window) - rightOf(list);
    m.listBottomMargin = bottomOf(window) - bottomOf(list);
    if (label) {
        m.labelLeft = label->x() - window.x();
        m.labelTop = label->y() - window.y();
        m.labelRightMargin = rightOf(window) - rightOf(*label);
        m.labelBottom = bottomOf(*label) - window.y();
    }
    m.buttonGap = selectAll.y() - bottomOf(list);
    return m;
}

MainLayout layoutMainWindow(const LayoutMetrics& m, const MainLayoutInput& in)
{
    MainLayout out;
    const QRect& w = in.window;
    int listRight = rightOf(w) - m.listRightMargin;
    int listBottom = bottomOf(w) - m.listBottomMargin;
    int listWidth = listRight - (w.x() + m.listLeft);
    int listHeight = listBottom - (w.y() + m.listTop);
    if (listWidth <= 0 || listHeight <= 0)
        return out;

    out.moved = true;
    // Only the size changes; the list's top left corner stays where it is.
    out.list = QRect(in.list.topLeft(), QSize(listWidth, listHeight));

    if (in.label) {
        QRect label = *in.label;
        int width = rightOf(w) - m.labelRightMargin - (w.x() + m.labelLeft);
        int height = m.labelBottom - m.labelTop;
        if (width > 0 && height > 0)
            label.setSize(QSize(width, height));
        out.label = label;
    }

    if (in.versionLine) {
        int stop = rightOf(*in.versionLine);
        if (in.helpButton) {
            QRect button = *in.helpButton;
            button.moveLeft(std::max(listRight - button.width(), stop));
            out.helpButton = button;
        }
        if (out.label) {
            const QRect& label = *out.label;
            out.label = fromEdges(label.x(), label.y(), std::max(listRight, stop), bottomOf(label));
        }
    } else {
        out.helpButton = in.helpButton;
    }

    out.buttons.reserve(in.buttons.size());
    for (QRect button : in.buttons) {
        button.moveTop(listBottom + m.buttonGap);
        out.buttons.push_back(button);
    }
    return out;
}

QSize minimumWindowSize(const LayoutMetrics& m, const MainLayoutInput& start, int listHeight)
{
    int right = m.listLeft + 1;
    if (start.versionLine && start.helpButton)
        right = std::max(right, rightOf(*start.versionLine) + start.helpButton->width());
    for (const QRect& button : start.buttons)
        right = std::max(right, rightOf(button));
    return {right - start.window.x() + m.listRightMargin,
        m.listTop + std::max(listHeight, 1) + m.listBottomMargin};
}

} // namespace sorvanel::ui
