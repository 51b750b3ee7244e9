#include "platform/qt/TextDecoding.h"
#include "settings/Texts.h"
#include "ui/CleanOptionsDialog.h"
#include "ui/LanguageChooser.h"
#include "ui/LogDialog.h"
#include "ui/MainDialog.h"
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
    s.showLog = [](QWidget* parent, const std::vector<std::string>& lines) {
        LogDialog log(lines, parent);
        log.exec();
    };
    s.showPreviewLog = [](QWidget* parent, const std::vector<std::string>& lines) {
        LogDialog log(lines, parent);
        log.setWindowTitle(toQString(Texts::PreviewLogCaption.pick()));
        log.exec();
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
