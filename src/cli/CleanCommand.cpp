#include "cleaning/CleanRun.h"
#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/FileArguments.h"
#include "platform/FileOps.h"
#include "platform/Notifier.h"

#ifdef SORVANEL_HAVE_QTSETTINGS
#include "platform/qt/QtSettingsStore.h"
#endif

#include <optional>
#include <ostream>

namespace sorvanel {

namespace {

/// The program whose stored options `--stored-options` reads.
constexpr const char* programName = "Sorvanel";

bool applyAssignment(
    CleanOptions& options, const std::string& name, const std::string& value, Notifier& notifier)
{
    for (StoredOption& stored : storedOptions(options)) {
        if (stored.name != name)
            continue;
        if (stored.flag) {
            if (value != "0" && value != "1") {
                reportUsageError(notifier, name + " takes 0 or 1, not '" + value + "'");
                return false;
            }
            *stored.flag = value == "1" ? 1 : 0;
        } else {
            stored.slot->HexText = value;
        }
        return true;
    }
    reportUsageError(
        notifier, "unknown option name '" + name + "' ('sorvanel-cli options' lists them)");
    return false;
}

std::optional<CleanOptions> startingOptions(bool stored, [[maybe_unused]] Notifier& notifier)
{
    if (!stored)
        return CleanOptions();
#ifdef SORVANEL_HAVE_QTSETTINGS
    QtSettingsStore store(programName);
    return CleanOptions::load(store);
#else
    (void)programName;
    reportUsageError(
        notifier, "--stored-options is not available: this build has no settings store");
    return std::nullopt;
#endif
}

} // namespace

int runClean(const CommandContext& context)
{
    auto arguments = parseArguments(context.arguments, AcceptedOptions::Clean, context.notifier);
    if (!arguments)
        return wrongUsage;
    auto options = startingOptions(arguments->storedOptions, context.notifier);
    if (!options)
        return wrongUsage;
    for (const auto& [name, value] : arguments->assignments)
        if (!applyAssignment(*options, name, value, context.notifier))
            return wrongUsage;
    // The same checks as confirming the options dialog, with its messages.
    auto failures = checkConfirmation(*options);
    for (const ConfirmationFailure& failure : failures)
        context.notifier.notify(failure.message.pick());
    if (!failures.empty())
        return wrongUsage;
    options->recomputeSlotValues();

    int status = 0;
    auto resolved =
        resolveFileArguments(arguments->paths, arguments->recursive, false, context, status);
    if (!resolved)
        return status;
    CleanRunResult result = cleanFiles(resolved->entries, everyRow(resolved->entries), *options,
        context.files, context.notifier, UiLanguage(), arguments->dryRun, context.progress);
    for (const std::string& line : result.logLines)
        context.out << line << '\n';
    return result.stoppedEarly || result.syncFailed || result.leftOut > 0 || resolved->leftOut > 0
        ? 1
        : 0;
}

} // namespace sorvanel
