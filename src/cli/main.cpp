#include "cli/Arguments.h"
#include "cli/Commands.h"
#include "cli/StderrNotifier.h"
#include "cli/TerminalProgress.h"
#include "platform/FileOps.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
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
};

constexpr CommandEntry commands[] = {
    {"check", sorvanel::runCheck},
    {"title", sorvanel::runTitle},
    {"dump", sorvanel::runDump},
    {"clean", sorvanel::runClean},
    {"restore", sorvanel::runRestore},
    {"options", sorvanel::runOptions},
};

constexpr const char* usage =
    "Usage: sorvanel-cli COMMAND [OPTION]... FILE|FOLDER...\n"
    "Check, list and clean Standard MIDI Files as the Sorvanel program does.\n"
    "\n"
    "Commands:\n"
    "  check FILE...          print each file's name and \"valid\" or why it is not\n"
    "  title FILE|FOLDER...   print each song's name, a tab and its title\n"
    "  dump FILE              list every event of a song\n"
    "  clean FILE|FOLDER...   clean songs as the program does; a changed song is\n"
    "                         rewritten, its former bytes kept as NAME.bak\n"
    "  restore FILE|FOLDER... give cleaned songs their backups' bytes back\n"
    "  options                list the cleaning options, their defaults and meanings\n"
    "\n"
    "Options go anywhere among the names; after \"--\" every argument is a name.\n"
    "  --recursive           title, clean, restore: a FOLDER also stands for the\n"
    "                        songs of its sub-folders (not hidden ones, not links)\n"
    "  --option NAME=VALUE   clean: set a cleaning option ('sorvanel-cli options'\n"
    "                        lists them); a flag takes 0 or 1, a slot hex digits\n"
    "  --stored-options      clean: start from the options the program stored\n"
    "                        instead of the defaults (read, never written)\n"
    "  --dry-run             clean: print the same log and change no file\n"
    "  --trash-changed       restore: a song changed since its clean is restored\n"
    "                        too, its current bytes moved to the trash\n"
    "  -h, --help            print this text and exit\n"
    "  --version             print the version and exit\n"
    "\n"
    "A FILE must be a song file that is not hidden: *.mid, *.midi, *.kar, *.rmi or\n"
    "*.smf in any letter case; backups (*.bak) are refused. A FOLDER stands for its\n"
    "*.mid files in the order the program lists them. A file named twice is done\n"
    "once. With several arguments the log names each file by its path; control\n"
    "characters in names and titles are escaped.\n"
    "\n"
    "Exit status: 0 when every file was done; 1 when a file was broken or could not\n"
    "be read or written, a folder could not be listed or the output could not be\n"
    "written (the message says why; clean leaves a broken song of a FOLDER out and\n"
    "cleans the others, but stops at a named file that fails and touches none after\n"
    "it); 2 for a wrong command line or options, before any file is touched.\n";

constexpr const char* version = "sorvanel-cli (Sorvanel) " SORVANEL_VERSION "\n";

/// "--help" or "--version" among the options of any command line, or nothing.
std::optional<std::string_view> asksFor(const std::vector<std::string>& arguments)
{
    for (const std::string& argument : arguments) {
        if (argument == "--")
            break;
        if (argument == "--help" || argument == "-h")
            return "--help";
        if (argument == "--version")
            return "--version";
    }
    return std::nullopt;
}

bool hasOption(const std::vector<std::string>& arguments, std::string_view option)
{
    for (const std::string& argument : arguments) {
        if (argument == "--")
            break;
        if (argument == option)
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

/// Whatever went to standard output is written, or the output failed (a full disk, a closed
/// pipe): then the record of what the command did is lost, and the user is told.
bool outputWritten()
{
    errno = 0;
    std::cout.flush();
    bool failed = !std::cout;
    failed = std::fflush(stdout) != 0 || failed;
    failed = std::ferror(stdout) != 0 || failed;
    if (!failed)
        return true;
    std::string reason = errno != 0 ? std::string(": ") + std::strerror(errno) : std::string();
    std::cerr << "sorvanel-cli: the output could not be written" << reason << '\n';
    return false;
}

int runCommand(const CommandEntry& command, const std::vector<std::string>& arguments)
{
    sorvanel::NativeFileOps files;
    sorvanel::StderrNotifier notifier;
    // A count on one line, only for a person watching a terminal.
    std::optional<sorvanel::TerminalProgress> progress;
    bool restoring = std::strcmp(command.name, "restore") == 0;
    if ((restoring || std::strcmp(command.name, "clean") == 0) && stderrIsTerminal())
        progress.emplace(notifier,
            restoring                               ? sorvanel::Texts::ProgressRestoring
                : hasOption(arguments, "--dry-run") ? sorvanel::Texts::ProgressPreviewing
                                                    : sorvanel::Texts::ProgressCleaning);
    sorvanel::RunProgress watch;
    if (progress)
        watch = std::ref(*progress);
    return command.run({arguments, std::cout, files,
        progress ? static_cast<sorvanel::Notifier&>(*progress) : notifier, watch});
}

int run(const std::vector<std::string>& arguments)
{
    sorvanel::StderrNotifier notifier;
    int status = sorvanel::wrongUsage;
    if (auto asked = asksFor(arguments)) {
        std::cout << (*asked == "--help" ? usage : version);
        status = 0;
    } else if (arguments.empty()) {
        sorvanel::reportUsageError(notifier, "no command given");
    } else {
        const CommandEntry* found = nullptr;
        for (const CommandEntry& command : commands)
            if (arguments[0] == command.name)
                found = &command;
        if (found)
            status = runCommand(*found, {arguments.begin() + 1, arguments.end()});
        else if (arguments[0].starts_with("-"))
            sorvanel::reportUsageError(
                notifier, "unknown option '" + sorvanel::printable(arguments[0]) + "'");
        else
            sorvanel::reportUsageError(
                notifier, "unknown command '" + sorvanel::printable(arguments[0]) + "'");
    }
    if (!outputWritten() && status == 0)
        status = 1;
    return status;
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
    // A reader that went away is an output that failed, told like a full disk.
    std::signal(SIGPIPE, SIG_IGN);
    return run(std::vector<std::string>(argv + 1, argv + argc));
}
#endif
