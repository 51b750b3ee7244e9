#pragma once

#include "settings/SettingsStore.h"
#include "ui/controls/TemplateDialog.h"

namespace sorvanel::ui {

/// The small dialog that asks for the interface language once: OK stays disabled until a
/// language is clicked, and then stores "G" or "E" as `Language`; Escape and the close box
/// store nothing.
class LanguageChooser : public TemplateDialog
{
    Q_OBJECT

public:
    enum ControlId { OkButton = 1, GermanRadio = 1056, EnglishRadio = 1057 };

    explicit LanguageChooser(SettingsStore& store, QWidget* parent = nullptr);

    /// The choice the radio buttons show: −1 none, 0 German, 1 English.
    int selection() const;

    /// OK: stores the choice and closes; without a choice it stays open.
    void accept() override;

protected:
    /// An arrow key on a language moves to the other one and chooses it.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnInitDialog();
    void onLanguageClicked();

    SettingsStore& m_store;
};

/// Settles `UiLanguage` from the store, running the chooser (without an owner) when no
/// language has been chosen yet. Runs while the main window initialises, before it shows.
void settleUiLanguageWithChooser(SettingsStore& store);

} // namespace sorvanel::ui
