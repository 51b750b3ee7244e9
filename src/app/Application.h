#pragma once

#include "settings/SettingsStore.h"

#include <QDialog>

#include <functional>
#include <memory>

namespace sorvanel::ui {

/// Makes the main window over the program's settings store. The window settles the language
/// while it initialises, before it shows.
using MainWindowFactory = std::function<std::unique_ptr<QDialog>(SettingsStore& store)>;

/// The whole program. When a copy already runs for this user, asks it to bring its windows
/// forward and returns 0 without touching any setting. Otherwise names the settings store
/// (maker "Tarnwick", the executable's base name), runs the window `makeMainWindow` gives
/// modally until it closes, and returns 0.
int runApplication(int argc, char** argv, const MainWindowFactory& makeMainWindow);

} // namespace sorvanel::ui
