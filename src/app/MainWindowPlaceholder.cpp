#include "app/MainWindowPlaceholder.h"

#include "settings/Texts.h"
#include "ui/LanguageChooser.h"

namespace sorvanel::ui {

namespace {

DialogTemplate mainTemplate()
{
    DialogTemplate dialog{Texts::MainWindowTitle.data(), 365, 244};
    dialog.resizable = true;
    return dialog;
}

} // namespace

MainWindowPlaceholder::MainWindowPlaceholder(SettingsStore& store, QWidget* parent)
    : TemplateDialog(parent)
    , m_store(store)
{
    buildFromTemplate(mainTemplate(), {});
}

int MainWindowPlaceholder::exec()
{
    OnInitDialog();
    return TemplateDialog::exec();
}

void MainWindowPlaceholder::OnInitDialog()
{
    SettleUiLanguageWithChooser(m_store);
}

} // namespace sorvanel::ui
