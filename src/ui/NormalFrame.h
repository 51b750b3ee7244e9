#pragma once

#include <QMargins>
#include <QObject>
#include <QRect>
#include <QWidget>

namespace sorvanel::ui {

/// Keeps the outer rectangle of a top-level window's normal (not maximized) state, its frame
/// included, as far as the window manager has told it; and fits a restored rectangle to the
/// window once the frame around it is known, which under a window manager is only once the
/// window is on the screen. The window tells it when it is shown and when its rectangle
/// changes.
class NormalFrame : public QObject
{
public:
    explicit NormalFrame(QWidget* window);

    /// The window was placed at the restored outer rectangle `frame` (and created): its inside
    /// is fitted to it now where the frame is known, else once it is.
    void restore(const QRect& frame);
    /// Follows the normal rectangle as far as it is known; `geometryChanged` when the window
    /// moved or was resized, false when it was shown or is about to close.
    void follow(bool geometryChanged = false);
    /// The outer rectangle to store for the normal window.
    QRect outer() const;

private:
    QWidget* m_window;
    /// The outer rectangle of the normal window: the restored one until the window has shown
    /// itself normal with its frame, then the one it has there.
    QRect m_normalFrame;
    /// `m_normalFrame` is the inside, taken while the frame was not known yet; how often the
    /// frame was looked for since.
    bool m_frameUnknown = false;
    int m_frameChecks = 0;
    /// The window manager's frame around the normal window as last seen.
    QMargins m_lastMargins;
    /// Whether the window's inside still has to be fitted to `m_normalFrame`.
    bool m_frameToFit = false;
    /// Shortly after the fit: the frame it was fitted to.
    bool m_fitting = false;
    QMargins m_fitMargins;
};

} // namespace sorvanel::ui
