#include "app/Application.h"

#include "platform/qt/MessageBoxes.h"
#include "platform/qt/QtSettingsStore.h"
#include "platform/qt/SingleInstance.h"
#include "settings/Texts.h"

#include <QApplication>
#include <QFileInfo>

namespace sorvanel::ui {

int runApplication(int argc, char** argv, const MainWindowFactory& makeMainWindow)
{
    QApplication application(argc, argv);
    // Qt's own default keeps the extension of the executable's name; the store goes by the
    // bare name.
    QCoreApplication::setApplicationName(
        QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName());

    // The socket goes by the main window's title, which is the same in both languages.
    SingleInstance instance(QString::fromUtf8(
        Texts::MainWindowTitle.data(), static_cast<qsizetype>(Texts::MainWindowTitle.size())));
    if (instance.handOverToRunningInstance())
        return 0;
    instance.listen();
    QObject::connect(&instance, &SingleInstance::raiseRequested, &raiseApplicationWindows);

    QCoreApplication::setOrganizationName(QString::fromLatin1(QtSettingsStore::organization));
    QtSettingsStore store(QtSettingsStore::applicationNameOfExecutable());

    std::unique_ptr<QDialog> window = makeMainWindow(store);
    if (!window)
        return 0;
    setApplicationMainWindow(window.get());
    window->exec();
    setApplicationMainWindow(nullptr);
    return 0;
}

} // namespace sorvanel::ui
