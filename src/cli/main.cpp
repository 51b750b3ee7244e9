#include "cli/Commands.h"
#include "cli/StderrNotifier.h"
#include "platform/FileOps.h"

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

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
    "                                    option name, flags take 0 or 1, slots hex digits.\n"
    "                                    A FILE must be a *.mid file that is not hidden; a\n"
    "                                    FOLDER gives its song files as the program lists\n"
    "                                    them, with --recursive also those of its\n"
    "                                    sub-folders. A file named twice is cleaned once.\n"
    "       sorvanel-cli --help          print this text\n"
    "\n"
    "Exit status: 0 when every file was done; 1 when a file is not a valid song or could\n"
    "not be read or written (its message says why; clean leaves a broken file of a FOLDER\n"
    "out and cleans the others, but stops at a file that fails and touches none after it);\n"
    "2 for wrong usage or options, before any file is touched.\n";

bool asksForHelp(const std::vector<std::string>& arguments)
{
    for (const std::string& argument : arguments) {
        if (argument == "--")
            return false;
        if (argument == "--help" || argument == "-h")
            return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    if (asksForHelp(std::vector<std::string>(argv + 1, argv + argc))) {
        std::cout << usage;
        return 0;
    }
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
