#include "sim/command_line.h"

#include <getopt.h>

#include <charconv>
#include <functional>
#include <optional>

#include "sim/failure.h"
#include "sim/printable.h"

namespace {

const std::string runUsage =
    "usage: pfe-sim run [--module PATH] [--trace] [--temp-dir] [--screen WxH] [-q] FILE...\n"
    "  Plays each session script against a fresh load of the editor module, in the\n"
    "  current directory (exports land there). Prints 'ok FILE (N frames, M exports)'\n"
    "  for each script that passes and 'N passed, M failed' at the end. Exit status 0\n"
    "  when every expectation holds, 1 when one fails, 2 when a script, the module or\n"
    "  the command line is wrong.\n"
    "  --module PATH  the module to load (default: the one beside pfe-sim)\n"
    "  --trace        print every native call of every frame\n"
    "  --temp-dir     play each script in a fresh temporary directory, removed\n"
    "                 afterwards\n"
    "  --screen WxH   the character grid of 'print screen' (default " +
    std::to_string(defaultScreenWidth) + "x" + std::to_string(defaultScreenHeight) +
    ")\n"
    "  -q, --quiet    no line for a script that passes, no summary\n"
    "  Script commands, one a line; # starts a comment; \"TEXT\" may hold spaces:\n"
    "    ped H MODEL [animal] [heading DEG] [at X Y Z]   object H [MODEL]   player H\n"
    "    aim H|none   remove H   move H X Y Z [heading DEG]   hash NAME 0xHEX\n"
    "    dictionary NAME   dictionary-delay N   drop-dictionary   fail-cameras N\n"
    "    frame [N]   frame-time MS   clock MS   wait MS   block NAME   unblock NAME\n"
    "    down KEY   up KEY   tap KEY [N]   KEY: F7 F8 DELETE LEFT UP RIGHT DOWN 0xNN\n"
    "    expect drawn|not-drawn \"TEXT\"   expect feature H ID|NAME VALUE\n"
    "    expect file NAME BYTES   expect no-file NAME   expect same-file NAME GOLDEN\n"
    "    expect camera active|none   print screen\n";

const char *const playUsage =
    "usage: pfe-sim play [--module PATH] [--screen WxH]\n"
    "  The editor live in this terminal, over a small world: your ped, three townsfolk,\n"
    "  a horse and a wagon. Keys: F7 select, Up/Down move, Left/Right step, F8 export (to\n"
    "  the current directory), Delete end the edit, Tab / Shift-Tab change what you aim at,\n"
    "  Esc or q quit.\n"
    "  --module PATH  the module to load (default: the one beside pfe-sim)\n"
    "  --screen WxH   the character grid (default: as wide as the terminal, at most 120,\n"
    "                 and 60 rows)\n";

const char *const showUsage =
    "usage: pfe-sim show FILE.xml\n"
    "  Checks an export against the bytes the editor writes and lists its features. Exit\n"
    "  status 0 for a good file, 1 for the first difference (FILE:LINE: what), 2 when the\n"
    "  file cannot be read.\n";

const std::string toolUsage =
    "usage: pfe-sim COMMAND [OPTION]... [ARGUMENT]...\n"
    "  The Ped Feature Editor without the game: run, play or show.\n"
    "  pfe-sim COMMAND --help shows one command; --version the version.\n" +
    runUsage + playUsage + showUsage;

// An option of a command: name without the dashes, takes a value, letter or 0, what it sets.
struct Option {
    const char *name;
    bool takesValue;
    char letter;
    std::function<void(const std::string &value)> apply;
};

[[noreturn]] void UsageError(const std::string &message) { throw Failure(exitBadInput, message); }

// " (pfe-sim run --help shows the usage)", or for the tool itself.
std::string SeeHelp(const std::string &command) {
    return command.empty() ? " (pfe-sim --help shows the usage)"
                           : " (pfe-sim " + command + " --help shows the usage)";
}

// "unknown option --bogus for run (pfe-sim run --help shows the usage)"
[[noreturn]] void UnknownOption(const std::string &option, const std::string &command) {
    UsageError("unknown option " + Printable(option) + (command.empty() ? "" : " for " + command) +
               SeeHelp(command));
}

// Applies the options of ARGS in order and returns the operands, or nothing once --help or
// --version has answered. A leading ':' makes getopt_long tell a missing value from an
// unknown option; a long option's code is 256 + its index. Abbreviations are refused.
std::optional<std::vector<std::string>> ReadOptions(const std::vector<std::string> &args,
                                                    std::vector<Option> known,
                                                    const std::string &command,
                                                    const std::string &usage, CommandLine &line) {
    bool answered = false;
    known.push_back({"help", false, 'h', [&](const std::string &) {
                         line.command = Command::help;
                         line.helpText = usage;
                         answered = true;
                     }});
    known.push_back({"version", false, 0, [&](const std::string &) {
                         line.command = Command::version;
                         answered = true;
                     }});
    std::vector<option> table;
    std::string letters = ":";
    for (std::size_t i = 0; i < known.size(); ++i) {
        table.push_back({known[i].name, known[i].takesValue ? required_argument : no_argument,
                         nullptr, 256 + static_cast<int>(i)});
        letters += known[i].letter != 0 ? std::string(1, known[i].letter) : "";
    }
    table.push_back({});
    const auto find = [&known](int code) -> const Option * {
        for (std::size_t i = 0; i < known.size(); ++i)
            if (code == 256 + static_cast<int>(i) ||
                (known[i].letter != 0 && code == known[i].letter))
                return &known[i];
        return nullptr;
    };
    std::vector<std::string> words{"pfe-sim"};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    opterr = 0;
    optind = 0; // a fresh scan
    while (!answered) {
        optarg = nullptr;
        const int c = getopt_long(static_cast<int>(words.size()), argv.data(), letters.c_str(),
                                  table.data(), nullptr);
        if (c == -1) // the operands, as getopt_long reordered them
            return std::vector<std::string>(argv.begin() + optind, argv.end() - 1);
        const Option *option = find(c == '?' || c == ':' ? optopt : c);
        const bool valueApart = optarg != nullptr && optarg == argv[optind - 1];
        const std::string word = argv[optind - (valueApart ? 2 : 1)];
        const std::string spelt = word.substr(0, word.find('='));
        if (option == nullptr)
            UnknownOption(optopt == 0 ? spelt : "-" + std::string(1, static_cast<char>(optopt)),
                          command);
        const std::string name = std::string("--") + option->name;
        if (c >= 256 && spelt != name)
            UnknownOption(spelt, command);
        if (c == '?')
            UsageError(name + " takes no value");
        if (c == ':' || (option->takesValue && *optarg == '\0'))
            UsageError(name + " needs a value");
        option->apply(optarg != nullptr ? optarg : "");
    }
    return std::nullopt;
}

void SetScreen(const std::string &value, int &width, int &height) {
    if (!ParseScreenSize(value, width, height))
        UsageError("--screen takes WIDTHxHEIGHT, e.g. 120x40 (20 to 1000 by 10 to 1000), not '" +
                   Printable(value) + "'");
}

void ReadRun(const std::vector<std::string> &args, CommandLine &line) {
    RunOptions &run = line.run;
    const auto operands = ReadOptions(
        args,
        {{"module", true, 0, [&](const std::string &value) { run.script.modulePath = value; }},
         {"trace", false, 0, [&](const std::string &) { run.script.trace = true; }},
         {"temp-dir", false, 0, [&](const std::string &) { run.temporaryDirectory = true; }},
         {"screen", true, 0,
          [&](const std::string &value) {
              SetScreen(value, run.script.screen.width, run.script.screen.height);
          }},
         {"quiet", false, 'q', [&](const std::string &) { run.quiet = true; }}},
        "run", runUsage, line);
    if (!operands)
        return;
    if (operands->empty())
        UsageError("run needs at least one script" + SeeHelp("run"));
    run.files = *operands;
    line.command = Command::run;
}

void ReadPlay(const std::vector<std::string> &args, CommandLine &line) {
    PlayOptions &play = line.play;
    const auto operands = ReadOptions(
        args,
        {{"module", true, 0, [&](const std::string &value) { play.modulePath = value; }},
         {"screen", true, 0,
          [&](const std::string &value) { SetScreen(value, play.width, play.height); }}},
        "play", playUsage, line);
    if (operands && !operands->empty())
        UsageError("play takes no '" + Printable(operands->front()) + "'" + SeeHelp("play"));
    if (operands)
        line.command = Command::play;
}

void ReadShow(const std::vector<std::string> &args, CommandLine &line) {
    const auto operands = ReadOptions(args, {}, "show", showUsage, line);
    if (operands && operands->size() != 1)
        UsageError("usage: pfe-sim show FILE.xml");
    if (operands) {
        line.show.file = operands->front();
        line.command = Command::show;
    }
}

} // namespace

bool ParseScreenSize(const std::string &text, int &width, int &height) {
    const char *const end = text.data() + text.size();
    int columns = 0;
    int rows = 0;
    const auto [afterWidth, widthError] = std::from_chars(text.data(), end, columns);
    if (widthError != std::errc() || afterWidth == end || *afterWidth != 'x')
        return false;
    const auto [afterHeight, heightError] = std::from_chars(afterWidth + 1, end, rows);
    if (heightError != std::errc() || afterHeight != end || columns < 20 || columns > 1000 ||
        rows < 10 || rows > 1000)
        return false;
    width = columns;
    height = rows;
    return true;
}

CommandLine ReadCommandLine(const std::vector<std::string> &args,
                            const std::string &defaultModule) {
    CommandLine line;
    line.run.script.modulePath = defaultModule;
    line.play.modulePath = defaultModule;
    if (args.empty())
        UsageError("no command given: run, play or show" + SeeHelp(""));
    const std::string &command = args.front();
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "run")
        ReadRun(rest, line);
    else if (command == "play")
        ReadPlay(rest, line);
    else if (command == "show")
        ReadShow(rest, line);
    else if (command.size() > 1 && command[0] == '-') {
        if (ReadOptions(args, {}, "", toolUsage, line))
            UsageError("no command given: run, play or show" + SeeHelp(""));
    } else
        UsageError("unknown command '" + Printable(command) + "': run, play or show" + SeeHelp(""));
    return line;
}
