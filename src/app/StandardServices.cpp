#include "app/StandardServices.h"

#include "settings/Texts.h"
#include "ui/CleanOptionsDialog.h"
#include "ui/LanguageChooser.h"
#include "ui/LogDialog.h"
#include "ui/shell/FolderChooser.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace sorvanel::ui {

MainDialogServices standardServices(SettingsStore& store, FileOps& files, Notifier& notifier)
{
    MainDialogServices s;
    s.store = &store;
    s.files = &files;
    s.notifier = &notifier;
    s.runLanguageChooser = [&store] {
        // No owner: the main window is not shown yet.
        LanguageChooser chooser(store);
        return chooser.exec() == QDialog::Accepted;
    };
    s.chooseFolder = [&notifier](QWidget* parent,
                         const std::string& initial) -> std::optional<std::string> {
        FolderChooser chooser(notifier, parent);
        chooser.path = initial;
        if (chooser.exec() != QDialog::Accepted)
            return std::nullopt;
        return chooser.path;
    };
    s.askCleanOptions = [&store, &notifier](QWidget* parent) -> std::optional<CleanOptions> {
        CleanOptionsDialog dialog(store, notifier, parent);
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.options();
    };
    s.askPreviewOptions = [&store, &notifier](QWidget* parent) -> std::optional<CleanOptions> {
        CleanOptionsDialog dialog(store, notifier, parent);
        dialog.setPreview();
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.options();
    };
    // A saved log starts with the folder, the time and the options of the run.
    auto runLog = [](QWidget* parent, const std::vector<std::string>& lines, bool preview) {
        LogDialog log(lines, parent);
        if (auto* window = qobject_cast<MainDialog*>(parent))
            log.savedHeading = window->logHeading();
        if (preview)
            log.markAsPreview();
        log.exec();
    };
    s.showLog = [runLog](QWidget* parent, const std::vector<std::string>& lines) {
        runLog(parent, lines, false);
    };
    s.showPreviewLog = [runLog](QWidget* parent, const std::vector<std::string>& lines) {
        runLog(parent, lines, true);
    };
    s.confirm = [](QWidget* parent, const QString& question) {
        QMessageBox box(QMessageBox::Question, QCoreApplication::applicationName(), question,
            QMessageBox::Yes | QMessageBox::No, parent);
        box.setTextFormat(Qt::PlainText);
        box.setDefaultButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    };
    s.openDocument = &openDocumentWithDesktop;
    return s;
}

} // namespace sorvanel::ui
