#include "app/Application.h"
#include "app/MainWindowPlaceholder.h"

int main(int argc, char** argv)
{
    return sorvanel::ui::runApplication(argc, argv, [](sorvanel::SettingsStore& store) {
        return std::make_unique<sorvanel::ui::MainWindowPlaceholder>(store);
    });
}
