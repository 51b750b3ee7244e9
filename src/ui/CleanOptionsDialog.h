#pragma once

#include "cleaning/CleanOptions.h"
#include "platform/Notifier.h"
#include "settings/SettingsStore.h"
#include "ui/controls/TemplateDialog.h"

#include <array>
#include <cstdint>
#include <string>

class QCheckBox;
class QLineEdit;

namespace sorvanel::ui {

/// The modal "Clean Midi Files" dialog a clean run opens: it loads the options from the store,
/// keeps each hex/decimal slot pair in step while the user types, greys out what the current
/// choices make meaningless and, once the entries pass their checks, saves the options and
/// closes with OK. After OK the caller reads `options()`; after Cancel nothing was saved.
///
/// Slots are numbered 0 … 19: 0 … 11 are `ManufacturerId1` … `ManufacturerId12`, 12 … 19 are
/// `Control1` … `Control8` (the numbering of `ConfirmationFailure::slot`).
class CleanOptionsDialog : public TemplateDialog
{
    Q_OBJECT

public:
    enum ControlId {
        ConfirmButton = 1,
        CancelButton = 2,
        DeleteSysExEventsBox = 1070,
        ExceptManufacturerIdsBox = 1071,
        FirstManufacturerHexEdit = 1072,
        FirstManufacturerDecimalEdit = 1084,
        DeleteAllControlEventsBox = 1096,
        ExceptControlEventsBox = 1097,
        BankSelectMSBBox = 1098,
        VolumeBox = 1099,
        PanBox = 1100,
        ExpressionBox = 1101,
        BankSelectLSBBox = 1102,
        FirstControlHexEdit = 1103,
        FirstControlDecimalEdit = 1111,
        ReverbBox = 1119,
        ChorusBox = 1120,
        InsertMidiResetBox = 1121,
        BeginningOfFileBox = 1122,
        EndOfFileBox = 1123,
        ModulationBox = 1124,
        StandardLabel = 1126,
        SustainBox = 1127,
        PitchBendBox = 1128,
        UserDefinedLabel = 1130,
    };

    static constexpr int manufacturerSlots = 12;
    static constexpr int slotCount = 20;

    /// The IDs of slot `slot`'s two edits.
    static int hexEditId(int slot);
    static int decimalEditId(int slot);

    /// Loads the options from `store` at once. `store` and `notifier` must outlive the dialog;
    /// the dialog's messages go to `notifier`.
    CleanOptionsDialog(SettingsStore& store, Notifier& notifier, QWidget* parent = nullptr);

    /// The options as the dialog holds them; after OK, the confirmed options the run applies
    /// (every slot's `Value` recomputed from its text).
    const CleanOptions& options() const { return m_options; }

    /// Captions the window and its confirming button as a preview's, which writes nothing.
    void setPreview();

    /// Confirms: checks the entries and, when they pass, saves the options and closes with OK.
    /// Otherwise the dialog tells the user what is wrong and stays open.
    void accept() override;

private:
    void OnInitDialog();
    /// Names the hex and decimal entries and ties the labels to what they caption.
    void nameEntries();
    void onMainChoiceClicked();
    void onSlotTextChanged(int slot, bool decimalEdit);

    void transferControlsToRecord();
    void transferRecordToControls();
    void applyEnabling();

    ByteSlot& slotAt(int slot);
    QCheckBox* checkBox(int id) const;
    QLineEdit* edit(int id) const;

    SettingsStore& m_store;
    Notifier& m_notifier;
    CleanOptions m_options;
    /// The decimal texts beside the slots; they are never stored.
    std::array<std::string, slotCount> m_decimalTexts;
    /// Set while the dialog moves values itself or reacts to a change, so that writing an edit
    /// never starts that edit's own handler.
    bool m_transferring = false;
};

} // namespace sorvanel::ui
