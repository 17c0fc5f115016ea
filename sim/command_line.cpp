#include "sim/command_line.h"

#include <charconv>
#include <string_view>
#include <utility>

#include "sim/failure.h"

namespace {

std::string RunUsage() {
    const ScriptOptions defaults;
    return "usage: pfe-sim run [--module PATH] [--trace] [--temp-dir] [--screen WxH] [-q] FILE...\n"
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
           std::to_string(defaults.screenWidth) + "x" + std::to_string(defaults.screenHeight) +
           ")\n"
           "  -q, --quiet    no line for a script that passes, no summary\n";
}

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

std::string ToolUsage() {
    return std::string("usage: pfe-sim COMMAND [OPTION]... [ARGUMENT]...\n"
                       "  The Ped Feature Editor without the game: run, play or show.\n"
                       "  pfe-sim COMMAND --help shows one command; --version the version.\n") +
           RunUsage() + playUsage + showUsage;
}

struct Option {
    const char *name; // without the dashes
    char letter;      // the short form, or 0
    bool takesValue;
};

const Option helpOption{"help", 'h', false};
const Option versionOption{"version", 0, false};

struct ParsedArguments {
    std::vector<std::pair<std::string, std::string>> options; // name and value, in order
    std::vector<std::string> operands;
    bool help = false;
    bool version = false;
};

[[noreturn]] void UsageError(const std::string &message) { throw Failure(exitBadInput, message); }

// " (pfe-sim run --help shows the usage)", or for the tool itself.
std::string SeeHelp(const std::string &command) {
    return command.empty() ? " (pfe-sim --help shows the usage)"
                           : " (pfe-sim " + command + " --help shows the usage)";
}

// "unknown option --bogus for run (pfe-sim run --help shows the usage)"
[[noreturn]] void UnknownOption(const std::string &option, const std::string &command) {
    UsageError("unknown option " + option + (command.empty() ? "" : " for " + command) +
               SeeHelp(command));
}

class ArgumentReader {
  public:
    ArgumentReader(const std::vector<std::string> &arguments, std::size_t first,
                   std::vector<Option> options, std::string commandName)
        : args(arguments), at(first), known(std::move(options)), command(std::move(commandName)) {
        known.push_back(helpOption);
        known.push_back(versionOption);
    }

    // Stops at --help or --version: what follows them does not matter.
    ParsedArguments Read() {
        bool optionsEnded = false;
        for (; at < args.size() && !parsed.help && !parsed.version; ++at) {
            const std::string &arg = args[at];
            if (optionsEnded || arg.size() < 2 || arg[0] != '-')
                parsed.operands.push_back(arg);
            else if (arg == "--")
                optionsEnded = true;
            else if (arg[1] == '-')
                ReadLong(arg);
            else
                ReadLetters(arg);
        }
        return parsed;
    }

  private:
    void Take(const Option &option, std::string value) {
        if (option.takesValue && value.empty())
            UsageError(std::string("--") + option.name + " needs a value");
        if (std::string_view(option.name) == helpOption.name)
            parsed.help = true;
        else if (std::string_view(option.name) == versionOption.name)
            parsed.version = true;
        else
            parsed.options.emplace_back(option.name, std::move(value));
    }

    // The value of an option that takes one and was not given it after '=': the next word.
    std::string NextWord(const Option &option) {
        if (at + 1 >= args.size())
            UsageError(std::string("--") + option.name + " needs a value");
        return args[++at];
    }

    void ReadLong(const std::string &arg) {
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(2, equals == std::string::npos ? equals : equals - 2);
        const Option *option = nullptr;
        for (const Option &candidate : known)
            if (name == candidate.name)
                option = &candidate;
        if (option == nullptr)
            UnknownOption("--" + name, command);
        if (equals != std::string::npos && !option->takesValue)
            UsageError("--" + name + " takes no value");
        Take(*option, equals != std::string::npos ? arg.substr(equals + 1)
                      : option->takesValue        ? NextWord(*option)
                                                  : std::string());
    }

    // -q, -qh: flags together; a letter that takes a value takes the rest of the word or the
    // next word.
    void ReadLetters(const std::string &arg) {
        for (std::size_t i = 1; i < arg.size(); ++i) {
            const Option *option = nullptr;
            for (const Option &candidate : known)
                if (candidate.letter != 0 && candidate.letter == arg[i])
                    option = &candidate;
            if (option == nullptr)
                UnknownOption("-" + std::string(1, arg[i]), command);
            if (!option->takesValue) {
                Take(*option, std::string());
                continue;
            }
            Take(*option, i + 1 < arg.size() ? arg.substr(i + 1) : NextWord(*option));
            return;
        }
    }

    const std::vector<std::string> &args;
    std::size_t at;
    std::vector<Option> known;
    std::string command;
    ParsedArguments parsed;
};

// --help and --version end the reading; the command's own usage is its help.
bool Answered(const ParsedArguments &parsed, const std::string &usage, CommandLine &line) {
    if (parsed.help) {
        line.command = Command::help;
        line.helpText = usage;
    } else if (parsed.version) {
        line.command = Command::version;
    }
    return parsed.help || parsed.version;
}

void SetScreen(const std::string &value, int &width, int &height) {
    if (!ParseScreenSize(value, width, height))
        UsageError("--screen takes WIDTHxHEIGHT, e.g. 120x40 (20 to 1000 by 10 to 1000), not '" +
                   value + "'");
}

void ReadRun(const std::vector<std::string> &args, CommandLine &line) {
    const ParsedArguments parsed = ArgumentReader(args, 1,
                                                  {{"module", 0, true},
                                                   {"trace", 0, false},
                                                   {"temp-dir", 0, false},
                                                   {"screen", 0, true},
                                                   {"quiet", 'q', false}},
                                                  "run")
                                       .Read();
    if (Answered(parsed, RunUsage(), line))
        return;
    RunOptions &run = line.run;
    for (const auto &[name, value] : parsed.options) {
        if (name == "module")
            run.script.modulePath = value;
        else if (name == "trace")
            run.script.trace = true;
        else if (name == "temp-dir")
            run.temporaryDirectory = true;
        else if (name == "screen")
            SetScreen(value, run.script.screenWidth, run.script.screenHeight);
        else if (name == "quiet")
            run.quiet = true;
    }
    if (parsed.operands.empty())
        UsageError("run needs at least one script" + SeeHelp("run"));
    run.files = parsed.operands;
    line.command = Command::run;
}

void ReadPlay(const std::vector<std::string> &args, CommandLine &line) {
    const ParsedArguments parsed =
        ArgumentReader(args, 1, {{"module", 0, true}, {"screen", 0, true}}, "play").Read();
    if (Answered(parsed, playUsage, line))
        return;
    for (const auto &[name, value] : parsed.options) {
        if (name == "module")
            line.play.modulePath = value;
        else if (name == "screen")
            SetScreen(value, line.play.width, line.play.height);
    }
    if (!parsed.operands.empty())
        UsageError("play takes no '" + parsed.operands.front() + "'" + SeeHelp("play"));
    line.command = Command::play;
}

void ReadShow(const std::vector<std::string> &args, CommandLine &line) {
    const ParsedArguments parsed = ArgumentReader(args, 1, {}, "show").Read();
    if (Answered(parsed, showUsage, line))
        return;
    if (parsed.operands.size() != 1)
        UsageError("usage: pfe-sim show FILE.xml");
    line.show.file = parsed.operands.front();
    line.command = Command::show;
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
    if (heightError != std::errc() || afterHeight != end || afterWidth + 1 == end)
        return false;
    if (columns < 20 || columns > 1000 || rows < 10 || rows > 1000)
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
    if (command == "run")
        ReadRun(args, line);
    else if (command == "play")
        ReadPlay(args, line);
    else if (command == "show")
        ReadShow(args, line);
    else if (command.size() > 1 && command[0] == '-') {
        if (!Answered(ArgumentReader(args, 0, {}, "").Read(), ToolUsage(), line))
            UsageError("no command given: run, play or show" + SeeHelp(""));
    } else
        UsageError("unknown command '" + command + "': run, play or show" + SeeHelp(""));
    return line;
}
