#pragma once

#include "platform/Notifier.h"

#include <QMessageBox>
#include <QString>

#include <functional>
#include <string_view>

namespace sorvanel::ui {

/// The window that owns boxes shown without an owner: the main window while it runs, else
/// null. The window is watched, so a destroyed one reads as null.
void setApplicationMainWindow(QWidget* window);
QWidget* applicationMainWindow();

/// Shows one modal box with only an OK button and returns when the user has closed it.
using MessageBoxShower = std::function<void(
    QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& text)>;

/// Routes every box of the program through `shower` (an empty one restores the real box) and
/// returns the one it replaces. Tests install a recorder here so that no box blocks them.
MessageBoxShower setMessageBoxShower(MessageBoxShower shower);

/// Shows a box through the installed shower. The text is plain text, never markup.
void showMessageBox(
    QWidget* owner, QMessageBox::Icon icon, const QString& caption, const QString& text);

/// The error box for the interface's own unexpected failures: caption "Fehler", the stop icon,
/// OK. Without an owner the application's main window owns it. When showing it fails, a plain
/// fall-back box says so instead; nothing escapes, the caller always goes on.
void ShowErrorBox(QWidget* owner, const QString& text);
/// As above, for a UTF-8 text from the catalogue.
void ShowErrorBox(QWidget* owner, std::string_view text);

/// Shows the core's messages the way the program shows notices: a box owned by the active
/// window, with the application's name as caption, the exclamation icon and OK.
class MessageBoxNotifier : public Notifier
{
public:
    void notify(std::string_view text) override;
};

} // namespace sorvanel::ui
