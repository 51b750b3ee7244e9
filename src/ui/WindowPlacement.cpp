#include "ui/WindowPlacement.h"

#include "settings/SettingsStore.h"

#include <algorithm>

namespace sorvanel::ui {

namespace {

constexpr std::string_view windowLeft = "WindowLeft";
constexpr std::string_view windowTop = "WindowTop";
constexpr std::string_view windowRight = "WindowRight";
constexpr std::string_view windowBottom = "WindowBottom";
constexpr std::string_view windowShowCmd = "WindowShowCmd";
constexpr std::int32_t missing = -1;

} // namespace

std::int32_t showCommandFor(Qt::WindowStates states)
{
    if (states & Qt::WindowMinimized)
        return ShowMinimized;
    if (states & Qt::WindowMaximized)
        return ShowMaximized;
    return ShowNormal;
}

void storePlacement(SettingsStore& store, const WindowPlacement& placement)
{
    const QRect& r = placement.normal;
    store.WriteProfileInt(settingsSection, windowLeft, r.x());
    store.WriteProfileInt(settingsSection, windowTop, r.y());
    store.WriteProfileInt(settingsSection, windowRight, r.x() + r.width());
    store.WriteProfileInt(settingsSection, windowBottom, r.y() + r.height());
    store.WriteProfileInt(settingsSection, windowShowCmd, placement.showCommand);
}

std::optional<WindowPlacement> storedPlacement(SettingsStore& store)
{
    std::int32_t left = store.GetProfileInt(settingsSection, windowLeft, missing);
    std::int32_t top = store.GetProfileInt(settingsSection, windowTop, missing);
    std::int32_t right = store.GetProfileInt(settingsSection, windowRight, missing);
    std::int32_t bottom = store.GetProfileInt(settingsSection, windowBottom, missing);
    std::int32_t showCommand = store.GetProfileInt(settingsSection, windowShowCmd, ShowNormal);
    if (left == missing || top == missing || right == missing || bottom == missing)
        return std::nullopt;
    if (showCommand == ShowMinimized || showCommand == Minimize)
        return std::nullopt;
    // A hand-edited or damaged store must not give a window without a size. The difference is
    // taken in 64 bits: the edges may lie anywhere in 32.
    std::int64_t width = std::int64_t{right} - left;
    std::int64_t height = std::int64_t{bottom} - top;
    if (width <= 0 || height <= 0 || width > 100000 || height > 100000)
        return std::nullopt;
    return WindowPlacement{
        QRect(left, top, static_cast<int>(width), static_cast<int>(height)), showCommand};
}

std::optional<QRect> reachableFrame(const QRect& frame, const QList<QRect>& screens)
{
    const QRect titleBar(frame.x(), frame.y(), frame.width(), titleBarReach);
    const int grip = std::min(frame.width(), titleBarGrip);
    const QRect* best = nullptr;
    qint64 bestArea = 0;
    for (const QRect& screen : screens) {
        const QRect onScreen = screen.intersected(titleBar);
        if (onScreen.height() == titleBar.height() && onScreen.width() >= grip)
            return frame;
        const QRect overlap = screen.intersected(frame);
        const qint64 area = qint64{overlap.width()} * overlap.height();
        if (area > bestArea) {
            best = &screen;
            bestArea = area;
        }
    }
    if (!best)
        return std::nullopt;
    // Onto that screen: the top edge inside it, with room for the title bar, and enough of the
    // title bar's width on it to grab.
    const QRect& s = *best;
    QRect moved = frame;
    moved.moveTop(
        std::clamp(frame.y(), s.y(), std::max(s.y(), s.y() + s.height() - titleBarReach)));
    moved.moveLeft(std::clamp(
        frame.x(), s.x() + grip - frame.width(), std::max(s.x(), s.x() + s.width() - grip)));
    return moved;
}

} // namespace sorvanel::ui
