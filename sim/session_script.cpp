// Reader and player of session scripts: every line is checked before any frame runs.

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
#include <map>
#include <optional>
#include <string_view>

#include "data/face_features.h"
#include "sim/input_file.h"
#include "sim/keys.h"
#include "sim/printable.h"
#include "sim/screen.h"
#include "standin/game.h"
#include "standin/platform.h"
#include "standin/slots.h"

class ScriptRun {
  public:
    Game &game;
    const ScriptOptions &options;
    std::ostream &out;
    std::ostream &err;
    std::string file;
    std::string scriptDirectory;
    const ScriptStep *step = nullptr;
    int failures = 0;
    bool playerChosen = false;
    bool framesRun = false;
    int defaultPlayerHandleLine = 0; // the line that spawned an entity under the default handle

    void Fail(const std::string &what) {
        ++failures;
        err << file << ":" << step->line << ": " << what << "\n";
    }
    void RunFrames(int count);
    void Spawned(int32_t handle);
    void KeyMessage(uint32_t key, bool down);
    WorldEntity &Entity(int32_t handle);

    // Key messages of `down` and `up` held for the next frame (see KeyMessage).
    std::vector<std::pair<uint32_t, bool>> heldKeys = {};
};

// A spawn on the default player's handle clashes at the first frame without `player`: remember it.
void ScriptRun::Spawned(int32_t handle) {
    if (handle == facts::defaultPlayerPed)
        defaultPlayerHandleLine = step->line;
}

void ScriptRun::RunFrames(int count) {
    if (!framesRun && !playerChosen && game.world.playerPed == 0) {
        if (game.world.Exists(facts::defaultPlayerPed))
            throw Failure(exitBadInput,
                          "entity " + std::to_string(facts::defaultPlayerPed) +
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

// On the system clock (Windows) a key message goes out right before its frame, not aged.
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
    for (std::size_t i = text.find_first_not_of(" \t"); i < text.size() && text[i] != '#';
         i = text.find_first_not_of(" \t", i)) {
        Word word{"", text[i] == '"'};
        if (!word.quoted) {
            const std::size_t end = std::min(text.find_first_of(" \t", i), text.size());
            word.text = text.substr(i, end - i);
            if (word.text.find('"') != std::string::npos)
                line.Error("a quote inside a word");
            i = end;
            words.push_back(word);
            continue;
        }
        for (++i;;) {
            if (i >= text.size())
                line.Error("a quoted text is not closed");
            const char q = text[i++];
            if (q == '"')
                break;
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
        if (i < text.size() && text[i] != ' ' && text[i] != '\t')
            line.Error("a quoted text must be followed by a space");
        words.push_back(word);
    }
    return words;
}

// A script word as a message shows it: quoted, control bytes escaped, a long one cut.
std::string Shown(const std::string &word) { return "'" + Printable(word) + "'"; }

enum class Digits { none, fit, tooLarge };

// Decimal digits and nothing else, at most `most` (unsigned from_chars takes no sign).
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

// What a count is ("a number of frames") and its limit ("at most 100000000 frames").
struct Quantity {
    const char *what; // "a number of frames", said of a word that is not one
    const char *unit; // "frames", said with the limit
    uint64_t most;
};

uint32_t Count(const Line &line, std::size_t index, const Quantity &quantity) {
    const std::string &text = line.words[index].text;
    uint64_t value = 0;
    const Digits digits = ParseDecimal(text, quantity.most, value);
    if (digits == Digits::none)
        line.Error(Shown(text) + " is not " + quantity.what);
    // The command as messages name it: "frame", "expect file" (a count is never its first word).
    const std::string &command = line.words[0].text;
    if (digits == Digits::tooLarge)
        line.Error((command == "expect" ? "expect " + line.words[1].text : command) +
                   " takes at most " + std::to_string(quantity.most) + " " + quantity.unit +
                   ", not " + Printable(text));
    return static_cast<uint32_t>(value);
}

constexpr Quantity frameCount{"a number of frames", "frames", maxFramesPerCommand};
constexpr Quantity tapCount{"a number of taps", "taps", maxTaps};
constexpr Quantity milliseconds{"a number of milliseconds", "milliseconds", 0xFFFFFFFF};
constexpr Quantity featureId{"a feature id", "as a feature id", 0xFFFFFFFF};
constexpr Quantity byteCount{"a number of bytes", "bytes", 0xFFFFFFFF};
constexpr Quantity entityHandle{"an entity handle (a positive integer)", "as an entity handle",
                                0x7FFFFFFF};

int32_t Handle(const Line &line, std::size_t index) {
    const uint32_t value = Count(line, index, entityHandle);
    if (value == 0)
        line.Error(Shown(line.words[index].text) + " is not " + entityHandle.what);
    return static_cast<int32_t>(value);
}

uint32_t HexHash(const Line &line, std::size_t index) {
    uint32_t value = 0;
    if (!ParseHex32(line.words[index].text, value))
        line.Error(Shown(line.words[index].text) +
                   " is not a 32-bit hash written as 0x and 1 to 8 hex digits");
    return value;
}

// A finite number that a float holds: "inf" and "nan" would put NaN into the camera.
float Number(const Line &line, std::size_t index) {
    const std::string &text = line.words[index].text;
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value) ||
        !std::isfinite(static_cast<float>(value)))
        line.Error(Shown(text) + " is not a finite number (such as 12, -0.5 or 1e3)");
    return static_cast<float>(value);
}

// F7, F8, DELETE, LEFT, UP, RIGHT, DOWN, or 0x and 1 to 8 hex digits.
uint32_t Key(const Line &line, std::size_t index) {
    if (const EditorKey *named = KeyOfScriptWord(line.words[index].text))
        return named->virtualKey;
    uint32_t key = 0;
    if (!ParseHex32(line.words[index].text, key))
        line.Error("unknown key " + Shown(line.words[index].text) +
                   " (F7, F8, DELETE, LEFT, UP, RIGHT, DOWN or 0x and 1 to 8 hex digits)");
    return key;
}

// A plain name: no folder, no control byte, not longer than a file name may be.
std::string FileName(const Line &line, std::size_t index) {
    const std::string &name = line.words[index].text;
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == ".." ||
        name.size() > 255 || Printable(name) != name)
        line.Error(Shown(name) + " is not a plain file name in the working directory");
    return name;
}

// A model is a name the game hashes, or its hash: a word that starts like a hash must be one.
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
        line.Error(Shown(text) + " is not a model hash (0x and 1 to 8 hex digits)");
    return Model{text, hash};
}

uint32_t ModelHash(Game &game, const Model &model) {
    return model.hash ? *model.hash : game.world.HashForName(model.name);
}

void CountWords(const Line &line, std::size_t least, std::size_t most, const char *usage) {
    if (line.words.size() < least || line.words.size() > most)
        line.Error(std::string("usage: ") + usage);
}

typedef std::function<void(ScriptRun &)> Action;

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
            line.Error("unexpected " + Shown(w[i].text) +
                       " (usage: ped H MODEL [animal] [heading DEG] [at X Y Z])");
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
    const bool turn = line.words.size() > 5;
    if (turn && (line.words.size() != 7 || line.words[5].text != "heading"))
        line.Error("usage: move H X Y Z [heading DEG]");
    const float heading = turn ? Number(line, 6) : 0.0f;
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

// The game has the animation dictionary NAME (it has the editor's pose dictionary anyway).
Action ParseDictionary(const Line &line) {
    CountWords(line, 2, 2, "dictionary NAME");
    const std::string name = line.words[1].text;
    return [=](ScriptRun &run) { run.game.world.knownDictionaries.insert(name); };
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
    const uint32_t count = line.words.size() > 1 ? Count(line, 1, frameCount) : 1;
    return [=](ScriptRun &run) { run.RunFrames(static_cast<int>(count)); };
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

Action ParseBlock(const Line &line, bool block) {
    CountWords(line, 2, 2, block ? "block NAME" : "unblock NAME");
    const std::string name = FileName(line, 1);
    return [=](ScriptRun &) {
        if (block ? !platform::MakeDirectory(name) : rmdir(name.c_str()) != 0)
            throw Failure(exitBadInput, (block ? "cannot block " : "cannot unblock ") + name +
                                            ": " + std::strerror(errno));
    };
}

Action ParsePrint(const Line &line) {
    if (line.words.size() != 2 || line.words[1].text != "screen")
        line.Error("usage: print screen");
    return
        [](ScriptRun &run) { run.out << RenderScreen(run.game.FrameTexts(), run.options.screen); };
}

Action ParseExpectDrawn(const Line &line, bool wanted) {
    if (line.words.size() != 3)
        line.Error(std::string("usage: expect ") + (wanted ? "drawn" : "not-drawn") + " \"TEXT\"");
    const std::string text = line.words[2].text;
    return [=](ScriptRun &run) {
        if (std::ranges::any_of(run.game.FrameTexts(), [&](const DrawnText &drawn) {
                return drawn.text.find(text) != std::string::npos;
            }) == wanted)
            return;
        std::string seen;
        for (const DrawnText &drawn : run.game.FrameTexts())
            seen += "\n    " + PrintableQuoted(drawn.text);
        run.Fail(std::string("expected ") +
                 (wanted ? "a drawn text containing " : "no drawn text containing ") +
                 PrintableQuoted(text) + "; the last frame drew " +
                 (seen.empty()
                      ? std::string("nothing")
                      : Counted(run.game.FrameTexts().size(), "text", "texts") + ":" + seen));
    };
}

// A feature by its id or its name; its value as "%f" prints it, as the editor does.
uint32_t Feature(const Line &line, std::size_t index) {
    const std::string &word = line.words[index].text;
    for (int i = 0; i < faceFeatureCount; ++i)
        if (word == faceFeatureNames[i])
            return faceFeatureIds[i];
    if (word.empty() || word[0] < '0' || word[0] > '9')
        line.Error(Shown(word) + " is not a feature id or a name such as " + faceFeatureNames[0]);
    return Count(line, index, featureId);
}

std::string Printed(double value) {
    char printed[64];
    std::snprintf(printed, sizeof printed, "%f", value);
    return printed;
}

Action ParseExpectFeature(const Line &line) {
    CountWords(line, 5, 5, "expect feature H ID|NAME VALUE");
    const int32_t handle = Handle(line, 2);
    const uint32_t id = Feature(line, 3);
    const std::string value = Printed(Number(line, 4));
    return [=](ScriptRun &run) {
        const std::optional<float> set = run.game.world.FaceFeature(handle, id);
        const std::string expected = "expected feature " + std::to_string(id) + " of ped " +
                                     std::to_string(handle) + " to be " + value + "; ";
        if (!set)
            run.Fail(expected + "it was never set");
        else if (Printed(static_cast<double>(*set)) != value)
            run.Fail(expected + "it is " + Printed(static_cast<double>(*set)));
    };
}

Action ParseExpectFile(const Line &line) {
    CountWords(line, 4, 4, "expect file NAME BYTES");
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
    CountWords(line, 3, 3, "expect no-file NAME");
    const std::string name = FileName(line, 2);
    return [=](ScriptRun &run) {
        if (platform::PathExists(name))
            run.Fail("expected no file " + name + "; it exists");
    };
}

Action ParseExpectSameFile(const Line &line) {
    CountWords(line, 4, 4, "expect same-file NAME GOLDEN");
    const std::string name = FileName(line, 2);
    const std::string golden = line.words[3].text;
    return [=](ScriptRun &run) {
        const std::string goldenPath =
            std::filesystem::path(golden).is_absolute() ? golden : run.scriptDirectory + golden;
        const InputFile expected = ReadInputFile(goldenPath, maxComparedFileBytes, "a golden file");
        if (!expected.read)
            throw Failure(exitBadInput, "cannot read the golden file " + Printable(goldenPath) +
                                            ": " + expected.why);
        const InputFile actual = ReadInputFile(name, maxComparedFileBytes, "a compared file");
        if (!actual.read) {
            run.Fail("expected file " + name + " with the bytes of " + Printable(golden) + "; " +
                     (actual.missing ? "there is no such file" : actual.why));
            return;
        }
        const auto [differs, unused] = std::mismatch(actual.bytes.begin(), actual.bytes.end(),
                                                     expected.bytes.begin(), expected.bytes.end());
        if (actual.bytes != expected.bytes)
            run.Fail("file " + name + " differs from " + Printable(golden) + " at byte " +
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

typedef Action (*Parser)(const Line &line);

// The expectations and the commands, by the word that names them.
const std::map<std::string, Parser> expectations = {
    {"drawn", [](const Line &line) { return ParseExpectDrawn(line, true); }},
    {"not-drawn", [](const Line &line) { return ParseExpectDrawn(line, false); }},
    {"feature", ParseExpectFeature},
    {"file", ParseExpectFile},
    {"no-file", ParseExpectNoFile},
    {"same-file", ParseExpectSameFile},
    {"camera", ParseExpectCamera},
};

Action ParseExpect(const Line &line) {
    if (line.words.size() < 2)
        line.Error("usage: expect WHAT ...");
    const auto found = expectations.find(line.words[1].text);
    if (found == expectations.end())
        line.Error("unknown expectation " + Shown(line.words[1].text) +
                   " (drawn, not-drawn, feature, file, no-file, same-file, camera)");
    return found->second(line);
}

const std::map<std::string, Parser> commands = {
    {"ped", ParsePed},
    {"object", ParseObject},
    {"player", ParsePlayer},
    {"aim", ParseAim},
    {"remove", ParseRemove},
    {"move", ParseMove},
    {"hash", ParseHash},
    {"dictionary", ParseDictionary},
    {"drop-dictionary", ParseDropDictionary},
    {"frame", ParseFrame},
    {"down", [](const Line &line) { return ParseKeyMessage(line, true); }},
    {"up", [](const Line &line) { return ParseKeyMessage(line, false); }},
    {"tap", ParseTap},
    {"block", [](const Line &line) { return ParseBlock(line, true); }},
    {"unblock", [](const Line &line) { return ParseBlock(line, false); }},
    {"expect", ParseExpect},
    {"print", ParsePrint},
};

// The commands that take one count and hand it to the game.
struct CountCommand {
    const char *usage;
    Quantity quantity;
    void (*apply)(ScriptRun &run, uint32_t count);
};
const std::map<std::string, CountCommand> countCommands = {
    {"dictionary-delay",
     {"dictionary-delay N",
      {"a number of frames", "frames", maxDictionaryDelay},
      [](ScriptRun &run, uint32_t n) { run.game.world.dictionaryDelayFrames = n; }}},
    // The next N camera creations return a handle that names no camera.
    {"fail-cameras",
     {"fail-cameras N",
      {"a number of camera creations", "camera creations", maxFailingCameras},
      [](ScriptRun &run, uint32_t n) { run.game.world.failingCameraCreations = n; }}},
    {"frame-time",
     {"frame-time MS", milliseconds, [](ScriptRun &run, uint32_t n) { run.game.frameTimeMs = n; }}},
    {"clock",
     {"clock MS",
      {"a tick count in milliseconds", "milliseconds", 0xFFFFFFFF},
      [](ScriptRun &run, uint32_t n) { run.game.SetClock(n); }}},
    {"wait",
     {"wait MS", milliseconds, [](ScriptRun &run, uint32_t n) { run.game.AdvanceClock(n); }}},
};

Action ParseLine(const Line &line) {
    const std::string &command = line.words[0].text;
    if (line.words[0].quoted)
        line.Error("a line must start with a command, not a quoted text");
    if (platform::moduleReadsSystemClock &&
        (command == "frame-time" || command == "clock" || command == "wait"))
        line.Error("'" + command +
                   "' needs the stand-in's virtual clock; in the Windows build the "
                   "module reads the system clock");
    if (const auto one = countCommands.find(command); one != countCommands.end()) {
        CountWords(line, 2, 2, one->second.usage);
        const uint32_t count = Count(line, 1, one->second.quantity);
        return [count, apply = one->second.apply](ScriptRun &run) { apply(run, count); };
    }
    const auto found = commands.find(command);
    if (found == commands.end())
        line.Error("unknown command " + Shown(command));
    return found->second(line);
}

} // namespace

// Takes the first line off `rest`: a line ends at LF, CR LF or a lone CR, or where the text does.
static std::string_view NextLine(std::string_view &rest) {
    const std::size_t end = std::min(rest.find_first_of("\r\n"), rest.size());
    const std::string_view line = rest.substr(0, end);
    const bool crlf = rest.substr(end).starts_with("\r\n");
    rest.remove_prefix(std::min(rest.size(), end + (crlf ? 2 : 1)));
    return line;
}

// The folder of the script, absolute, so that a run in another folder finds its golden files.
static std::string DirectoryOf(const std::string &file) {
    std::error_code error;
    const std::string path = std::filesystem::absolute(file, error).generic_string();
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The script's name is kept as messages show it; only reading it needs the name as given.
Script ParseScriptText(const std::string &file, const std::string &text) {
    Script script{Printable(file), DirectoryOf(file), {}};
    std::string_view rest = text;
    if (rest.starts_with("\xEF\xBB\xBF")) // the byte-order mark some editors put first
        rest.remove_prefix(3);
    int number = 0;
    while (!rest.empty()) {
        const std::string source(NextLine(rest));
        ++number;
        if (source.find('\0') != std::string::npos)
            throw Failure(exitBadInput, script.file + ":" + std::to_string(number) +
                                            ": the line holds a NUL byte");
        Line line{&script.file, number, {}};
        line.words = SplitWords(source, line);
        if (line.words.empty())
            continue;
        script.steps.push_back(ScriptStep{number, ParseLine(line)});
    }
    return script;
}

Script ParseScriptFile(const std::string &file) {
    try {
        const InputFile script = ReadInputFile(file, maxScriptBytes, "a script");
        if (!script.read)
            throw Failure(exitBadInput,
                          Printable(file) + ":0: cannot read the script: " + script.why);
        return ParseScriptText(file, script.bytes);
    } catch (const std::bad_alloc &) {
        throw Failure(exitBadInput, Printable(file) + ":0: not enough memory to read the script");
    }
}

// An argument by the kind the module pushes it as; a slot with bits in its upper half in hex.
static std::string TraceArgument(char kind, uint64_t slot) {
    const char *pointer = reinterpret_cast<const char *>(static_cast<uintptr_t>(slot));
    const uint32_t low = static_cast<uint32_t>(slot);
    char text[64];
    if ((kind == 's' || kind == 'o') && slot == 0)
        return "null";
    if (kind == 's')
        return PrintableQuoted(pointer, std::string::npos);
    if (kind == 'o')
        return "&" + std::to_string(*reinterpret_cast<const int32_t *>(pointer));
    if (slot != low || kind == 0) // bits in the upper half, or a native we do not know
        std::snprintf(text, sizeof text, "0x%" PRIX64, slot);
    else if (kind == 'u')
        std::snprintf(text, sizeof text, "0x%08" PRIX32, low);
    else if (kind == 'f')
        std::snprintf(text, sizeof text, "%g", static_cast<double>(SlotFloat(slot)));
    else if (kind == 'b' && low <= 1)
        return low == 0 ? "false" : "true";
    else // d and b unsigned, h and i signed
        return kind == 'd' || kind == 'b' ? std::to_string(low)
                                          : std::to_string(static_cast<int32_t>(low));
    return text;
}

static void TraceCall(std::ostream &out, const NativeCallRecord &call) {
    const NativeInfo *native = FindNative(call.hash);
    const char *signature = native != nullptr ? native->arguments : nullptr;
    char when[32] = "unload", line[128]; // the unload's calls are made outside any frame
    if (!call.unload)
        std::snprintf(when, sizeof when, "frame %" PRIu64, call.frame);
    std::snprintf(line, sizeof line, "%s: %s (0x%016" PRIX64 ")", when,
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

int PlayScript(const Script &script, const ScriptOptions &options, std::ostream &out,
               std::ostream &err, ScriptTally &tally) {
    const std::string &file = script.file;
    Game game;
    // The frames run are counted on every way out of the run.
    struct FrameCount {
        const Game &game;
        ScriptTally &tally;
        ~FrameCount() { tally.frames = game.FrameNumber(); }
    } frameCount{game, tally};
    ScriptRun run{game, options, out, err, file, script.directory};
    game.callObserver = [&out, &options, &tally](const NativeCallRecord &call) {
        if (options.trace)
            TraceCall(out, call);
        const std::string exported = ExportedFileName(call.text);
        if (!exported.empty())
            tally.exports.insert(exported);
    };
    try {
        game.LoadModule(options.modulePath);
    } catch (...) {
        return ReportCurrentError(err);
    }
    for (const ScriptStep &step : script.steps) {
        run.step = &step;
        try {
            step.run(run);
        } catch (const Failure &error) {
            // A failure may concern an earlier line than the step that found it.
            err << file << ":" << (error.line > 0 ? error.line : step.line) << ": " << error.what()
                << "\n";
            return error.status;
        } catch (const GameError &error) {
            err << file << ":" << step.line << ": "
                << (error.kind == GameError::Kind::ruleBroken ? "the run stopped: " : "")
                << Printable(error.what(), std::string::npos) << "\n";
            return ExitStatus(error);
        }
    }
    try {
        game.UnloadModule();
    } catch (const GameError &stopped) {
        err << file
            << ": the run stopped while unloading: " << Printable(stopped.what(), std::string::npos)
            << "\n";
        return ExitStatus(stopped);
    }
    return run.failures == 0 ? 0 : 1;
}
