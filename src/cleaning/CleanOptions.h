#pragma once

#include "settings/SettingsStore.h"
#include "settings/Texts.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sorvanel {

/// One optional byte entry of the options: a manufacturer ID or a controller number.
struct ByteSlot
{
    /// The hex digits as typed, kept verbatim (case, leading zeros); empty: slot not used.
    /// Only this text is stored.
    std::string HexText;
    /// -1 for an empty `HexText`, otherwise the number it spells.
    std::int32_t Value = -1;
};

/// The options of one cleaning run. Every field bears the name of its stored value; slot i of
/// `ManufacturerId` is stored as "ManufacturerId<i+1>", slot i of `Control` as "Control<i+1>".
/// The defaults are those of a first start.
struct CleanOptions
{
    std::int32_t DeleteSysExEvents = 0;
    std::int32_t ExceptManufacturerIds = 0;
    std::int32_t DeleteAllControlEvents = 0;
    std::int32_t ExceptControlEvents = 1;
    std::int32_t BankSelectMSB = 1;
    std::int32_t Modulation = 1;
    std::int32_t Volume = 1;
    std::int32_t Pan = 1;
    std::int32_t Expression = 1;
    std::int32_t BankSelectLSB = 0;
    std::int32_t Sustain = 1;
    std::int32_t Reverb = 1;
    std::int32_t Chorus = 1;
    std::int32_t PitchBend = 1;
    std::int32_t InsertMidiReset = 0;
    std::int32_t BeginningOfFile = 1;
    std::int32_t EndOfFile = 0;

    std::array<ByteSlot, 12> ManufacturerId;
    std::array<ByteSlot, 8> Control;

    /// Reads all 37 values (defaults for what is missing) and computes every slot's `Value`
    /// with the lenient conversion.
    static CleanOptions load(SettingsStore& store);
    /// Writes all 37 values, flags as integers and slots as their `HexText` (an empty slot as
    /// an empty string), whether they changed or not.
    void save(SettingsStore& store) const;

    /// Sets every slot's `Value` from its `HexText` with the lenient conversion.
    void recomputeSlotValues();
};

/// One of the 37 stored values of `CleanOptions`, bound to its field: exactly one of `flag`
/// and `slot` is set.
struct StoredOption
{
    std::string name;
    std::int32_t* flag = nullptr;
    ByteSlot* slot = nullptr;
    std::int32_t defaultValue = 0; ///< for flags
};

/// The 37 stored values of `options` in the order they are loaded and saved.
std::vector<StoredOption> storedOptions(CleanOptions& options);

/// Lenient conversion of a slot's text: -1 for the empty text; otherwise every hex digit
/// (either case) adds to the number and every other character is skipped, so "1G" is 1 and
/// "G" is 0. A number beyond 32 bits stays at 0x7FFFFFFF (see the definition).
std::int32_t hexTextToValue(std::string_view text);

/// "%X": upper-case hex without leading zeros.
std::string valueToHexText(std::int32_t value);
/// "%d".
std::string valueToDecimalText(std::int32_t value);

/// Strict checks of what the user types: the empty text passes; otherwise every character
/// must be a hex digit (either case) or a decimal digit, and the number at most 255, however
/// many leading zeros it has.
bool isValidHexText(std::string_view text);
bool isValidDecimalText(std::string_view text);

/// A check that stops the options from being confirmed.
struct ConfirmationFailure
{
    TextPair message;
    /// The slot whose edit gets the focus: 0 … 11 the manufacturer slots, 12 … 19 the
    /// controller slots; -1 when no slot is at fault.
    int slot = -1;
    bool decimalEdit = false; ///< the slot's decimal edit rather than its hex edit
};

/// The checks of confirming the options, in the order their messages are shown: nothing to do
/// at all (then nothing else is checked), else the first bad entry of the manufacturer slots
/// when SysEx events are deleted, and the first bad entry of the controller slots when
/// controller events are deleted. Each slot is checked hex text first, then its decimal text
/// from `decimalTexts` (the 20 texts in slot order; none when empty). Empty result: confirmed.
std::vector<ConfirmationFailure> checkConfirmation(
    const CleanOptions& options, std::span<const std::string> decimalTexts = {});

} // namespace sorvanel
