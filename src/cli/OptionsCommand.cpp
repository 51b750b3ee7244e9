#include "cleaning/CleanOptions.h"
#include "cli/Arguments.h"
#include "cli/Commands.h"

#include <cstdio>
#include <ostream>
#include <string_view>

namespace sorvanel {

namespace {

/// What each stored option does, by name; a slot's number is left off ("ManufacturerId").
struct Meaning
{
    std::string_view name;
    std::string_view text;
};

constexpr Meaning meanings[] = {
    {"DeleteSysExEvents", "delete every SysEx event (status F0 or F7)"},
    {"ExceptManufacturerIds", "but spare those of the manufacturer IDs below"},
    {"ManufacturerId", "a manufacturer ID (hex) whose SysEx is spared"},
    {"DeleteAllControlEvents", "delete every controller and pitch-bend event"},
    {"ExceptControlEvents", "but spare those named below and in Control1-8"},
    {"BankSelectMSB", "spare controller 0 (00, Bank Select MSB)"},
    {"Modulation", "spare controller 1 (01, Modulation)"},
    {"Volume", "spare controller 7 (07, Volume)"},
    {"Pan", "spare controller 10 (0A, Pan)"},
    {"Expression", "spare controller 11 (0B, Expression)"},
    {"BankSelectLSB", "spare controller 32 (20, Bank Select LSB)"},
    {"Sustain", "spare controller 64 (40, Sustain)"},
    {"Reverb", "spare controller 91 (5B, Reverb)"},
    {"Chorus", "spare controller 93 (5D, Chorus)"},
    {"PitchBend", "spare pitch-bend events"},
    {"Control", "a controller number (hex) that is spared"},
    {"InsertMidiReset", "insert Reset All Controllers on used channels"},
    {"BeginningOfFile", "insert them at the beginning of each track"},
    {"EndOfFile", "insert them at the end of each track"},
};

std::string_view meaningOf(std::string_view name)
{
    while (!name.empty() && name.back() >= '0' && name.back() <= '9')
        name.remove_suffix(1);
    for (const Meaning& meaning : meanings)
        if (meaning.name == name)
            return meaning.text;
    return {};
}

constexpr const char* heading =
    "Options of 'sorvanel-cli clean --option NAME=VALUE', in the options dialog's\n"
    "order. A flag takes 0 (off) or 1 (on), a slot hex digits 0 to FF or nothing\n"
    "(empty). An option not given keeps the default shown, or with --stored-options\n"
    "the value the program stored. Spare options count only when their delete\n"
    "option is on.\n"
    "\n"
    "NAME                    DEFAULT MEANING\n";

} // namespace

int runOptions(const CommandContext& context)
{
    if (!context.arguments.empty()) {
        reportUsageError(context.notifier, "options takes no arguments");
        return wrongUsage;
    }
    CleanOptions defaults;
    std::vector<StoredOption> stored = storedOptions(defaults);
    context.out << heading;
    // The dialog's order: the fields' order, each slot group after its exception flag.
    auto print = [&](const StoredOption& option) {
        std::string value = option.flag ? std::to_string(option.defaultValue) : "empty";
        char line[160];
        std::snprintf(line, sizeof line, "%-23s %-7s %s\n", option.name.c_str(), value.c_str(),
            std::string(meaningOf(option.name)).c_str());
        context.out << line;
    };
    for (const Meaning& meaning : meanings)
        for (const StoredOption& option : stored)
            if (option.name.starts_with(meaning.name)
                && meaningOf(option.name).data() == meaning.text.data())
                print(option);
    return 0;
}

} // namespace sorvanel
