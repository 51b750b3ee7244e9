#include "app/Application.h"

#include "platform/Notifier.h"
#include "platform/qt/MessageBoxes.h"
#include "platform/qt/QtSettingsStore.h"
#include "platform/qt/SingleInstance.h"
#include "platform/qt/TextDecoding.h"
#include "settings/Texts.h"

#include <QFileInfo>
#include <QLibraryInfo>
#include <QMenu>
#include <QMenuBar>

#include <new>

namespace sorvanel::ui {

QString escapedExceptionText(std::exception_ptr failure, bool fromCommand)
{
    try {
        std::rethrow_exception(failure);
    } catch (const std::bad_alloc&) {
        return toQString(outOfMemoryText);
    } catch (const std::exception& e) {
        // A file failure names its path, which is bytes as the system gave them.
        if (e.what() && *e.what())
            return decodeMessageText(e.what());
    } catch (...) {
    }
    return toQString(fromCommand ? Texts::CommandFailed : Texts::InternalApplicationError);
}

bool GuardedApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        const bool fromCommand = event->type() == QEvent::Shortcut || qobject_cast<QMenu*>(receiver)
            || qobject_cast<QMenuBar*>(receiver);
        try {
            QWidget* owner = QApplication::activeModalWidget();
            if (!owner)
                owner = applicationMainWindow();
            showMessageBox(owner, QMessageBox::Warning, QCoreApplication::applicationName(),
                escapedExceptionText(std::current_exception(), fromCommand));
        } catch (...) {
            // Nothing is left to tell the user with; the program goes on all the same.
        }
    }
    return false;
}

bool installQtTranslation(QTranslator& translator, Language language)
{
    return language == Language::German
        && translator.load(
            QStringLiteral("qtbase_de"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))
        && QCoreApplication::installTranslator(&translator);
}

int runApplication(int argc, char** argv, const MainWindowFactory& makeMainWindow)
{
    GuardedApplication application(argc, argv);
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
    QTranslator qtTexts;
    installQtTranslation(qtTexts, UiLanguage());
    setApplicationMainWindow(window.get());
    window->exec();
    setApplicationMainWindow(nullptr);
    return 0;
}

} // namespace sorvanel::ui
