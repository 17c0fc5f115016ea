// Reader and player of session scripts. Parsing turns each line into a step with its
// arguments already checked and converted, so a malformed script is refused before any
// frame runs.

#include "sim/session_script.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string_view>

#include "sim/input_file.h"
#include "sim/keys.h"
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
    int defaultPlayerHandleLine = 0; // the line that spawned an entity under the default handle

    void Fail(const std::string &what) {
        ++failures;
        err << step->file << ":" << step->line << ": " << what << "\n";
    }
    void RunFrames(int count);
    void Spawned(int32_t handle);
    void KeyMessage(uint32_t key, bool down);
    WorldEntity &Entity(int32_t handle);

    // Key messages of `down` and `up` held for the next frame (see KeyMessage).
    std::vector<std::pair<uint32_t, bool>> heldKeys;
};

static constexpr int32_t defaultPlayerHandle = facts::defaultPlayerPed;

// An entity spawned under the default player's handle clashes with that ped if the first
// frame comes before a `player` command; the clash is the spawning line's, so remember it.
void ScriptRun::Spawned(int32_t handle) {
    if (handle == defaultPlayerHandle)
        defaultPlayerHandleLine = step->line;
}

void ScriptRun::RunFrames(int count) {
    if (!framesRun && !playerChosen && game.world.playerPed == 0) {
        if (game.world.Exists(defaultPlayerHandle))
            throw Failure(exitBadInput,
                          "entity " + std::to_string(defaultPlayerHandle) +
                              " takes the handle of the player's ped, which is made "
                              "before the first frame (line " +
                              std::to_string(step->line) +
                              ") when no 'player' command comes first: use another handle, or "
                              "say 'player H' before the first frame",
                          defaultPlayerHandleLine);
        SpawnDefaultPlayer(game.world);
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
        if (c == ' ' || c == '\t') {
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
            if (i < text.size() && text[i] != ' ' && text[i] != '\t')
                line.Error("a quoted text must be followed by a space");
        } else {
            while (i < text.size() && text[i] != ' ' && text[i] != '\t') {
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

enum class Digits { none, fit, tooLarge };

// Decimal digits and nothing else, at most `most`. from_chars takes no sign for an unsigned
// type (a signed one would take '-'), no space and no "0x"; what it leaves over is refused.
Digits ParseDecimal(std::string_view text, uint64_t most, uint64_t &value) {
    const char *const last = text.data() + text.size();
    const auto [end, error] = std::from_chars(text.data(), last, value);
    if (error == std::errc::invalid_argument || end != last)
        return Digits::none;
    return error == std::errc() && value <= most ? Digits::fit : Digits::tooLarge;
}

// A 32-bit hash or key code: 0x and 1 to 8 hex digits.
bool ParseHex32(std::string_view text, uint32_t &value) {
    if (text.size() < 3 || text.size() > 10 || !text.starts_with("0x"))
        return false;
    const char *const last = text.data() + text.size();
    const auto [end, error] = std::from_chars(text.data() + 2, last, value, 16);
    return error == std::errc() && end == last;
}

// What a count on a command line is and how far it goes: "frame takes at most 100000000
// frames" names the limit of a count beyond it.
struct Quantity {
    const char *what; // "a number of frames", said of a word that is not one
    const char *unit; // "frames", said with the limit
    uint64_t most;
};

// The command of a line as its messages name it: "frame", "expect file".
std::string CommandName(const Line &line) {
    if (line.words[0].text == "expect" && line.words.size() > 1)
        return "expect " + line.words[1].text;
    return line.words[0].text;
}

uint32_t Count(const Line &line, std::size_t index, const Quantity &quantity) {
    const std::string &text = line.words[index].text;
    uint64_t value = 0;
    const Digits digits = ParseDecimal(text, quantity.most, value);
    if (digits == Digits::none)
        line.Error("'" + text + "' is not " + quantity.what);
    if (digits == Digits::tooLarge)
        line.Error(CommandName(line) + " takes at most " + std::to_string(quantity.most) + " " +
                   quantity.unit + ", not " + text);
    return static_cast<uint32_t>(value);
}

constexpr Quantity frameCount{"a number of frames", "frames", maxFramesPerCommand};
constexpr Quantity delayFrames{"a number of frames", "frames", maxDictionaryDelay};
constexpr Quantity failingCameras{"a number of camera creations", "camera creations",
                                  maxFailingCameras};
constexpr Quantity tapCount{"a number of taps", "taps", maxTaps};
constexpr Quantity milliseconds{"a number of milliseconds", "milliseconds", 0xFFFFFFFF};
constexpr Quantity tickCount{"a tick count in milliseconds", "milliseconds", 0xFFFFFFFF};
constexpr Quantity featureId{"a feature id", "as a feature id", 0xFFFFFFFF};
constexpr Quantity byteCount{"a number of bytes", "bytes", 0xFFFFFFFF};
constexpr Quantity entityHandle{"an entity handle (a positive integer)", "as an entity handle",
                                0x7FFFFFFF};

int32_t Handle(const Line &line, std::size_t index) {
    const uint32_t value = Count(line, index, entityHandle);
    if (value == 0)
        line.Error("'" + line.words[index].text + "' is not " + entityHandle.what);
    return static_cast<int32_t>(value);
}

uint32_t HexHash(const Line &line, std::size_t index) {
    uint32_t value = 0;
    if (!ParseHex32(line.words[index].text, value))
        line.Error("'" + line.words[index].text +
                   "' is not a 32-bit hash written as 0x and 1 to 8 hex digits");
    return value;
}

// A finite number that a float holds: from_chars takes no '+', no "0x" and no spaces, but
// does take "inf" and "nan", which would put NaN into the camera's placement.
float Number(const Line &line, std::size_t index) {
    const std::string &text = line.words[index].text;
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) ||
        !std::isfinite(static_cast<float>(value)))
        line.Error("'" + text + "' is not a finite number (such as 12, -0.5 or 1e3)");
    return static_cast<float>(value);
}

uint32_t Key(const Line &line, std::size_t index) {
    uint32_t key = 0;
    if (!ParseKeyName(line.words[index].text, key))
        line.Error("unknown key '" + line.words[index].text +
                   "' (F7, F8, DELETE, LEFT, UP, RIGHT, DOWN or 0x and 1 to 8 hex digits)");
    return key;
}

std::string FileName(const Line &line, std::size_t index) {
    const std::string &name = line.words[index].text;
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
        line.Error("'" + name + "' is not a plain file name in the working directory");
    return name;
}

// A model is a name the game hashes, or its hash as 0x and hex digits. A word that starts
// like a hash must be one, rather than be hashed as a name.
struct Model {
    std::string name;
    std::optional<uint32_t> hash;
};

Model ModelWord(const Line &line, std::size_t index) {
    const std::string &text = line.words[index].text;
    if (!text.starts_with("0x") && !text.starts_with("0X"))
        return Model{text, std::nullopt};
    uint32_t hash = 0;
    if (!ParseHex32(text, hash))
        line.Error("'" + text + "' is not a model hash (0x and 1 to 8 hex digits)");
    return Model{text, hash};
}

uint32_t ModelHash(Game &game, const Model &model) {
    return model.hash ? *model.hash : game.world.HashForName(model.name);
}

void CountWords(const Line &line, std::size_t least, std::size_t most, const char *usage) {
    if (line.words.size() < least || line.words.size() > most)
        line.Error(std::string("usage: ") + usage);
}

// "1 byte", "2 bytes".
std::string Counted(uint64_t count, const char *one, const char *many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
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
    const Model model = ModelWord(line, 2);
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
        run.Spawned(handle);
    };
}

Action ParseObject(const Line &line) {
    CountWords(line, 2, 3, "object H [MODEL]");
    const int32_t handle = Handle(line, 1);
    const Model model = line.words.size() > 2 ? ModelWord(line, 2) : Model{"P_BARREL01X", {}};
    return [=](ScriptRun &run) {
        run.game.world.Spawn(handle, EntityKind::object, ModelHash(run.game, model), false);
        run.Spawned(handle);
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
    const uint32_t frames = Count(line, 1, delayFrames);
    return [=](ScriptRun &run) { run.game.world.dictionaryDelayFrames = frames; };
}

Action ParseDropDictionary(const Line &line) {
    CountWords(line, 1, 1, "drop-dictionary");
    return [](ScriptRun &run) {
        for (auto &entry : run.game.world.dictionaries)
            run.game.world.DropDictionary(entry.first);
    };
}

// The game fails to make a camera: the next N creations return a handle that names none.
Action ParseFailCameras(const Line &line) {
    CountWords(line, 2, 2, "fail-cameras N");
    const uint32_t count = Count(line, 1, failingCameras);
    return [=](ScriptRun &run) { run.game.world.failingCameraCreations = count; };
}

Action ParseFrame(const Line &line) {
    CountWords(line, 1, 2, "frame [N]");
    const uint32_t count = line.words.size() > 1 ? Count(line, 1, frameCount) : 1;
    return [=](ScriptRun &run) { run.RunFrames(static_cast<int>(count)); };
}

Action ParseFrameTime(const Line &line) {
    CountWords(line, 2, 2, "frame-time MS");
    const uint32_t ms = Count(line, 1, milliseconds);
    return [=](ScriptRun &run) { run.game.frameTimeMs = ms; };
}

Action ParseClock(const Line &line) {
    CountWords(line, 2, 2, "clock MS");
    const uint32_t ms = Count(line, 1, tickCount);
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
    const uint32_t count = line.words.size() > 2 ? Count(line, 2, tapCount) : 1;
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
    const uint32_t ms = Count(line, 1, milliseconds);
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
                 (seen.empty()
                      ? std::string("nothing")
                      : Counted(run.game.FrameTexts().size(), "text", "texts") + ":" + seen));
    };
}

Action ParseExpectFeature(const Line &line) {
    if (line.words.size() != 5)
        line.Error("usage: expect feature H ID VALUE");
    const int32_t handle = Handle(line, 2);
    const uint32_t id = Count(line, 3, featureId);
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
    const uint64_t bytes = Count(line, 3, byteCount);
    return [=](ScriptRun &run) {
        const std::string expected =
            "expected file " + name + " of " + Counted(bytes, "byte", "bytes") + "; ";
        std::uintmax_t size = 0;
        std::string why;
        bool missing = false;
        if (!RegularFileSize(name, size, why, missing))
            run.Fail(expected + (missing ? "there is no such file" : why));
        else if (size != bytes)
            run.Fail(expected + "it holds " + Counted(size, "byte", "bytes"));
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
            std::filesystem::path(golden).is_absolute() ? golden : run.scriptDirectory + golden;
        const InputFile expected = ReadInputFile(goldenPath, maxComparedFileBytes, "a golden file");
        if (!expected.read)
            throw Failure(exitBadInput,
                          "cannot read the golden file " + goldenPath + ": " + expected.why);
        const InputFile actual = ReadInputFile(name, maxComparedFileBytes, "a compared file");
        if (!actual.read) {
            run.Fail("expected file " + name + " with the bytes of " + golden + "; " +
                     (actual.missing ? "there is no such file" : actual.why));
            return;
        }
        const auto [differs, unused] = std::mismatch(actual.bytes.begin(), actual.bytes.end(),
                                                     expected.bytes.begin(), expected.bytes.end());
        if (actual.bytes != expected.bytes)
            run.Fail("file " + name + " differs from " + golden + " at byte " +
                     std::to_string(differs - actual.bytes.begin()) + " (" +
                     Counted(actual.bytes.size(), "byte", "bytes") + " against " +
                     std::to_string(expected.bytes.size()) + ")");
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
            run.Fail("expected no scripted camera; " + Counted(cameras.size(), "exists", "exist"));
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
    if (command == "fail-cameras")
        return ParseFailCameras(line);
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
    if (const EditorKey *key = KeyOfScriptWord(name)) {
        virtualKey = key->virtualKey;
        return true;
    }
    return ParseHex32(name, virtualKey);
}

// Takes the first line off `rest`: a line ends at LF, CR LF or a lone CR, or where the text does.
static std::string_view NextLine(std::string_view &rest) {
    const std::size_t end = std::min(rest.find_first_of("\r\n"), rest.size());
    const std::string_view line = rest.substr(0, end);
    const bool crlf = rest.substr(end).starts_with("\r\n");
    rest.remove_prefix(std::min(rest.size(), end + (crlf ? 2 : 1)));
    return line;
}

std::vector<ScriptStep> ParseScriptText(const std::string &file, const std::string &text) {
    std::vector<ScriptStep> steps;
    std::string_view rest = text;
    if (rest.starts_with("\xEF\xBB\xBF")) // the byte-order mark some editors put first
        rest.remove_prefix(3);
    int number = 0;
    while (!rest.empty()) {
        const std::string source(NextLine(rest));
        ++number;
        if (source.find('\0') != std::string::npos)
            throw Failure(exitBadInput,
                          file + ":" + std::to_string(number) + ": the line holds a NUL byte");
        Line line{&file, number, {}};
        line.words = SplitWords(source, line);
        if (line.words.empty())
            continue;
        steps.push_back(ScriptStep{file, number, ParseLine(line)});
    }
    return steps;
}

std::vector<ScriptStep> ParseScriptFile(const std::string &file) {
    const InputFile script = ReadInputFile(file, maxScriptBytes, "a script");
    if (!script.read)
        throw Failure(exitBadInput, file + ":0: cannot read the script: " + script.why);
    return ParseScriptText(file, script.bytes);
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
                  native != nullptr ? native->ShortName() : "?", call.hash);
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
            // A failure may concern an earlier line than the step that found it.
            err << step.file << ":" << (error.line > 0 ? error.line : step.line) << ": "
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
