#include "cli/Commands.h"
#include "cli/StderrNotifier.h"
#include "platform/FileOps.h"

#include <cstring>
#include <iostream>

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
};

constexpr const char* usage =
    "usage: sorvanel-cli check FILE...   report whether each file is a valid song\n"
    "       sorvanel-cli title [--recursive] FILE|FOLDER...\n"
    "                                    print each song's title\n"
    "       sorvanel-cli dump FILE       list every event of a file\n"
    "       sorvanel-cli clean [--option NAME=VALUE]... [--stored-options] [--dry-run]\n"
    "                          [--recursive] FILE|FOLDER...\n"
    "                                    clean files as the program does; NAME is a stored\n"
    "                                    option name, flags take 0 or 1, slots hex digits;\n"
    "                                    --recursive takes in the songs of sub-folders\n";

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
            int status = command.run({arguments, std::cout, files, notifier});
            std::cout.flush();
            return status;
        }
    }
    std::cerr << usage;
    return 2;
}
