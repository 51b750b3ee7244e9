#include "ui/CleanOptionsDialog.h"

#include "platform/qt/TextDecoding.h"
#include "settings/Texts.h"
#include "ui/CleanOptionsRules.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>

#include <algorithm>
#include <vector>

namespace sorvanel::ui {

namespace {

using Dialog = CleanOptionsDialog;

/// Rows of the template from its first check box up to the manufacturer edits, then the
/// controller group up to its edits, then the rest; the slot edits go in between, hex edit
/// first in each pair, so that Tab walks each pair from hex to decimal.
std::vector<ControlTemplate> optionsTemplate()
{
    using K = ControlKind;
    std::vector<ControlTemplate> rows{
        {Dialog::DeleteSysExEventsBox, K::CheckBox, "delete all SysEx events", 8, 11, 102, 10},
        {Dialog::ExceptManufacturerIdsBox, K::CheckBox, "except manufacturer id:", 20, 23, 89, 10},
    };
    auto addPairs = [&rows](int count, int firstHex, int firstDecimal, int hexX, int decimalX,
                        int decimalWidth) {
        for (int k = 1; k <= count; ++k) {
            int y = 29 + 15 * k;
            rows.push_back({firstHex + k - 1, K::Edit, "", hexX, y, 17, 14});
            rows.push_back(
                {firstDecimal + k - 1, K::Edit, "", decimalX, y, decimalWidth, 14, DigitsOnly});
        }
    };
    addPairs(Dialog::manufacturerSlots, Dialog::FirstManufacturerHexEdit,
        Dialog::FirstManufacturerDecimalEdit, 48, 68, 20);
    const ControlTemplate controllerRows[] = {
        {Dialog::DeleteAllControlEventsBox, K::CheckBox, "delete all controller events", 124, 11,
            134, 10},
        {Dialog::ExceptControlEventsBox, K::CheckBox, "except:", 136, 23, 39, 10},
        {Dialog::BankSelectMSBBox, K::CheckBox, "(00/00) Bank select MSB", 170, 46, 96, 10},
        {Dialog::ModulationBox, K::CheckBox, "(01/01) Modulation", 170, 58, 76, 10},
        {Dialog::VolumeBox, K::CheckBox, "(07/07) Volume", 170, 70, 65, 10},
        {Dialog::PanBox, K::CheckBox, "(0A/10) Pan", 170, 82, 55, 10},
        {Dialog::ExpressionBox, K::CheckBox, "(0B/11) Expression", 170, 94, 76, 10},
        {Dialog::BankSelectLSBBox, K::CheckBox, "(20/32) Bank select LSB", 170, 106, 94, 10},
        {Dialog::SustainBox, K::CheckBox, "(40/64) Sustain", 170, 118, 65, 10},
        {Dialog::ReverbBox, K::CheckBox, "(5B/91) Reverb", 170, 130, 65, 10},
        {Dialog::ChorusBox, K::CheckBox, "(5D/93) Chorus/Delay/Dist.", 170, 142, 103, 10},
        {Dialog::PitchBendBox, K::CheckBox, "Pitch Bend", 170, 154, 51, 10},
    };
    rows.insert(rows.end(), std::begin(controllerRows), std::end(controllerRows));
    addPairs(Dialog::slotCount - Dialog::manufacturerSlots, Dialog::FirstControlHexEdit,
        Dialog::FirstControlDecimalEdit, 321, 342, 20);
    const ControlTemplate closingRows[] = {
        {Dialog::InsertMidiResetBox, K::CheckBox, "Insert Midi Reset:", 126, 185, 87, 10},
        {Dialog::BeginningOfFileBox, K::CheckBox, "Beginning of file", 138, 196, 66, 10},
        {Dialog::EndOfFileBox, K::CheckBox, "End of file", 138, 209, 47, 10},
        {Dialog::ConfirmButton, K::DefaultPushButton, "Clean", 128, 238, 50, 14},
        {Dialog::CancelButton, K::PushButton, "Cancel", 190, 238, 50, 14},
        {noId, K::GroupBox, "SysEx Events", 1, 0, 114, 228},
        {noId, K::Label, "(hex)", 48, 34, 16, 8},
        {noId, K::GroupBox, "Controller Events", 117, 0, 250, 171},
        {noId, K::Label, "(hex)", 321, 34, 16, 8},
        {noId, K::GroupBox, "Midi Reset", 118, 174, 250, 54},
        {noId, K::Label, "(dez)", 70, 34, 16, 8},
        {Dialog::StandardLabel, K::RightLabel, "standard:", 136, 47, 30, 8},
        {Dialog::UserDefinedLabel, K::RightLabel, "user defined:", 277, 47, 42, 8},
        {noId, K::Label, "(dez)", 344, 34, 16, 8},
    };
    rows.insert(rows.end(), std::begin(closingRows), std::end(closingRows));
    return rows;
}

/// The check boxes and the flags they show.
struct FlagControl
{
    int id;
    std::int32_t CleanOptions::*flag;
};

constexpr FlagControl flagControls[] = {
    {Dialog::DeleteSysExEventsBox, &CleanOptions::DeleteSysExEvents},
    {Dialog::ExceptManufacturerIdsBox, &CleanOptions::ExceptManufacturerIds},
    {Dialog::DeleteAllControlEventsBox, &CleanOptions::DeleteAllControlEvents},
    {Dialog::ExceptControlEventsBox, &CleanOptions::ExceptControlEvents},
    {Dialog::BankSelectMSBBox, &CleanOptions::BankSelectMSB},
    {Dialog::ModulationBox, &CleanOptions::Modulation},
    {Dialog::VolumeBox, &CleanOptions::Volume},
    {Dialog::PanBox, &CleanOptions::Pan},
    {Dialog::ExpressionBox, &CleanOptions::Expression},
    {Dialog::BankSelectLSBBox, &CleanOptions::BankSelectLSB},
    {Dialog::SustainBox, &CleanOptions::Sustain},
    {Dialog::ReverbBox, &CleanOptions::Reverb},
    {Dialog::ChorusBox, &CleanOptions::Chorus},
    {Dialog::PitchBendBox, &CleanOptions::PitchBend},
    {Dialog::InsertMidiResetBox, &CleanOptions::InsertMidiReset},
    {Dialog::BeginningOfFileBox, &CleanOptions::BeginningOfFile},
    {Dialog::EndOfFileBox, &CleanOptions::EndOfFile},
};

/// The ten standard controller boxes, greyed together with the controller edits.
constexpr int standardControllerBoxes[] = {Dialog::BankSelectMSBBox, Dialog::ModulationBox,
    Dialog::VolumeBox, Dialog::PanBox, Dialog::ExpressionBox, Dialog::BankSelectLSBBox,
    Dialog::SustainBox, Dialog::ReverbBox, Dialog::ChorusBox, Dialog::PitchBendBox};

/// The record before anything is loaded: every flag off, every slot empty.
CleanOptions blankOptions()
{
    CleanOptions options;
    for (const FlagControl& control : flagControls)
        options.*control.flag = 0;
    return options;
}

/// Positions and sizes are rounded to pixels one by one, which carries the two right-hand
/// frames (ending one unit before the dialog's edge and on it) up to or past that edge. Each
/// frame keeps the margin to the right edge that the leftmost one keeps to the left edge.
void keepFramesInside(QDialog& dialog)
{
    const QList<QGroupBox*> frames = dialog.findChildren<QGroupBox*>();
    int margin = dialog.width();
    for (const QGroupBox* frame : frames)
        margin = std::min(margin, frame->x());
    for (QGroupBox* frame : frames) {
        QRect place = frame->geometry();
        if (place.right() >= dialog.width() - margin) {
            place.setRight(dialog.width() - margin - 1);
            frame->setGeometry(place);
        }
    }
}

/// Writes an edit only when its text differs: rewriting the edit being typed into would move
/// its cursor to the end and drop its undo history.
void showText(QLineEdit* edit, const std::string& text)
{
    QString shown = QString::fromStdString(text);
    if (edit->text() != shown)
        edit->setText(shown);
}

} // namespace

int CleanOptionsDialog::hexEditId(int slot)
{
    return slot < manufacturerSlots ? FirstManufacturerHexEdit + slot
                                    : FirstControlHexEdit + slot - manufacturerSlots;
}

int CleanOptionsDialog::decimalEditId(int slot)
{
    return slot < manufacturerSlots ? FirstManufacturerDecimalEdit + slot
                                    : FirstControlDecimalEdit + slot - manufacturerSlots;
}

CleanOptionsDialog::CleanOptionsDialog(SettingsStore& store, Notifier& notifier, QWidget* parent)
    : TemplateDialog(parent)
    , m_store(store)
    , m_notifier(notifier)
    , m_options(blankOptions())
{
    static const std::vector<ControlTemplate> rows = optionsTemplate();
    buildFromTemplate({"Clean Midi Files", 368, 255}, rows);
    keepFramesInside(*this);

    for (int slot = 0; slot < slotCount; ++slot) {
        connect(edit(hexEditId(slot)), &QLineEdit::textChanged, this,
            [this, slot] { onSlotTextChanged(slot, false); });
        connect(edit(decimalEditId(slot)), &QLineEdit::textChanged, this,
            [this, slot] { onSlotTextChanged(slot, true); });
    }
    for (int id : {DeleteSysExEventsBox, ExceptManufacturerIdsBox, DeleteAllControlEventsBox,
             ExceptControlEventsBox, InsertMidiResetBox})
        connect(checkBox(id), &QCheckBox::clicked, this, &CleanOptionsDialog::onMainChoiceClicked);
    connect(controlAs<QPushButton>(ConfirmButton), &QPushButton::clicked, this,
        &CleanOptionsDialog::accept);
    connect(controlAs<QPushButton>(CancelButton), &QPushButton::clicked, this,
        &CleanOptionsDialog::reject);

    OnInitDialog();
}

void CleanOptionsDialog::setPreview()
{
    setWindowTitle(toQString(Texts::PreviewOptionsCaption.pick()));
    if (auto* confirm = controlAs<QAbstractButton>(ConfirmButton))
        confirm->setText(toQString(Texts::PreviewButton.pick()));
}

void CleanOptionsDialog::OnInitDialog()
{
    bool german = UiLanguage() == Language::German;
    transferRecordToControls();
    if (german)
        setWindowTitle(toQString(Texts::CleanMidiFiles.german));
    control(ConfirmButton)->setEnabled(false);
    if (german) {
        const std::pair<int, TextPair> captions[] = {
            {ConfirmButton, Texts::Clean},
            {CancelButton, Texts::Cancel},
            {DeleteSysExEventsBox, Texts::DeleteAllSysExEvents},
            {ExceptManufacturerIdsBox, Texts::ExceptManufacturerId},
            {DeleteAllControlEventsBox, Texts::DeleteAllControllerEvents},
            {ExceptControlEventsBox, Texts::Except},
            {StandardLabel, Texts::Standard},
            {UserDefinedLabel, Texts::UserDefined},
            {InsertMidiResetBox, Texts::InsertMidiReset},
            {BeginningOfFileBox, Texts::BeginningOfFile},
            {EndOfFileBox, Texts::EndOfFile},
        };
        for (const auto& [id, caption] : captions) {
            QString text = toQString(caption.german);
            if (auto* button = controlAs<QAbstractButton>(id))
                button->setText(text);
            else if (auto* label = controlAs<QLabel>(id))
                label->setText(text);
        }
    }

    m_options = CleanOptions::load(m_store);
    for (int slot = 0; slot < slotCount; ++slot)
        m_decimalTexts[static_cast<std::size_t>(slot)] = decimalTextFor(slotAt(slot).Value);
    transferRecordToControls();
    applyEnabling();
    nameEntries();
    control(DeleteSysExEventsBox)->setFocus();
}

void CleanOptionsDialog::nameEntries()
{
    // The entries have no caption of their own: each gets a name that says which one it is,
    // and the column headings and row captions are tied to the entries they head.
    for (int slot = 0; slot < slotCount; ++slot) {
        const bool manufacturer = slot < manufacturerSlots;
        const int number = manufacturer ? slot + 1 : slot - manufacturerSlots + 1;
        const TextPair& hex =
            manufacturer ? Texts::ManufacturerIdHexName : Texts::ControllerHexName;
        const TextPair& decimal =
            manufacturer ? Texts::ManufacturerIdDecimalName : Texts::ControllerDecimalName;
        edit(hexEditId(slot))->setAccessibleName(toQString(hex.pick()).arg(number));
        edit(decimalEditId(slot))->setAccessibleName(toQString(decimal.pick()).arg(number));
    }
    for (QLabel* label : findChildren<QLabel*>()) {
        const bool hex = label->text() == QLatin1String("(hex)");
        if (!hex && label->text() != QLatin1String("(dez)"))
            continue;
        for (int slot : {0, manufacturerSlots}) {
            QWidget* first = edit(hex ? hexEditId(slot) : decimalEditId(slot));
            if (first->parentWidget() == label->parentWidget())
                label->setBuddy(first);
        }
    }
    controlAs<QLabel>(StandardLabel)->setBuddy(control(BankSelectMSBBox));
    controlAs<QLabel>(UserDefinedLabel)->setBuddy(edit(hexEditId(manufacturerSlots)));
}

void CleanOptionsDialog::onMainChoiceClicked()
{
    transferControlsToRecord();
    applyEnabling();
}

void CleanOptionsDialog::onSlotTextChanged(int slot, bool decimalEdit)
{
    if (m_transferring)
        return;
    // Held across the message too: whatever happens to the edits while the box is up must not
    // start another round of checks and boxes.
    QScopedValueRollback<bool> busy(m_transferring, true);

    transferControlsToRecord();
    ByteSlot& byteSlot = slotAt(slot);
    std::string& decimalText = m_decimalTexts[static_cast<std::size_t>(slot)];
    SlotTextChange change =
        decimalEdit ? decimalTextChanged(decimalText) : hexTextChanged(byteSlot.HexText);
    if (!change.accepted) {
        m_notifier.notify(change.message.pick());
        control(decimalEdit ? decimalEditId(slot) : hexEditId(slot))->setFocus();
        return;
    }
    byteSlot.Value = change.value;
    (decimalEdit ? byteSlot.HexText : decimalText) = change.partnerText;
    transferRecordToControls();
}

void CleanOptionsDialog::accept()
{
    transferControlsToRecord();
    std::vector<ConfirmationFailure> failures = checkConfirmation(m_options, m_decimalTexts);
    for (const ConfirmationFailure& failure : failures) {
        m_notifier.notify(failure.message.pick());
        if (failure.slot >= 0)
            control(failure.decimalEdit ? decimalEditId(failure.slot) : hexEditId(failure.slot))
                ->setFocus();
    }
    if (!failures.empty())
        return;

    m_options.save(m_store);
    m_options.recomputeSlotValues();
    transferControlsToRecord();
    TemplateDialog::accept();
}

void CleanOptionsDialog::transferControlsToRecord()
{
    QScopedValueRollback<bool> transferring(m_transferring, true);
    for (const FlagControl& flag : flagControls)
        m_options.*flag.flag = checkBox(flag.id)->isChecked() ? 1 : 0;
    for (int slot = 0; slot < slotCount; ++slot) {
        slotAt(slot).HexText = edit(hexEditId(slot))->text().toStdString();
        m_decimalTexts[static_cast<std::size_t>(slot)] =
            edit(decimalEditId(slot))->text().toStdString();
    }
}

void CleanOptionsDialog::transferRecordToControls()
{
    QScopedValueRollback<bool> transferring(m_transferring, true);
    for (const FlagControl& flag : flagControls) {
        std::int32_t& value = m_options.*flag.flag;
        // A two-state box shows the stored "indeterminate" 2 as ticked; anything else
        // unexpected reads as off.
        if (value < 0 || value > 2)
            value = 0;
        checkBox(flag.id)->setChecked(value != 0);
    }
    for (int slot = 0; slot < slotCount; ++slot) {
        showText(edit(hexEditId(slot)), slotAt(slot).HexText);
        showText(edit(decimalEditId(slot)), m_decimalTexts[static_cast<std::size_t>(slot)]);
    }
}

void CleanOptionsDialog::applyEnabling()
{
    OptionsEnabling enabling = enablingFor(m_options);
    control(ExceptManufacturerIdsBox)->setEnabled(enabling.exceptManufacturerIds);
    control(ExceptControlEventsBox)->setEnabled(enabling.exceptControlEvents);
    for (int id : standardControllerBoxes)
        control(id)->setEnabled(enabling.controllers);
    for (int slot = 0; slot < slotCount; ++slot) {
        bool enabled = slot < manufacturerSlots ? enabling.manufacturerEdits : enabling.controllers;
        control(hexEditId(slot))->setEnabled(enabled);
        control(decimalEditId(slot))->setEnabled(enabled);
    }
    control(BeginningOfFileBox)->setEnabled(enabling.resetPlaces);
    control(EndOfFileBox)->setEnabled(enabling.resetPlaces);
    control(ConfirmButton)->setEnabled(enabling.confirm);
}

ByteSlot& CleanOptionsDialog::slotAt(int slot)
{
    return slot < manufacturerSlots
        ? m_options.ManufacturerId[static_cast<std::size_t>(slot)]
        : m_options.Control[static_cast<std::size_t>(slot - manufacturerSlots)];
}

QCheckBox* CleanOptionsDialog::checkBox(int id) const
{
    return controlAs<QCheckBox>(id);
}

QLineEdit* CleanOptionsDialog::edit(int id) const
{
    return controlAs<QLineEdit>(id);
}

} // namespace sorvanel::ui
