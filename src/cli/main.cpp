#include "cli/Commands.h"
#include "cli/StderrNotifier.h"
#include "cli/TerminalProgress.h"
#include "platform/FileOps.h"

#include <cstring>
#include <iostream>
#include <optional>
#include <unistd.h>

namespace {

struct CommandEntry
{
    const char* name;
    int (*run)(const sorvanel::CommandContext&);
    std::size_t minArguments;
    std::size_t maxArguments;
};

constexpr std::size_t unlimited = static_cast<std::size_t>(-1);

constexpr CommandEntry commands[] = {
    {"check", sorvanel::runCheck, 1, unlimited},
    {"title", sorvanel::runTitle, 1, unlimited},
    {"dump", sorvanel::runDump, 1, 1},
    {"clean", sorvanel::runClean, 1, unlimited},
    {"restore", sorvanel::runRestore, 1, unlimited},
};

constexpr const char* usage =
    "usage: sorvanel-cli check FILE...   report whether each file is a valid song\n"
    "       sorvanel-cli title FILE...   print each file's song title\n"
    "       sorvanel-cli dump FILE       list every event of a file\n"
    "       sorvanel-cli clean [--option NAME=VALUE]... [--stored-options] [--dry-run]\n"
    "                          FILE|FOLDER...\n"
    "                                    clean files as the program does; NAME is a stored\n"
    "                                    option name, flags take 0 or 1, slots hex digits\n"
    "       sorvanel-cli restore FILE|FOLDER...\n"
    "                                    give cleaned files their backups' bytes back\n";

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 2) {
        for (const CommandEntry& command : commands) {
            if (std::strcmp(argv[1], command.name) != 0)
                continue;
            std::vector<std::string> arguments(argv + 2, argv + argc);
            if (arguments.size() < command.minArguments || arguments.size() > command.maxArguments)
                break;
            sorvanel::PosixFileOps files;
            sorvanel::StderrNotifier notifier;
            // A count on one line, only for a person watching a terminal.
            std::optional<sorvanel::TerminalProgress> progress;
            bool restoring = std::strcmp(command.name, "restore") == 0;
            if ((restoring || std::strcmp(command.name, "clean") == 0) && ::isatty(STDERR_FILENO))
                progress.emplace(notifier,
                    restoring ? sorvanel::Texts::ProgressRestoring
                              : sorvanel::Texts::ProgressCleaning);
            sorvanel::RunProgress watch;
            if (progress)
                watch = std::ref(*progress);
            int status = command.run({arguments, std::cout, files,
                progress ? static_cast<sorvanel::Notifier&>(*progress) : notifier, watch});
            std::cout.flush();
            return status;
        }
    }
    std::cerr << usage;
    return 2;
}
