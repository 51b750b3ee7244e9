#include "app/Application.h"
#include "app/StandardServices.h"
#include "platform/FileOps.h"
#include "platform/qt/MessageBoxes.h"
#include "ui/MainDialog.h"

int main(int argc, char** argv)
{
    return sorvanel::ui::runApplication(argc, argv, [](sorvanel::SettingsStore& store) {
        // They serve the main window for the whole run.
        static sorvanel::NativeFileOps files;
        static sorvanel::ui::MessageBoxNotifier notifier;
        return std::make_unique<sorvanel::ui::MainDialog>(
            sorvanel::ui::standardServices(store, files, notifier));
    });
}
