#pragma once

#include "settings/SettingsStore.h"

#include <functional>
#include <string_view>

namespace sorvanel {

enum class Language { English, German };

/// The interface language of this process: English until `settleUiLanguage` has run, then
/// fixed for the rest of the run.
Language UiLanguage();

/// Sets the process-wide language. Only `settleUiLanguage` and tests call this.
void setUiLanguage(Language language);

/// The stored value that holds the choice: exactly "G" or "E"; anything else is no choice.
inline constexpr std::string_view languageValueName = "Language";

/// Settles `UiLanguage` from the store. When no language has been chosen yet, `runChooser`
/// shows the language chooser modally and returns whether it ended with OK (the chooser
/// itself stores the choice); the value is then read again.
void settleUiLanguage(SettingsStore& store, const std::function<bool()>& runChooser);

/// What the language chooser stores on OK: "G" for choice 0 (German), "E" for choice 1
/// (English). Returns false and stores nothing for any other choice (-1: none yet).
bool storeLanguageChoice(SettingsStore& store, int choice);

} // namespace sorvanel
