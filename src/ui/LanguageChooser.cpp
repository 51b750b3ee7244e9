#include "ui/LanguageChooser.h"

#include "settings/Language.h"
#include "settings/Texts.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>

namespace sorvanel::ui {

namespace {

const DialogTemplate chooserTemplate{Texts::ChooseLanguage.data(), 186, 119};

const ControlTemplate chooserControls[] = {
    {noId, ControlKind::CenteredLabel, Texts::ChooseLanguagePrompt.data(), 27, 9, 136, 19},
    {LanguageChooser::GermanRadio, ControlKind::RadioButton, Texts::ChooseLanguageGerman.data(), 72,
        34, 73, 10},
    {LanguageChooser::EnglishRadio, ControlKind::RadioButton, Texts::ChooseLanguageEnglish.data(),
        72, 47, 39, 10},
    {LanguageChooser::OkButton, ControlKind::DefaultPushButton, "OK", 68, 70, 50, 14},
    {noId, ControlKind::CenteredLabel, Texts::ChooseLanguageNote.data(), 30, 98, 128, 18},
};

} // namespace

LanguageChooser::LanguageChooser(SettingsStore& store, QWidget* parent)
    : TemplateDialog(parent)
    , m_store(store)
{
    buildFromTemplate(chooserTemplate, chooserControls);
    for (int id : {GermanRadio, EnglishRadio}) {
        connect(controlAs<QRadioButton>(id), &QRadioButton::clicked, this,
            &LanguageChooser::onLanguageClicked);
        control(id)->installEventFilter(this);
    }
    connect(
        controlAs<QPushButton>(OkButton), &QPushButton::clicked, this, &LanguageChooser::accept);
    OnInitDialog();
}

void LanguageChooser::OnInitDialog()
{
    controlAs<QPushButton>(OkButton)->setEnabled(false);
}

int LanguageChooser::selection() const
{
    if (controlAs<QRadioButton>(GermanRadio)->isChecked())
        return 0;
    if (controlAs<QRadioButton>(EnglishRadio)->isChecked())
        return 1;
    return -1;
}

void LanguageChooser::onLanguageClicked()
{
    // There is no way back to no choice, so OK stays enabled from here on.
    if (selection() != -1)
        controlAs<QPushButton>(OkButton)->setEnabled(true);
}

bool LanguageChooser::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Up:
        case Qt::Key_Down:
        case Qt::Key_Left:
        case Qt::Key_Right: {
            // As in a group of radio buttons on the desktop: the arrow keys go round the
            // group, and the button they reach is the one chosen. With two buttons every
            // arrow reaches the other one.
            auto* next = controlAs<QRadioButton>(
                watched == control(GermanRadio) ? EnglishRadio : GermanRadio);
            next->setFocus(Qt::TabFocusReason);
            next->click();
            return true;
        }
        default:
            break;
        }
    }
    return TemplateDialog::eventFilter(watched, event);
}

void LanguageChooser::accept()
{
    if (!storeLanguageChoice(m_store, selection()))
        return;
    TemplateDialog::accept();
}

void settleUiLanguageWithChooser(SettingsStore& store)
{
    settleUiLanguage(store, [&store] {
        LanguageChooser chooser(store);
        return chooser.exec() == QDialog::Accepted;
    });
}

} // namespace sorvanel::ui
