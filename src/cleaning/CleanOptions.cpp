#include "cleaning/CleanOptions.h"

#include <cstdio>
#include <limits>

namespace sorvanel {

namespace {

int hexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

/// Whether `text` is all digits of `base` (16 or 10) spelling a number of at most 255.
bool spellsByte(std::string_view text, int base)
{
    std::int32_t value = 0;
    for (char c : text) {
        int digit = hexDigitValue(c);
        if (digit < 0 || digit >= base)
            return false;
        value = value * base + digit;
        if (value > 255)
            return false;
    }
    return true;
}

} // namespace

std::int32_t hexTextToValue(std::string_view text)
{
    if (text.empty())
        return -1;
    // A stored text can hold any number of digits (it only ever passes the strict check when
    // its group is in use). Letting the number wrap around 32 bits could turn a filled slot
    // into -1, which means "empty", or into a small number that looks like a real ID, so a
    // number that no longer fits stays at the largest one: it never matches a byte.
    constexpr std::int64_t limit = std::numeric_limits<std::int32_t>::max();
    std::int64_t value = 0;
    for (char c : text) {
        int digit = hexDigitValue(c);
        if (digit < 0)
            continue;
        value = value * 16 + digit;
        if (value > limit)
            value = limit;
    }
    return static_cast<std::int32_t>(value);
}

std::string valueToHexText(std::int32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(value));
    return text;
}

std::string valueToDecimalText(std::int32_t value)
{
    return std::to_string(value);
}

bool isValidHexText(std::string_view text)
{
    return spellsByte(text, 16);
}

bool isValidDecimalText(std::string_view text)
{
    return spellsByte(text, 10);
}

std::vector<StoredOption> storedOptions(CleanOptions& o)
{
    std::vector<StoredOption> list;
    list.reserve(37);
    auto flag = [&](const char* name, std::int32_t& field, std::int32_t defaultValue) {
        list.push_back({name, &field, nullptr, defaultValue});
    };
    auto slots = [&](const char* prefix, auto& array) {
        for (std::size_t i = 0; i < array.size(); ++i)
            list.push_back({prefix + std::to_string(i + 1), nullptr, &array[i], 0});
    };
    flag("DeleteSysExEvents", o.DeleteSysExEvents, 0);
    flag("ExceptManufacturerIds", o.ExceptManufacturerIds, 0);
    slots("ManufacturerId", o.ManufacturerId);
    flag("DeleteAllControlEvents", o.DeleteAllControlEvents, 0);
    flag("ExceptControlEvents", o.ExceptControlEvents, 1);
    flag("BankSelectLSB", o.BankSelectLSB, 0);
    flag("Volume", o.Volume, 1);
    flag("Pan", o.Pan, 1);
    flag("Expression", o.Expression, 1);
    flag("BankSelectMSB", o.BankSelectMSB, 1);
    flag("Reverb", o.Reverb, 1);
    flag("Chorus", o.Chorus, 1);
    flag("Modulation", o.Modulation, 1);
    flag("PitchBend", o.PitchBend, 1);
    flag("Sustain", o.Sustain, 1);
    slots("Control", o.Control);
    flag("InsertMidiReset", o.InsertMidiReset, 0);
    flag("BeginningOfFile", o.BeginningOfFile, 1);
    flag("EndOfFile", o.EndOfFile, 0);
    return list;
}

CleanOptions CleanOptions::load(SettingsStore& store)
{
    CleanOptions options;
    for (StoredOption& value : storedOptions(options)) {
        if (value.flag)
            *value.flag = store.GetProfileInt(settingsSection, value.name, value.defaultValue);
        else
            value.slot->HexText = store.GetProfileString(settingsSection, value.name, "");
    }
    options.recomputeSlotValues();
    return options;
}

void CleanOptions::save(SettingsStore& store) const
{
    // The list binds mutable fields; saving only reads them.
    CleanOptions copy = *this;
    SettingsSession session(store);
    for (const StoredOption& value : storedOptions(copy)) {
        if (value.flag)
            store.WriteProfileInt(settingsSection, value.name, *value.flag);
        else
            store.WriteProfileString(settingsSection, value.name, value.slot->HexText);
    }
}

void CleanOptions::recomputeSlotValues()
{
    for (ByteSlot& slot : ManufacturerId)
        slot.Value = hexTextToValue(slot.HexText);
    for (ByteSlot& slot : Control)
        slot.Value = hexTextToValue(slot.HexText);
}

std::vector<ConfirmationFailure> checkConfirmation(
    const CleanOptions& options, std::span<const std::string> decimalTexts)
{
    std::vector<ConfirmationFailure> failures;
    if (options.DeleteSysExEvents == 0 && options.DeleteAllControlEvents == 0
        && options.InsertMidiReset == 0) {
        failures.push_back({Texts::NothingSelectedToDelete, -1, false});
        return failures;
    }
    auto checkGroup = [&](std::span<const ByteSlot> group, int first) {
        for (std::size_t i = 0; i < group.size(); ++i) {
            int slot = first + static_cast<int>(i);
            if (!isValidHexText(group[i].HexText)) {
                failures.push_back({Texts::InvalidHexValue, slot, false});
                return;
            }
            if (static_cast<std::size_t>(slot) < decimalTexts.size()
                && !isValidDecimalText(decimalTexts[static_cast<std::size_t>(slot)])) {
                failures.push_back({Texts::InvalidDecimalValue, slot, true});
                return;
            }
        }
    };
    if (options.DeleteSysExEvents != 0)
        checkGroup(options.ManufacturerId, 0);
    if (options.DeleteAllControlEvents != 0)
        checkGroup(options.Control, 12);
    return failures;
}

} // namespace sorvanel
