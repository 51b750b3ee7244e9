#include "cleaning/CleanOptions.h"

#include <gtest/gtest.h>

namespace sorvanel {
namespace {

const char* const storedOrder[] = {"DeleteSysExEvents", "ExceptManufacturerIds", "ManufacturerId1",
    "ManufacturerId2", "ManufacturerId3", "ManufacturerId4", "ManufacturerId5", "ManufacturerId6",
    "ManufacturerId7", "ManufacturerId8", "ManufacturerId9", "ManufacturerId10", "ManufacturerId11",
    "ManufacturerId12", "DeleteAllControlEvents", "ExceptControlEvents", "BankSelectLSB", "Volume",
    "Pan", "Expression", "BankSelectMSB", "Reverb", "Chorus", "Modulation", "PitchBend", "Sustain",
    "Control1", "Control2", "Control3", "Control4", "Control5", "Control6", "Control7", "Control8",
    "InsertMidiReset", "BeginningOfFile", "EndOfFile"};

TEST(CleanOptions, FirstStartDefaults)
{
    MemorySettingsStore empty;
    CleanOptions options = CleanOptions::load(empty);
    const std::pair<const char*, std::int32_t> expected[] = {{"DeleteSysExEvents", 0},
        {"ExceptManufacturerIds", 0}, {"DeleteAllControlEvents", 0}, {"ExceptControlEvents", 1},
        {"BankSelectMSB", 1}, {"Modulation", 1}, {"Volume", 1}, {"Pan", 1}, {"Expression", 1},
        {"BankSelectLSB", 0}, {"Sustain", 1}, {"Reverb", 1}, {"Chorus", 1}, {"PitchBend", 1},
        {"InsertMidiReset", 0}, {"BeginningOfFile", 1}, {"EndOfFile", 0}};
    auto values = storedOptions(options);
    for (auto [name, value] : expected) {
        auto found = std::find_if(
            values.begin(), values.end(), [&](const StoredOption& v) { return v.name == name; });
        ASSERT_NE(found, values.end()) << name;
        ASSERT_NE(found->flag, nullptr) << name;
        EXPECT_EQ(*found->flag, value) << name;
    }
    for (const StoredOption& v : values)
        if (v.slot) {
            EXPECT_EQ(v.slot->HexText, "") << v.name;
            EXPECT_EQ(v.slot->Value, -1) << v.name;
        }
    EXPECT_TRUE(empty.values.empty()) << "loading writes nothing";
}

TEST(CleanOptions, SavesAll37ValuesInOrderWithTheirKinds)
{
    MemorySettingsStore store;
    CleanOptions options;
    options.ManufacturerId[0].HexText = "41";
    options.Control[7].HexText = "0a";
    options.save(store);

    ASSERT_EQ(store.writes.size(), std::size(storedOrder));
    EXPECT_EQ(store.writesOutsideSession, 0) << "one session: the settings file is written once";
    EXPECT_EQ(store.sessionsCommitted, 1);
    for (std::size_t i = 0; i < std::size(storedOrder); ++i)
        EXPECT_EQ(store.writes[i], std::string("Settings/") + storedOrder[i]);

    auto kind = [&](const char* name) { return store.find("Settings", name)->index(); };
    EXPECT_EQ(kind("Volume"), 0u) << "flags are integers";
    EXPECT_EQ(kind("ManufacturerId1"), 1u) << "slots are strings";
    // Empty slots are written as empty strings, not left out.
    EXPECT_EQ(std::get<std::string>(*store.find("Settings", "ManufacturerId2")), "");
    EXPECT_EQ(std::get<std::string>(*store.find("Settings", "Control8")), "0a");
}

TEST(CleanOptions, LoadKeepsStoredTextAndComputesValue)
{
    struct Row
    {
        const char* stored;
        std::int32_t value;
    };
    const Row rows[] = {
        {"", -1},
        {"0a", 10},
        {"7E", 126},
        {"G", 0},
        {"1G", 1},
        {" f f", 255},
        {"100", 256},
        {"7FFFFFFF", 0x7FFFFFFF},
        // Beyond 32 bits the number stays at the largest one: it must neither become -1
        // ("empty") nor wrap round to a small number that looks like a real ID.
        {"FFFFFFFF", 0x7FFFFFFF},
        {"100000041", 0x7FFFFFFF},
        {"000000000000041", 0x41},
    };
    for (const Row& row : rows) {
        MemorySettingsStore store;
        store.WriteProfileString("Settings", "ManufacturerId3", row.stored);
        store.WriteProfileString("Settings", "Control5", row.stored);
        CleanOptions options = CleanOptions::load(store);
        EXPECT_EQ(options.ManufacturerId[2].HexText, row.stored);
        EXPECT_EQ(options.ManufacturerId[2].Value, row.value) << '"' << row.stored << '"';
        EXPECT_EQ(options.Control[4].Value, row.value) << '"' << row.stored << '"';
    }
}

TEST(CleanOptions, SaveThenLoadGivesTheSameRecord)
{
    CleanOptions options;
    std::int32_t n = 0;
    for (StoredOption& v : storedOptions(options)) {
        if (v.flag)
            *v.flag = (n++ % 3 == 0) ? 1 : 0; // differs from the defaults in places
        else
            v.slot->HexText = valueToHexText(n++);
    }
    options.recomputeSlotValues();
    MemorySettingsStore store;
    options.save(store);
    CleanOptions loaded = CleanOptions::load(store);
    auto a = storedOptions(options);
    auto b = storedOptions(loaded);
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].flag) {
            EXPECT_EQ(*a[i].flag, *b[i].flag) << a[i].name;
        } else {
            EXPECT_EQ(a[i].slot->HexText, b[i].slot->HexText) << a[i].name;
            EXPECT_EQ(a[i].slot->Value, b[i].slot->Value) << a[i].name;
        }
    }
}

TEST(SlotConversions, Formats)
{
    EXPECT_EQ(valueToHexText(10), "A");
    EXPECT_EQ(valueToHexText(0), "0");
    EXPECT_EQ(valueToHexText(255), "FF");
    EXPECT_EQ(valueToDecimalText(126), "126");
    EXPECT_EQ(valueToDecimalText(-1), "-1");
}

TEST(SlotConversions, StrictChecks)
{
    struct Row
    {
        const char* text;
        bool hexOk;
        bool decimalOk;
    };
    const Row rows[] = {
        {"", true, true},
        {"0", true, true},
        {"7e", true, false},
        {"FF", true, false},
        {"ff", true, false},
        {"000FF", true, false},
        {"1FF", false, false},
        {"100000000", false, false}, // nine digits: its number exceeds FF
        {"255", false, true},
        {"0255", false, true},
        {"256", false, false},
        {"99", true, true},
        {"G", false, false},
        {"1 ", false, false},
        {"-1", false, false},
        {"+1", false, false},
        {"0000000000000000000000001", true, true},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(isValidHexText(row.text), row.hexOk) << '"' << row.text << '"';
        EXPECT_EQ(isValidDecimalText(row.text), row.decimalOk) << '"' << row.text << '"';
    }
}

TEST(CheckConfirmation, ReportsWhatTheDialogWouldShow)
{
    struct Row
    {
        const char* name;
        std::int32_t deleteSysEx, deleteControllers, insertReset;
        const char* manufacturer5;
        const char* control2;
        std::vector<std::pair<int, std::string_view>> expected; // slot, English message
    };
    const auto nothing = Texts::NothingSelectedToDelete.english;
    const auto badHex = Texts::InvalidHexValue.english;
    const Row rows[] = {
        {"nothing chosen", 0, 0, 0, "ZZ", "ZZ", {{-1, nothing}}},
        {"reset only, slots unchecked", 0, 0, 1, "ZZ", "ZZ", {}},
        {"sysex checks its group only", 1, 0, 0, "ZZ", "ZZ", {{4, badHex}}},
        {"controllers check their group only", 0, 1, 0, "ZZ", "1FF", {{13, badHex}}},
        {"both groups report", 1, 1, 0, "100", "G", {{4, badHex}, {13, badHex}}},
        {"all valid", 1, 1, 1, "0a", "000FF", {}},
    };
    for (const Row& row : rows) {
        CleanOptions options;
        options.DeleteSysExEvents = row.deleteSysEx;
        options.DeleteAllControlEvents = row.deleteControllers;
        options.InsertMidiReset = row.insertReset;
        options.ManufacturerId[4].HexText = row.manufacturer5;
        options.Control[1].HexText = row.control2;
        auto failures = checkConfirmation(options);
        ASSERT_EQ(failures.size(), row.expected.size()) << row.name;
        for (std::size_t i = 0; i < failures.size(); ++i) {
            EXPECT_EQ(failures[i].slot, row.expected[i].first) << row.name;
            EXPECT_EQ(failures[i].message.english, row.expected[i].second) << row.name;
        }
    }
}

TEST(CheckConfirmation, FirstBadEntryOfAGroupOnlyHexBeforeDecimal)
{
    CleanOptions options;
    options.DeleteSysExEvents = 1;
    std::vector<std::string> decimals(20);
    decimals[1] = "300";
    options.ManufacturerId[3].HexText = "G"; // a later slot: not reported
    auto failures = checkConfirmation(options, decimals);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].slot, 1);
    EXPECT_TRUE(failures[0].decimalEdit);
    EXPECT_EQ(failures[0].message.german, Texts::InvalidDecimalValue.german);

    options.ManufacturerId[1].HexText = "1FF";
    failures = checkConfirmation(options, decimals);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_FALSE(failures[0].decimalEdit);
}

} // namespace
} // namespace sorvanel
