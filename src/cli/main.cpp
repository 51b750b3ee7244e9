#include "cli/Commands.h"
#include "cli/StderrNotifier.h"
#include "cli/TerminalProgress.h"
#include "platform/FileOps.h"

#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

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
    "       sorvanel-cli restore [--recursive] FILE|FOLDER...\n"
    "                                    give cleaned files their backups' bytes back,\n"
    "                                    taking FILE and FOLDER as clean does\n"
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

bool stderrIsTerminal()
{
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return ::isatty(STDERR_FILENO) != 0;
#endif
}

int run(const std::vector<std::string>& arguments)
{
    if (asksForHelp(arguments)) {
        std::cout << usage;
        return 0;
    }
    if (!arguments.empty()) {
        for (const CommandEntry& command : commands) {
            if (arguments[0] != command.name)
                continue;
            std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
            if (rest.size() < command.minArguments || rest.size() > command.maxArguments)
                break;
            sorvanel::NativeFileOps files;
            sorvanel::StderrNotifier notifier;
            // A count on one line, only for a person watching a terminal.
            std::optional<sorvanel::TerminalProgress> progress;
            bool restoring = std::strcmp(command.name, "restore") == 0;
            if ((restoring || std::strcmp(command.name, "clean") == 0) && stderrIsTerminal())
                progress.emplace(notifier,
                    restoring ? sorvanel::Texts::ProgressRestoring
                              : sorvanel::Texts::ProgressCleaning);
            sorvanel::RunProgress watch;
            if (progress)
                watch = std::ref(*progress);
            int status = command.run({rest, std::cout, files,
                progress ? static_cast<sorvanel::Notifier&>(*progress) : notifier, watch});
            std::cout.flush();
            return status;
        }
    }
    std::cerr << usage;
    return 2;
}

} // namespace

#ifdef _WIN32
// Windows hands the arguments over as UTF-16; everything inside works in UTF-8. Output is
// written as it is, with LF line ends, as on every other system.
extern "C" int wmain(int argc, wchar_t** argv);
extern "C" int wmain(int argc, wchar_t** argv)
{
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    ::SetConsoleOutputCP(CP_UTF8);
    std::vector<std::string> arguments;
    try {
        for (int i = 1; i < argc; ++i)
            arguments.push_back(sorvanel::toUtf8(argv[i]));
    } catch (const std::exception& error) {
        std::cerr << error.what() << '\n';
        return 2;
    }
    return run(arguments);
}
#else
int main(int argc, char** argv)
{
    return run(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
