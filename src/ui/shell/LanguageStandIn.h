#pragma once

// Stands in for the settings library's interface language until that library is part of the
// build; same names, so the switch is a change of include.

namespace sorvanel {

enum class Language { English, German };

inline Language& standInLanguage()
{
    static Language language = Language::English;
    return language;
}

inline Language UiLanguage()
{
    return standInLanguage();
}

inline void setUiLanguage(Language language)
{
    standInLanguage() = language;
}

} // namespace sorvanel
