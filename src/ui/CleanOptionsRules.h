#pragma once

#include "cleaning/CleanOptions.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace sorvanel::ui {

/// Which parts of the options dialog the current choices make meaningful. The three main
/// check boxes, the labels and Cancel are always enabled.
struct OptionsEnabling
{
    bool exceptManufacturerIds = false; ///< its check box
    bool manufacturerEdits = false; ///< the 24 manufacturer edits
    bool exceptControlEvents = false; ///< its check box
    bool controllers = false; ///< the ten standard controller boxes and the 16 controller edits
    bool resetPlaces = false; ///< "Beginning of file" and "End of file"
    bool confirm = false; ///< the confirm button

    bool operator==(const OptionsEnabling&) const = default;
};

/// Greying never changes a box or an edit, so a group switched off keeps its entries for the
/// next time it is switched on. Any non-zero flag counts as set.
OptionsEnabling enablingFor(const CleanOptions& options);

/// What one change of a slot's hex or decimal text does to the slot.
struct SlotTextChange
{
    /// False: the text fails the strict check; the slot and the partner edit stay as they were
    /// and the user is told (`message`).
    bool accepted = false;
    std::int32_t value = -1; ///< the slot's new `Value` when accepted
    std::string partnerText; ///< the other edit's new text when accepted
    TextPair message{}; ///< when refused
};

/// The hex text of a slot now reads `hexText`: the decimal partner follows ("%d", empty for an
/// empty text).
SlotTextChange hexTextChanged(std::string_view hexText);

/// The decimal text of a slot now reads `decimalText`: the hex partner follows ("%X", empty
/// for an empty text).
SlotTextChange decimalTextChanged(std::string_view decimalText);

/// The decimal text shown for a slot value: "%d", empty for -1.
std::string decimalTextFor(std::int32_t value);

} // namespace sorvanel::ui
