#include "settings/Language.h"

#include "settings/Texts.h"

#include <gtest/gtest.h>

namespace sorvanel {
namespace {

class LanguageTest : public ::testing::Test
{
protected:
    void TearDown() override { setUiLanguage(Language::English); }
};

TEST_F(LanguageTest, RuleRunsTheChooserOnlyWithoutAValidChoice)
{
    enum class Chooser { NotStored, PicksGerman, PicksEnglish, Cancelled };
    struct Row
    {
        const char* stored; // null: absent
        Chooser chooser;
        bool chooserRuns;
        Language expected;
        const char* storedAfter;
    };
    const Row rows[] = {
        {nullptr, Chooser::PicksGerman, true, Language::German, "G"},
        {nullptr, Chooser::PicksEnglish, true, Language::English, "E"},
        {nullptr, Chooser::Cancelled, true, Language::English, nullptr},
        {"G", Chooser::PicksEnglish, false, Language::German, "G"},
        {"E", Chooser::PicksGerman, false, Language::English, "E"},
        {"g", Chooser::PicksGerman, true, Language::German, "G"},
        {"g", Chooser::Cancelled, true, Language::English, "g"},
        {"", Chooser::Cancelled, true, Language::English, ""},
        {"G ", Chooser::PicksEnglish, true, Language::English, "E"},
        {"German", Chooser::Cancelled, true, Language::English, "German"},
        // A chooser that ends with OK but stored nothing leaves the first value in force.
        {"X", Chooser::NotStored, true, Language::English, "X"},
    };
    for (const Row& row : rows) {
        setUiLanguage(Language::English);
        MemorySettingsStore store;
        if (row.stored)
            store.WriteProfileString("Settings", "Language", row.stored);
        bool ran = false;
        settleUiLanguage(store, [&] {
            ran = true;
            switch (row.chooser) {
            case Chooser::PicksGerman:
                return storeLanguageChoice(store, 0);
            case Chooser::PicksEnglish:
                return storeLanguageChoice(store, 1);
            case Chooser::NotStored:
                return true;
            case Chooser::Cancelled:
                return false;
            }
            return false;
        });
        SCOPED_TRACE(row.stored ? row.stored : "(absent)");
        EXPECT_EQ(ran, row.chooserRuns);
        EXPECT_EQ(UiLanguage(), row.expected);
        const auto* after = store.find("Settings", "Language");
        if (row.storedAfter) {
            ASSERT_NE(after, nullptr);
            EXPECT_EQ(std::get<std::string>(*after), row.storedAfter);
        } else {
            EXPECT_EQ(after, nullptr);
        }
    }
}

TEST_F(LanguageTest, ChooserStoresNothingWithoutAChoice)
{
    MemorySettingsStore store;
    EXPECT_FALSE(storeLanguageChoice(store, -1));
    EXPECT_FALSE(storeLanguageChoice(store, 2));
    EXPECT_TRUE(store.values.empty());
}

TEST_F(LanguageTest, PairsFollowTheCurrentLanguage)
{
    EXPECT_EQ(Texts::NoMidiFileChanged.pick(), "<no midi file changed>");
    setUiLanguage(Language::German);
    EXPECT_EQ(Texts::NoMidiFileChanged.pick(), "<Keine Midifiles verändert>");
    EXPECT_EQ(Texts::Clean.pick(), "S\xC3\xA4ubern"); // UTF-8
    EXPECT_EQ(Texts::Clean.pick(Language::English), "Clean");
}

} // namespace
} // namespace sorvanel
