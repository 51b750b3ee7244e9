#include "settings/SettingsStore.h"

#include <gtest/gtest.h>

namespace sorvanel {
namespace {

TEST(ParseStoredInt, AcceptsOnlyWholeDecimalNumbersThatFit)
{
    struct Row
    {
        const char* text;
        std::optional<std::int32_t> expected;
    };
    const Row rows[] = {
        {"0", 0},
        {"+5", 5},
        {"-1", -1},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"2147483648", std::nullopt},
        {"", std::nullopt},
        {"+", std::nullopt},
        {" 1", std::nullopt},
        {"1 ", std::nullopt},
        {"1G", std::nullopt},
        {"0x1", std::nullopt},
    };
    for (const Row& row : rows)
        EXPECT_EQ(parseStoredInt(row.text), row.expected) << '"' << row.text << '"';
}

TEST(MemorySettingsStore, ReadsDefaultsThenStoredValues)
{
    MemorySettingsStore store;
    EXPECT_EQ(store.GetProfileInt("Settings", "WindowShowCmd", 1), 1);
    EXPECT_EQ(store.GetProfileString("Settings", "Folder", "x"), "x");

    store.WriteProfileInt("Settings", "WindowShowCmd", 3);
    store.WriteProfileString("Settings", "Folder", "");
    EXPECT_EQ(store.GetProfileInt("Settings", "WindowShowCmd", 1), 3);
    // The empty text is a value of its own, not a missing one.
    EXPECT_EQ(store.GetProfileString("Settings", "Folder", "x"), "");
    // Sections are separate.
    EXPECT_EQ(store.GetProfileInt("Other", "WindowShowCmd", 1), 1);
}

TEST(MemorySettingsStore, ConvertsBetweenKindsLikeATextStore)
{
    MemorySettingsStore store;
    store.WriteProfileInt("Settings", "Volume", -4);
    store.WriteProfileString("Settings", "Pan", "17");
    store.WriteProfileString("Settings", "Chorus", "on");
    EXPECT_EQ(store.GetProfileString("Settings", "Volume", ""), "-4");
    EXPECT_EQ(store.GetProfileInt("Settings", "Pan", 0), 17);
    EXPECT_EQ(store.GetProfileInt("Settings", "Chorus", 1), 1);
}

} // namespace
} // namespace sorvanel
