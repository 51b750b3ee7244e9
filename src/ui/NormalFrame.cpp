#include "ui/NormalFrame.h"

#include <QTimer>
#include <QWindow>

namespace sorvanel::ui {

NormalFrame::NormalFrame(QWidget* window)
    : QObject(window)
    , m_window(window)
{
}

void NormalFrame::restore(const QRect& frame)
{
    m_normalFrame = frame;
    const QMargins margins =
        m_window->windowHandle() ? m_window->windowHandle()->frameMargins() : QMargins();
    if (margins.isNull())
        m_frameToFit = true;
    else
        m_window->setGeometry(frame.marginsRemoved(margins));
}

void NormalFrame::follow(bool geometryChanged)
{
    if (m_window->windowState() != Qt::WindowNoState || !m_window->windowHandle()
        || !m_window->isVisible())
        return;
    // A window manager's frame is known once it has taken the window; without one, once the
    // window is on the screen.
    const QMargins margins = m_window->windowHandle()->frameMargins();
    if (margins.isNull() && m_frameChecks < 25) {
        // The window manager may frame the window only after it was mapped, and without
        // moving it: look again a few times.
        ++m_frameChecks;
        QTimer::singleShot(200, this, [this] { follow(); });
    }
    if (margins.isNull() && !m_window->testAttribute(Qt::WA_Mapped))
        return;
    if (m_frameToFit || (m_fitting && margins != m_fitMargins)) {
        // Only when the window's own rectangle changed. When it leaves the maximized state the
        // window manager may report its normal frame only after giving it its normal size:
        // for a moment after the fit a changed frame fits the inside again.
        if (!geometryChanged)
            return;
        if (m_frameToFit) {
            // A frame reported late comes without a change of the window's own rectangle.
            auto settle = [this] {
                if (m_fitting && m_window->windowState() == Qt::WindowNoState
                    && m_window->windowHandle()->frameMargins() != m_fitMargins) {
                    m_fitMargins = m_window->windowHandle()->frameMargins();
                    m_window->setGeometry(m_normalFrame.marginsRemoved(m_fitMargins));
                }
            };
            QTimer::singleShot(250, this, settle);
            QTimer::singleShot(1000, this, [this, settle] {
                settle();
                m_fitting = false;
            });
        }
        m_frameToFit = false;
        m_fitting = true;
        m_fitMargins = margins;
        m_window->setGeometry(m_normalFrame.marginsRemoved(margins));
        return;
    }
    // Until the frame is known, the inside with the margins last seen.
    if (!margins.isNull())
        m_lastMargins = margins;
    m_frameUnknown = m_lastMargins.isNull();
    m_normalFrame = m_window->geometry().marginsAdded(m_lastMargins);
}

QRect NormalFrame::outer() const
{
    const QMargins margins =
        m_window->windowHandle() && m_window->windowState() == Qt::WindowNoState
        ? m_window->windowHandle()->frameMargins()
        : m_lastMargins;
    if (m_normalFrame.isValid())
        return m_frameUnknown ? m_normalFrame.marginsAdded(margins) : m_normalFrame;
    QRect normal =
        m_window->normalGeometry().isValid() ? m_window->normalGeometry() : m_window->geometry();
    return normal.marginsAdded(margins);
}

} // namespace sorvanel::ui
