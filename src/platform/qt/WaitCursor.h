#pragma once

#include <QCursor>
#include <QGuiApplication>

namespace sorvanel::ui {

/// Shows the busy cursor for as long as it lives, also when the work in between throws.
/// Guards nest: the cursor comes back when the outermost one ends.
class WaitCursor
{
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }

    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace sorvanel::ui
