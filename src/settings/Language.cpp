#include "settings/Language.h"

namespace sorvanel {

namespace {

Language currentLanguage = Language::English;

bool isChoice(std::string_view stored)
{
    return stored == "G" || stored == "E";
}

} // namespace

Language UiLanguage()
{
    return currentLanguage;
}

void setUiLanguage(Language language)
{
    currentLanguage = language;
}

void settleUiLanguage(SettingsStore& store, const std::function<bool()>& runChooser)
{
    std::string stored = store.GetProfileString(settingsSection, languageValueName, "");
    if (!isChoice(stored) && runChooser && runChooser())
        stored = store.GetProfileString(settingsSection, languageValueName, "");
    setUiLanguage(stored == "G" ? Language::German : Language::English);
}

bool storeLanguageChoice(SettingsStore& store, int choice)
{
    if (choice != 0 && choice != 1)
        return false;
    store.WriteProfileString(settingsSection, languageValueName, choice == 0 ? "G" : "E");
    return true;
}

} // namespace sorvanel
