// Reader and player of session scripts. Parsing turns each line into a step with its
// arguments already checked and converted, so a malformed script is refused before any
// frame runs.

#include "sim/session_script.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

#include "sim/screen.h"
#include "standin/game.h"
#include "standin/platform.h"

// ---- the run ---------------------------------------------------------------------------------

class ScriptRun {
  public:
    ScriptRun(Game &theGame, const ScriptOptions &theOptions, std::ostream &output,
              std::ostream &errors)
        : game(theGame), options(theOptions), out(output), err(errors) {}

    Game &game;
    const ScriptOptions &options;
    std::ostream &out;
    std::ostream &err;
    std::string scriptDirectory;
    const ScriptStep *step = nullptr;
    int failures = 0;
    bool playerChosen = false;
    bool framesRun = false;

    void Fail(const std::string &what) {
        ++failures;
        err << step->file << ":" << step->line << ": " << what << "\n";
    }
    void RunFrames(int count);
    void KeyMessage(uint32_t key, bool down);
    WorldEntity &Entity(int32_t handle);

    // Key messages of `down` and `up` held for the next frame (see KeyMessage).
    std::vector<std::pair<uint32_t, bool>> heldKeys;
};

static constexpr int32_t defaultPlayerHandle = 1000;

void ScriptRun::RunFrames(int count) {
    if (!framesRun && !playerChosen && game.world.playerPed == 0) {
        game.world.Spawn(defaultPlayerHandle, EntityKind::ped,
                         game.world.HashForName("PLAYER_ZERO"), true);
        game.world.playerPed = defaultPlayerHandle;
    }
    framesRun = true;
    for (const auto &[key, down] : heldKeys)
        down ? game.KeyDown(key) : game.KeyUp(key);
    heldKeys.clear();
    game.RunFrames(count);
}

// The module stamps each key message with GetTickCount. Where that is the system clock
// (Windows), a message goes out right before the frame that should see it, so that the real
// time the runner spends meanwhile cannot age it; on the virtual clock it goes out at once.
void ScriptRun::KeyMessage(uint32_t key, bool down) {
    if (platform::moduleReadsSystemClock)
        heldKeys.emplace_back(key, down);
    else
        down ? game.KeyDown(key) : game.KeyUp(key);
}

WorldEntity &ScriptRun::Entity(int32_t handle) {
    WorldEntity *entity = game.world.Find(handle);
    if (entity == nullptr)
        throw Failure(exitBadInput, "no entity " + std::to_string(handle) + " exists");
    return *entity;
}

// ---- tokens ----------------------------------------------------------------------------------

namespace {

struct Word {
    std::string text;
    bool quoted = false;
};

struct Line {
    const std::string *file;
    int number;
    std::vector<Word> words;
    [[noreturn]] void Error(const std::string &why) const {
        throw Failure(exitBadInput, *file + ":" + std::to_string(number) + ": " + why);
    }
};

std::vector<Word> SplitWords(const std::string &text, const Line &line) {
    std::vector<Word> words;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        if (c == '#')
            break;
        Word word;
        if (c == '"') {
            word.quoted = true;
            ++i;
            bool closed = false;
            while (i < text.size()) {
                const char q = text[i++];
                if (q == '"') {
                    closed = true;
                    break;
                }
                if (q != '\\') {
                    word.text += q;
                    continue;
                }
                if (i >= text.size())
                    line.Error("a backslash ends the line inside a quoted text");
                const char e = text[i++];
                if (e == 'n')
                    word.text += '\n';
                else if (e == '"' || e == '\\')
                    word.text += e;
                else
                    line.Error(std::string("unknown escape \\") + e + " in a quoted text");
            }
            if (!closed)
                line.Error("a quoted text is not closed");
            if (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '\r')
                line.Error("a quoted text must be followed by a space");
        } else {
            while (i < text.size() && text[i] != ' ' && text[i] != '\t' && text[i] != '\r') {
                if (text[i] == '"')
                    line.Error("a quote inside a word");
                word.text += text[i++];
            }
        }
        words.push_back(word);
    }
    return words;
}

// ---- argument conversion ---------------------------------------------------------------------

bool ParseUnsigned(const std::string &text, uint64_t limit, uint64_t &value) {
    if (text.empty() || text.size() > 20)
        return false;
    uint64_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        result = result * 10 + static_cast<uint64_t>(c - '0');
        if (result > limit)
            return false;
    }
    value = result;
    return true;
}

bool ParseHex(const std::string &text, uint64_t limit, uint64_t &value) {
    if (text.size() < 3 || text.size() > 18 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X'))
        return false;
    uint64_t result = 0;
    for (std::size_t i = 2; i < text.size(); ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        result = result * 16 + static_cast<uint64_t>(digit);
        if (result > limit)
            return false;
    }
    value = result;
    return true;
}

int32_t Handle(const Line &line, std::size_t index) {
    uint64_t value = 0;
    if (!ParseUnsigned(line.words[index].text, 0x7FFFFFFF, value) || value == 0)
        line.Error("'" + line.words[index].text + "' is not an entity handle (a positive integer)");
    return static_cast<int32_t>(value);
}

uint32_t Count(const Line &line, std::size_t index, const char *what, uint64_t limit = 1000000000) {
    uint64_t value = 0;
    if (!ParseUnsigned(line.words[index].text, limit, value))
        line.Error("'" + line.words[index].text + "' is not " + what);
    return static_cast<uint32_t>(value);
}

uint32_t HexHash(const Line &line, std::size_t index) {
    uint64_t value = 0;
    if (!ParseHex(line.words[index].text, 0xFFFFFFFF, value))
        line.Error("'" + line.words[index].text +
                   "' is not a 32-bit hash written as 0x and hex digits");
    return static_cast<uint32_t>(value);
}

float Number(const Line &line, std::size_t index) {
    const std::string &text = line.words[index].text;
    char *end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || errno != 0 || value != value)
        line.Error("'" + text + "' is not a number");
    return static_cast<float>(value);
}

uint32_t Key(const Line &line, std::size_t index) {
    uint32_t key = 0;
    if (!ParseKeyName(line.words[index].text, key))
        line.Error("unknown key '" + line.words[index].text +
                   "' (F7, F8, DELETE, LEFT, UP, RIGHT, DOWN or 0xNN)");
    return key;
}

std::string FileName(const Line &line, std::size_t index) {
    const std::string &name = line.words[index].text;
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
        line.Error("'" + name + "' is not a plain file name in the working directory");
    return name;
}

uint32_t ModelHash(Game &game, const std::string &model) {
    uint64_t value = 0;
    if (ParseHex(model, 0xFFFFFFFF, value))
        return static_cast<uint32_t>(value);
    return game.world.HashForName(model);
}

void CountWords(const Line &line, std::size_t least, std::size_t most, const char *usage) {
    if (line.words.size() < least || line.words.size() > most)
        line.Error(std::string("usage: ") + usage);
}

bool FileSize(const std::string &name, uint64_t &size) {
    struct stat status;
    if (stat(name.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    size = static_cast<uint64_t>(status.st_size);
    return true;
}

bool ReadWholeFile(const std::string &name, std::string &bytes) {
    std::ifstream in(name, std::ios::binary);
    if (!in)
        return false;
    std::ostringstream buffer;
    buffer << in.rdbuf();
    bytes = buffer.str();
    return true;
}

std::string Quoted(const std::string &text) {
    std::string result = "\"";
    for (char c : text) {
        if (c == '\n')
            result += "\\n";
        else if (c == '"' || c == '\\')
            result += std::string("\\") + c;
        else
            result += c;
    }
    return result + "\"";
}

typedef std::function<void(ScriptRun &)> Action;

// ---- the commands ----------------------------------------------------------------------------

Action ParsePed(const Line &line) {
    const auto &w = line.words;
    if (w.size() < 3)
        line.Error("usage: ped H MODEL [animal] [heading DEG] [at X Y Z]");
    const int32_t handle = Handle(line, 1);
    const std::string model = w[2].text;
    bool animal = false;
    float heading = 0.0f;
    Vec3 at;
    for (std::size_t i = 3; i < w.size();) {
        if (w[i].text == "animal") {
            animal = true;
            i += 1;
        } else if (w[i].text == "heading" && i + 1 < w.size()) {
            heading = Number(line, i + 1);
            i += 2;
        } else if (w[i].text == "at" && i + 3 < w.size()) {
            at = Vec3{Number(line, i + 1), Number(line, i + 2), Number(line, i + 3)};
            i += 4;
        } else {
            line.Error("unexpected '" + w[i].text +
                       "' (usage: ped H MODEL [animal] [heading DEG] [at X Y Z])");
        }
    }
    return [=](ScriptRun &run) {
        WorldEntity &ped =
            run.game.world.Spawn(handle, EntityKind::ped, ModelHash(run.game, model), !animal);
        ped.heading = heading;
        ped.position = at;
    };
}

Action ParseObject(const Line &line) {
    CountWords(line, 2, 3, "object H [MODEL]");
    const int32_t handle = Handle(line, 1);
    const std::string model = line.words.size() > 2 ? line.words[2].text : "P_BARREL01X";
    return [=](ScriptRun &run) {
        run.game.world.Spawn(handle, EntityKind::object, ModelHash(run.game, model), false);
    };
}

Action ParsePlayer(const Line &line) {
    CountWords(line, 2, 2, "player H");
    const int32_t handle = Handle(line, 1);
    return [=](ScriptRun &run) {
        run.Entity(handle);
        run.game.world.playerPed = handle;
        run.playerChosen = true;
    };
}

Action ParseAim(const Line &line) {
    CountWords(line, 2, 2, "aim H | aim none");
    if (line.words[1].text == "none")
        return [](ScriptRun &run) { run.game.world.freeAiming = false; };
    const int32_t handle = Handle(line, 1);
    return [=](ScriptRun &run) {
        run.Entity(handle);
        run.game.world.freeAiming = true;
        run.game.world.aimTarget = handle;
    };
}

Action ParseRemove(const Line &line) {
    CountWords(line, 2, 2, "remove H");
    const int32_t handle = Handle(line, 1);
    return [=](ScriptRun &run) {
        run.Entity(handle);
        run.game.world.Remove(handle);
    };
}

Action ParseMove(const Line &line) {
    CountWords(line, 5, 7, "move H X Y Z [heading DEG]");
    const int32_t handle = Handle(line, 1);
    const Vec3 to{Number(line, 2), Number(line, 3), Number(line, 4)};
    bool turn = false;
    float heading = 0.0f;
    if (line.words.size() > 5) {
        if (line.words.size() != 7 || line.words[5].text != "heading")
            line.Error("usage: move H X Y Z [heading DEG]");
        turn = true;
        heading = Number(line, 6);
    }
    return [=](ScriptRun &run) {
        WorldEntity &entity = run.Entity(handle);
        entity.position = to;
        if (turn)
            entity.heading = heading;
    };
}

Action ParseHash(const Line &line) {
    CountWords(line, 3, 3, "hash NAME 0xHEX");
    const std::string name = line.words[1].text;
    const uint32_t value = HexHash(line, 2);
    return [=](ScriptRun &run) { run.game.world.forcedHashes[name] = value; };
}

Action ParseDictionaryDelay(const Line &line) {
    CountWords(line, 2, 2, "dictionary-delay N");
    const uint32_t frames = Count(line, 1, "a number of frames");
    return [=](ScriptRun &run) { run.game.world.dictionaryDelayFrames = frames; };
}

Action ParseDropDictionary(const Line &line) {
    CountWords(line, 1, 1, "drop-dictionary");
    return [](ScriptRun &run) {
        for (auto &entry : run.game.world.dictionaries)
            run.game.world.DropDictionary(entry.first);
    };
}

Action ParseFrame(const Line &line) {
    CountWords(line, 1, 2, "frame [N]");
    const uint32_t count =
        line.words.size() > 1 ? Count(line, 1, "a number of frames", 100000000) : 1;
    return [=](ScriptRun &run) { run.RunFrames(static_cast<int>(count)); };
}

Action ParseFrameTime(const Line &line) {
    CountWords(line, 2, 2, "frame-time MS");
    const uint32_t ms = Count(line, 1, "a number of milliseconds", 0xFFFFFFFF);
    return [=](ScriptRun &run) { run.game.frameTimeMs = ms; };
}

Action ParseClock(const Line &line) {
    CountWords(line, 2, 2, "clock MS");
    const uint32_t ms = Count(line, 1, "a tick count in milliseconds", 0xFFFFFFFF);
    return [=](ScriptRun &run) { run.game.SetClock(ms); };
}

Action ParseKeyMessage(const Line &line, bool down) {
    CountWords(line, 2, 2, down ? "down KEY" : "up KEY");
    const uint32_t key = Key(line, 1);
    return [=](ScriptRun &run) { run.KeyMessage(key, down); };
}

Action ParseTap(const Line &line) {
    CountWords(line, 2, 3, "tap KEY [N]");
    const uint32_t key = Key(line, 1);
    const uint32_t count = line.words.size() > 2 ? Count(line, 2, "a number of taps", 1000000) : 1;
    return [=](ScriptRun &run) {
        for (uint32_t i = 0; i < count; ++i) {
            run.KeyMessage(key, true);
            run.KeyMessage(key, false);
            run.RunFrames(1);
        }
    };
}

Action ParseWait(const Line &line) {
    CountWords(line, 2, 2, "wait MS");
    const uint32_t ms = Count(line, 1, "a number of milliseconds", 0xFFFFFFFF);
    return [=](ScriptRun &run) { run.game.AdvanceClock(ms); };
}

Action ParseBlock(const Line &line, bool block) {
    CountWords(line, 2, 2, block ? "block NAME" : "unblock NAME");
    const std::string name = FileName(line, 1);
    if (block)
        return [=](ScriptRun &) {
            if (!platform::MakeDirectory(name))
                throw Failure(exitBadInput, "cannot block " + name + ": " + std::strerror(errno));
        };
    return [=](ScriptRun &) {
        if (rmdir(name.c_str()) != 0)
            throw Failure(exitBadInput, "cannot unblock " + name + ": " + std::strerror(errno));
    };
}

Action ParsePrint(const Line &line) {
    if (line.words.size() != 2 || line.words[1].text != "screen")
        line.Error("usage: print screen");
    return [](ScriptRun &run) {
        ScreenLayout layout;
        layout.width = run.options.screenWidth;
        layout.height = run.options.screenHeight;
        layout.color = run.options.color;
        run.out << RenderScreen(run.game.FrameTexts(), layout);
    };
}

Action ParseExpectDrawn(const Line &line, bool wanted) {
    if (line.words.size() != 3)
        line.Error(std::string("usage: expect ") + (wanted ? "drawn" : "not-drawn") + " \"TEXT\"");
    const std::string text = line.words[2].text;
    return [=](ScriptRun &run) {
        bool found = false;
        for (const DrawnText &drawn : run.game.FrameTexts())
            found = found || drawn.text.find(text) != std::string::npos;
        if (found == wanted)
            return;
        std::string seen;
        for (const DrawnText &drawn : run.game.FrameTexts())
            seen += "\n    " + Quoted(drawn.text);
        run.Fail(std::string("expected ") +
                 (wanted ? "a drawn text containing " : "no drawn text containing ") +
                 Quoted(text) + "; the last frame drew " +
                 (seen.empty() ? std::string("nothing")
                               : std::to_string(run.game.FrameTexts().size()) + " texts:" + seen));
    };
}

Action ParseExpectFeature(const Line &line) {
    if (line.words.size() != 5)
        line.Error("usage: expect feature H ID VALUE");
    const int32_t handle = Handle(line, 2);
    const uint32_t id = Count(line, 3, "a feature id", 0xFFFFFFFF);
    const std::string value = line.words[4].text;
    return [=](ScriptRun &run) {
        const std::optional<float> set = run.game.world.FaceFeature(handle, id);
        if (!set) {
            run.Fail("expected feature " + std::to_string(id) + " of ped " +
                     std::to_string(handle) + " to be " + value + "; it was never set");
            return;
        }
        char printed[64];
        std::snprintf(printed, sizeof printed, "%f", static_cast<double>(*set));
        if (value != printed)
            run.Fail("expected feature " + std::to_string(id) + " of ped " +
                     std::to_string(handle) + " to be " + value + "; it is " + printed);
    };
}

Action ParseExpectFile(const Line &line) {
    if (line.words.size() != 4)
        line.Error("usage: expect file NAME BYTES");
    const std::string name = FileName(line, 2);
    const uint64_t bytes = Count(line, 3, "a number of bytes", 0xFFFFFFFF);
    return [=](ScriptRun &run) {
        uint64_t size = 0;
        if (!FileSize(name, size))
            run.Fail("expected file " + name + " of " + std::to_string(bytes) +
                     " bytes; there is no such file");
        else if (size != bytes)
            run.Fail("expected file " + name + " of " + std::to_string(bytes) +
                     " bytes; it holds " + std::to_string(size));
    };
}

Action ParseExpectNoFile(const Line &line) {
    if (line.words.size() != 3)
        line.Error("usage: expect no-file NAME");
    const std::string name = FileName(line, 2);
    return [=](ScriptRun &run) {
        if (platform::PathExists(name))
            run.Fail("expected no file " + name + "; it exists");
    };
}

Action ParseExpectSameFile(const Line &line) {
    if (line.words.size() != 4)
        line.Error("usage: expect same-file NAME GOLDEN");
    const std::string name = FileName(line, 2);
    const std::string golden = line.words[3].text;
    return [=](ScriptRun &run) {
        const std::string goldenPath =
            golden.size() > 0 && golden[0] == '/' ? golden : run.scriptDirectory + golden;
        std::string expected;
        std::string actual;
        if (!ReadWholeFile(goldenPath, expected))
            throw Failure(exitBadInput, "cannot read the golden file " + goldenPath);
        if (!ReadWholeFile(name, actual))
            run.Fail("expected file " + name + " with the bytes of " + golden +
                     "; there is no such file");
        else if (actual != expected) {
            std::size_t at = 0;
            while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
                ++at;
            run.Fail("file " + name + " differs from " + golden + " at byte " + std::to_string(at) +
                     " (" + std::to_string(actual.size()) + " bytes against " +
                     std::to_string(expected.size()) + ")");
        }
    };
}

Action ParseExpectCamera(const Line &line) {
    if (line.words.size() != 3 || (line.words[2].text != "active" && line.words[2].text != "none"))
        line.Error("usage: expect camera active | expect camera none");
    const bool active = line.words[2].text == "active";
    return [=](ScriptRun &run) {
        const auto &cameras = run.game.world.cameras;
        if (active && !run.game.world.AnyActiveCamera())
            run.Fail(cameras.empty()
                         ? "expected an active scripted camera; none exists"
                         : "expected an active scripted camera; the camera is not active");
        if (!active && !cameras.empty())
            run.Fail("expected no scripted camera; " + std::to_string(cameras.size()) + " exist");
    };
}

Action ParseExpect(const Line &line) {
    if (line.words.size() < 2)
        line.Error("usage: expect WHAT ...");
    const std::string &what = line.words[1].text;
    if (what == "drawn")
        return ParseExpectDrawn(line, true);
    if (what == "not-drawn")
        return ParseExpectDrawn(line, false);
    if (what == "feature")
        return ParseExpectFeature(line);
    if (what == "file")
        return ParseExpectFile(line);
    if (what == "no-file")
        return ParseExpectNoFile(line);
    if (what == "same-file")
        return ParseExpectSameFile(line);
    if (what == "camera")
        return ParseExpectCamera(line);
    line.Error("unknown expectation '" + what +
               "' (drawn, not-drawn, feature, file, no-file, same-file, camera)");
}

Action ParseLine(const Line &line) {
    const std::string &command = line.words[0].text;
    if (line.words[0].quoted)
        line.Error("a line must start with a command, not a quoted text");
    if (command == "ped")
        return ParsePed(line);
    if (command == "object")
        return ParseObject(line);
    if (command == "player")
        return ParsePlayer(line);
    if (command == "aim")
        return ParseAim(line);
    if (command == "remove")
        return ParseRemove(line);
    if (command == "move")
        return ParseMove(line);
    if (command == "hash")
        return ParseHash(line);
    if (command == "dictionary-delay")
        return ParseDictionaryDelay(line);
    if (command == "drop-dictionary")
        return ParseDropDictionary(line);
    if (platform::moduleReadsSystemClock &&
        (command == "frame-time" || command == "clock" || command == "wait"))
        line.Error("'" + command +
                   "' needs the stand-in's virtual clock; in the Windows build the "
                   "module reads the system clock");
    if (command == "frame")
        return ParseFrame(line);
    if (command == "frame-time")
        return ParseFrameTime(line);
    if (command == "clock")
        return ParseClock(line);
    if (command == "down")
        return ParseKeyMessage(line, true);
    if (command == "up")
        return ParseKeyMessage(line, false);
    if (command == "tap")
        return ParseTap(line);
    if (command == "wait")
        return ParseWait(line);
    if (command == "block")
        return ParseBlock(line, true);
    if (command == "unblock")
        return ParseBlock(line, false);
    if (command == "expect")
        return ParseExpect(line);
    if (command == "print")
        return ParsePrint(line);
    line.Error("unknown command '" + command + "'");
}

} // namespace

bool ParseKeyName(const std::string &name, uint32_t &virtualKey) {
    static const struct {
        const char *name;
        uint32_t key;
    } names[] = {{"F7", 0x76}, {"F8", 0x77},    {"DELETE", 0x2E}, {"LEFT", 0x25},
                 {"UP", 0x26}, {"RIGHT", 0x27}, {"DOWN", 0x28}};
    for (const auto &entry : names) {
        if (name == entry.name) {
            virtualKey = entry.key;
            return true;
        }
    }
    uint64_t value = 0;
    if (!ParseHex(name, 0xFFFFFFFF, value))
        return false;
    virtualKey = static_cast<uint32_t>(value);
    return true;
}

std::vector<ScriptStep> ParseScriptText(const std::string &file, const std::string &text) {
    std::vector<ScriptStep> steps;
    std::istringstream lines(text);
    std::string source;
    int number = 0;
    while (std::getline(lines, source)) {
        ++number;
        if (source.find('\0') != std::string::npos)
            throw Failure(exitBadInput,
                          file + ":" + std::to_string(number) + ": the line holds a NUL byte");
        Line line{&file, number, {}};
        line.words = SplitWords(source, line);
        if (line.words.empty())
            continue;
        steps.push_back(ScriptStep{file, number, source, ParseLine(line)});
    }
    return steps;
}

std::vector<ScriptStep> ParseScriptFile(const std::string &file) {
    std::ifstream in(file, std::ios::binary);
    struct stat status;
    if (!in || stat(file.c_str(), &status) != 0)
        throw Failure(exitBadInput, file + ":0: cannot read the script: " + std::strerror(errno));
    if (S_ISDIR(status.st_mode))
        throw Failure(exitBadInput, file + ":0: cannot read the script: it is a directory");
    if (S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode)) // /dev/zero would never end
        throw Failure(exitBadInput, file + ":0: cannot read the script: it is a device");
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return ParseScriptText(file, buffer.str());
}

static std::string DirectoryOf(const std::string &file) {
    const std::size_t slash = file.rfind('/');
    return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

static std::string TraceArgument(char kind, uint64_t slot) {
    char text[64];
    const uint32_t low = static_cast<uint32_t>(slot);
    const bool narrow = (slot >> 32) == 0;
    if (kind == 's') {
        if (slot == 0)
            return "null";
        return Quoted(reinterpret_cast<const char *>(static_cast<uintptr_t>(slot)));
    }
    if (kind == 'o') {
        if (slot == 0)
            return "null";
        const int32_t written = *reinterpret_cast<const int32_t *>(static_cast<uintptr_t>(slot));
        return "&" + std::to_string(written);
    }
    if (!narrow || kind == 0) {
        std::snprintf(text, sizeof text, "0x%" PRIX64, slot);
        return text;
    }
    switch (kind) {
    case 'f': {
        float value;
        std::memcpy(&value, &low, sizeof value);
        std::snprintf(text, sizeof text, "%g", static_cast<double>(value));
        return text;
    }
    case 'u':
        std::snprintf(text, sizeof text, "0x%08" PRIX32, low);
        return text;
    case 'd':
        return std::to_string(low);
    case 'b':
        return low == 0 ? "false" : low == 1 ? "true" : std::to_string(low);
    default: // h, i
        return std::to_string(static_cast<int32_t>(low));
    }
}

static void TraceCall(std::ostream &out, const NativeCallRecord &call) {
    const NativeInfo *native = FindNative(call.hash);
    const char *signature = native != nullptr ? native->arguments : nullptr;
    char line[96];
    std::snprintf(line, sizeof line, "frame %" PRIu64 ": %s (0x%016" PRIX64 ")", call.frame,
                  native != nullptr ? native->name : "?", call.hash);
    out << line;
    const std::size_t known = signature != nullptr ? std::strlen(signature) : 0;
    for (int i = 0; i < call.argumentCount; ++i) {
        const std::size_t index = static_cast<std::size_t>(i);
        out << (i == 0 ? " " : ", ")
            << TraceArgument(index < known ? signature[index] : '\0', call.arguments[index]);
    }
    out << "\n";
}

int PlayScript(const std::string &file, const std::vector<ScriptStep> &steps,
               const ScriptOptions &options, std::ostream &out, std::ostream &err,
               ScriptTally &tally) {
    Game game;
    // The frames run are counted on every way out of the run.
    struct FrameCount {
        const Game &game;
        ScriptTally &tally;
        ~FrameCount() { tally.frames = game.FrameNumber(); }
    } frameCount{game, tally};
    ScriptRun run(game, options, out, err);
    run.scriptDirectory = DirectoryOf(file);
    game.callObserver = [&out, &options, &tally](const NativeCallRecord &call) {
        if (options.trace)
            TraceCall(out, call);
        const std::string exported = ExportedFileName(call.text);
        if (!exported.empty())
            tally.exports.insert(exported);
    };
    try {
        game.LoadModule(options.modulePath);
    } catch (const Failure &error) {
        err << "pfe-sim: " << error.what() << "\n";
        return error.status;
    }
    for (const ScriptStep &step : steps) {
        run.step = &step;
        try {
            step.run(run);
        } catch (const Failure &error) {
            err << step.file << ":" << step.line << ": "
                << (error.status == exitFailed ? "the run stopped: " : "") << error.what() << "\n";
            return error.status;
        }
    }
    try {
        game.UnloadModule();
    } catch (const Failure &stopped) {
        err << file << ": the run stopped while unloading: " << stopped.what() << "\n";
        return 1;
    }
    return run.failures == 0 ? 0 : 1;
}
