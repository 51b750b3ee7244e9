#pragma once

#include "settings/Language.h"
#include "settings/SettingsStore.h"

#include <QApplication>
#include <QDialog>
#include <QTranslator>

#include <exception>
#include <functional>
#include <memory>

namespace sorvanel::ui {

/// The text that reports an exception that escaped an event handler: "Out of memory." for lack
/// of memory, the exception's own text when it has one, and otherwise "Command failed." for a
/// command (a shortcut or a menu) and "Internal application error." for anything else.
QString escapedExceptionText(std::exception_ptr failure, bool fromCommand);

/// The program's application object. An exception that escapes a window's handler is caught
/// where the event was delivered, reported in a box, and the program goes on.
class GuardedApplication : public QApplication
{
public:
    GuardedApplication(int& argc, char** argv)
        : QApplication(argc, argv)
    {
    }

    bool notify(QObject* receiver, QEvent* event) override;
};

/// Loads Qt's own texts (the standard buttons, the file dialog, the edit fields' context menus)
/// for `language` into `translator` and installs it; English needs none. Returns whether a
/// translation is installed: false also when Qt's translations are not on this system.
bool installQtTranslation(QTranslator& translator, Language language);

/// Makes the main window over the program's settings store. The window settles the language
/// while it initialises, before it shows.
using MainWindowFactory = std::function<std::unique_ptr<QDialog>(SettingsStore& store)>;

/// The whole program. When a copy already runs for this user, asks it to bring its windows
/// forward and returns 0 without touching any setting. Otherwise names the settings store
/// (maker "Tarnwick", the executable's base name), runs the window `makeMainWindow` gives
/// modally until it closes, and returns 0.
int runApplication(int argc, char** argv, const MainWindowFactory& makeMainWindow);

} // namespace sorvanel::ui
