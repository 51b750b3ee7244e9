#pragma once

#include <QList>
#include <QRect>

#include <cstdint>
#include <optional>

namespace sorvanel {
class SettingsStore;
}

namespace sorvanel::ui {

/// How a window was shown when it closed, with the numbers the stored value uses.
enum ShowCommand : std::int32_t {
    ShowNormal = 1,
    ShowMinimized = 2,
    ShowMaximized = 3,
    Minimize = 6,
};

/// A window's normal (restored) outer rectangle and how it was shown.
struct WindowPlacement
{
    QRect normal;
    std::int32_t showCommand = ShowNormal;

    friend bool operator==(const WindowPlacement&, const WindowPlacement&) = default;
};

/// The show command for a window in `states`.
std::int32_t showCommandFor(Qt::WindowStates states);

/// Writes "WindowLeft", "WindowTop", "WindowRight", "WindowBottom" (the normal rectangle,
/// right and bottom exclusive) and "WindowShowCmd" in section "Settings".
void storePlacement(SettingsStore& store, const WindowPlacement& placement);

/// The stored placement when it may be restored: no edge is missing (−1), the rectangle is not
/// empty and the window was not closed minimized. None otherwise.
std::optional<WindowPlacement> storedPlacement(SettingsStore& store);

/// How much of a window's top edge must lie on a screen for its title bar to be grabbed: the
/// height of a title bar and the width of a good handful of it.
inline constexpr int titleBarReach = 24;
inline constexpr int titleBarGrip = 64;

/// Where a window with the outer rectangle `frame` may open on the screens' usable areas
/// `screens`: `frame` itself when its title bar can be reached there; moved by as little as
/// needed onto the screen it overlaps most when it cannot (its size stays); none when it lies
/// on no screen at all.
std::optional<QRect> reachableFrame(const QRect& frame, const QList<QRect>& screens);

} // namespace sorvanel::ui
