#pragma once

#include "ui/MainDialog.h"

namespace sorvanel::ui {

/// The program's own windows, over `store`, `files` and `notifier`, which must outlive every
/// window that uses them: where the main window's dialogs are put together.
MainDialogServices standardServices(SettingsStore& store, FileOps& files, Notifier& notifier);

} // namespace sorvanel::ui
