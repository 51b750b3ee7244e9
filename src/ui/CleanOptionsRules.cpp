#include "ui/CleanOptionsRules.h"

namespace sorvanel::ui {

OptionsEnabling enablingFor(const CleanOptions& options)
{
    bool sysEx = options.DeleteSysExEvents != 0;
    bool controllers = options.DeleteAllControlEvents != 0;
    bool reset = options.InsertMidiReset != 0;
    OptionsEnabling enabling;
    enabling.exceptManufacturerIds = sysEx;
    enabling.manufacturerEdits = sysEx && options.ExceptManufacturerIds != 0;
    enabling.exceptControlEvents = controllers;
    enabling.controllers = controllers && options.ExceptControlEvents != 0;
    enabling.resetPlaces = reset;
    enabling.confirm = sysEx || controllers || reset;
    return enabling;
}

std::string decimalTextFor(std::int32_t value)
{
    return value < 0 ? std::string() : valueToDecimalText(value);
}

SlotTextChange hexTextChanged(std::string_view hexText)
{
    if (!isValidHexText(hexText))
        return {false, -1, {}, Texts::InvalidHexValue};
    std::int32_t value = hexTextToValue(hexText);
    return {true, value, decimalTextFor(value), {}};
}

SlotTextChange decimalTextChanged(std::string_view decimalText)
{
    if (!isValidDecimalText(decimalText))
        return {false, -1, {}, Texts::InvalidDecimalValue};
    if (decimalText.empty())
        return {true, -1, {}, {}};
    // The strict check has limited the text to digits spelling at most 255.
    std::int32_t value = 0;
    for (char c : decimalText)
        value = value * 10 + (c - '0');
    return {true, value, valueToHexText(value), {}};
}

} // namespace sorvanel::ui
