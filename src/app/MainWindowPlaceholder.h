#pragma once

#include "settings/SettingsStore.h"
#include "ui/controls/TemplateDialog.h"

namespace sorvanel::ui {

/// Stands in for the main window until the real one exists: the main window's title and
/// size, and the language settled before it shows.
class MainWindowPlaceholder : public TemplateDialog
{
    Q_OBJECT

public:
    explicit MainWindowPlaceholder(SettingsStore& store, QWidget* parent = nullptr);

    int exec() override;

private:
    void OnInitDialog();

    SettingsStore& m_store;
};

} // namespace sorvanel::ui
