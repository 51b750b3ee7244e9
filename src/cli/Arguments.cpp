#include "cli/Arguments.h"

#include <cstdio>

namespace sorvanel {

void reportUsageError(Notifier& notifier, std::string_view text)
{
    notifier.notify("sorvanel-cli: " + std::string(text) + "\nTry 'sorvanel-cli --help'.");
}

std::optional<ParsedArguments> parseArguments(
    const std::vector<std::string>& arguments, AcceptedOptions accepted, Notifier& notifier)
{
    constexpr std::string_view optionPrefix = "--option=";
    bool recursive = accepted != AcceptedOptions::None;
    bool clean = accepted == AcceptedOptions::Clean;
    bool restore = accepted == AcceptedOptions::Restore;
    ParsedArguments parsed;
    bool onlyPaths = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (onlyPaths || argument.size() < 2 || argument[0] != '-') {
            parsed.paths.push_back(argument); // "-" is a name too
        } else if (argument == "--") {
            onlyPaths = true;
        } else if (recursive && argument == "--recursive") {
            parsed.recursive = true;
        } else if (restore && argument == "--trash-changed") {
            parsed.trashChanged = true;
        } else if (clean && argument == "--dry-run") {
            parsed.dryRun = true;
        } else if (clean && argument == "--stored-options") {
            parsed.storedOptions = true;
        } else if (clean && (argument == "--option" || argument.starts_with(optionPrefix))) {
            std::string assignment;
            if (argument != "--option") {
                assignment = argument.substr(optionPrefix.size());
            } else if (i + 1 < arguments.size()) {
                assignment = arguments[++i];
            } else {
                reportUsageError(notifier, "option '--option' needs NAME=VALUE");
                return std::nullopt;
            }
            auto equals = assignment.find('=');
            if (equals == std::string::npos) {
                reportUsageError(notifier, "--option needs NAME=VALUE, not '" + assignment + "'");
                return std::nullopt;
            }
            parsed.assignments.emplace_back(
                assignment.substr(0, equals), assignment.substr(equals + 1));
        } else {
            reportUsageError(notifier, "unknown option '" + printable(argument) + "'");
            return std::nullopt;
        }
    }
    if (parsed.paths.empty()) {
        reportUsageError(notifier, "no file or folder given");
        return std::nullopt;
    }
    return parsed;
}

std::string printable(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            result += c;
            continue;
        }
        switch (c) {
        case '\n':
            result += "\\n";
            break;
        case '\r':
            result += "\\r";
            break;
        case '\t':
            result += "\\t";
            break;
        default:
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            result += escape;
        }
    }
    return result;
}

} // namespace sorvanel
