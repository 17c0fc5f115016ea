// Randomized model check of whole sessions: a long run of random game events and key messages
// is played against the module through the stand-in, and a reference model of the editor,
// written here from the editor's documented behaviour, predicts every native call of every
// frame (with its arguments and texts), the cameras the game holds afterwards, and the bytes
// of every exported file. The first divergence fails the run with its seed and frame.
//
// PFE_SEED picks another seed, PFE_FRAMES another length; a failure prints both, so that
//   PFE_SEED=<seed> PFE_FRAMES=<frames> ctest -R ModelCheck
// replays it exactly.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "sim/keys.h"
#include "support/game_fixture.h"

namespace {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool underSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool underSanitizer = true;
#else
constexpr bool underSanitizer = false;
#endif
#else
constexpr bool underSanitizer = false;
#endif

// A sanitizer makes every frame many times dearer: fewer frames keep such a run near a minute.
constexpr uint64_t defaultFrames = underSanitizer ? 20000 : 100000;
constexpr uint64_t defaultSeed = 20261208;

namespace native = hashes;

constexpr uint32_t keyF7 = keys::f7, keyF8 = keys::f8, keyDelete = keys::del, keyLeft = keys::left,
                   keyUp = keys::up, keyRight = keys::right, keyDown = keys::down;
constexpr int32_t firstPlayer = facts::defaultPlayerPed;
constexpr int entityPool = 24; // handles 1..24 come and go, and are reused
const char *const poseDictionary = facts::poseDictionary;

uint64_t Handle(int32_t handle) { return static_cast<uint32_t>(handle); }

std::string Printf(const char *format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char *format, ...) {
    char buffer[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

// One native call as the model expects it. Arguments named in addressMask are addresses
// (strings, out-parameters) and are not compared; the text is what the stand-in recorded of
// the call's string argument.
struct ExpectedCall {
    uint64_t hash = 0;
    int argumentCount = 0;
    std::array<uint64_t, maxNativeArguments> arguments{};
    unsigned addressMask = 0;
    std::string text;
};

// ---- the reference model ------------------------------------------------------------------

struct ModelEntity {
    EntityKind kind = EntityKind::ped;
    uint32_t model = 0;
    bool human = false;
    WorldEntity placed; // position and heading, for the camera placement
};

struct ModelCamera {
    uint32_t type = 0;
    Vec3 position;
    Vec3 rotation;
    int32_t rotationOrder = 0;
    float fieldOfView = 0.0f;
    bool active = false;
};

struct KeySlot {
    uint32_t time = 0;
    bool isUp = false;
};

class EditorModel {
  public:
    EditorModel(std::vector<std::string> modelNames, std::vector<std::string> featureNames,
                std::vector<uint32_t> featureIds)
        : catalogue(std::move(modelNames)), names(std::move(featureNames)),
          ids(std::move(featureIds)) {}

    // ---- the game's side, changed by the run's events ----
    std::map<int32_t, ModelEntity> entities;
    int32_t playerPed = firstPlayer;
    bool freeAiming = false;
    int32_t aimTarget = 0;
    std::map<std::string, uint32_t> forcedHashes;
    uint32_t dictionaryDelay = 0;
    bool dictionaryRequested = false;
    bool dictionaryDropped = false;
    uint64_t dictionaryRequestedFrame = 0;
    std::map<int32_t, ModelCamera> cameras;
    int32_t nextCamera = 1;

    // ---- the host's side ----
    uint32_t clock = 0;
    uint32_t frameTime = 16;
    uint64_t frame = 0;
    std::array<KeySlot, 255> keys{};

    // ---- the editor ----
    int32_t selectedPed = 0;
    int32_t aimedEntity = 0;
    int32_t editorCamera = 0;
    int32_t cursor = 0;
    std::string label;
    std::string statusLine;
    std::array<float, 54> values{};
    std::map<uint32_t, std::string> namesByHash;
    bool started = false;
    bool waitingForDictionary = false;

    // ---- the working directory ----
    std::map<std::string, std::string> files;
    std::set<std::string> blockedNames; // directories put where a file would go
    std::size_t fileSizeLimit = 0;      // bytes a file may hold while the disk is "full"; 0: any

    // ---- what the last frame did ----
    std::vector<ExpectedCall> calls;
    std::string exportedFile; // the file name of an export in the last frame, if any

    bool Exists(int32_t handle) const { return entities.count(handle) != 0; }
    bool Editing() const { return Exists(selectedPed) && !waitingForDictionary; }
    bool DictionaryLoaded() const {
        return dictionaryRequested && !dictionaryDropped &&
               frame >= dictionaryRequestedFrame + dictionaryDelay;
    }
    std::string ExportName() const { return facts::exportPrefix + label + facts::exportSuffix; }

    // A fresh load of the module: every editor value as at load; the game keeps its world.
    void Reload() {
        keys.fill(KeySlot());
        selectedPed = aimedEntity = editorCamera = cursor = 0;
        label.clear();
        statusLine.clear();
        values.fill(0.0f);
        namesByHash.clear();
        started = waitingForDictionary = false;
    }

    // The unload releases the player's ped and nothing else.
    void Unload() {
        calls.clear();
        Call(native::playerPedId, {});
        Call(native::clearPedTasks, {Handle(playerPed), 1, 1});
    }

    void KeyMessage(uint32_t key, bool isUp) {
        if (key >= keys.size())
            return;
        keys[key].time = clock;
        keys[key].isUp = isUp;
    }

    void Frame() {
        ++frame;
        calls.clear();
        exportedFile.clear();
        if (!started) {
            started = true;
            BuildNameMap();
        }
        Pass();
        clock += frameTime;
    }

  private:
    std::vector<std::string> catalogue;
    std::vector<std::string> names;
    std::vector<uint32_t> ids;

    ExpectedCall &Call(uint64_t hash, std::initializer_list<uint64_t> arguments,
                       unsigned addressMask = 0, std::string text = std::string()) {
        ExpectedCall call;
        call.hash = hash;
        for (uint64_t argument : arguments)
            call.arguments[static_cast<std::size_t>(call.argumentCount++)] = argument;
        call.addressMask = addressMask;
        call.text = std::move(text);
        calls.push_back(std::move(call));
        return calls.back();
    }

    bool AskExists(int32_t handle) {
        Call(native::doesEntityExist, {Handle(handle)});
        return Exists(handle);
    }

    bool AskCameraExists(int32_t handle) {
        Call(native::doesCamExist, {Handle(handle)});
        return cameras.count(handle) != 0;
    }

    bool AskDictionaryLoaded() {
        Call(native::hasAnimDictLoaded, {0}, 1u, poseDictionary);
        return DictionaryLoaded();
    }

    void Draw(const std::string &text, float scale, float x, float y) {
        Call(native::setTextScale, {FloatSlot(scale), FloatSlot(scale)});
        Call(native::drawText, {0, FloatSlot(x), FloatSlot(y)}, 1u, text);
    }

    bool JustReleased(uint32_t key) {
        KeySlot &slot = keys[key];
        if (static_cast<uint32_t>(clock - slot.time) < 100u && slot.isUp) {
            slot = KeySlot();
            return true;
        }
        return false;
    }

    void BuildNameMap() {
        for (const std::string &name : catalogue) {
            Call(native::getHashKey, {0}, 1u, name);
            auto forced = forcedHashes.find(name);
            const uint32_t hash = forced != forcedHashes.end() ? forced->second : HashOfName(name);
            namesByHash.emplace(hash, name); // the first name filed for a hash stays
        }
    }

    void SetLabel(int32_t entity) {
        Call(native::entityModel, {Handle(entity)});
        const uint32_t model = Exists(entity) ? entities.at(entity).model : 0;
        auto found = namesByHash.find(model);
        label = found != namesByHash.end() ? found->second : Printf("0x%X", model);
    }

    void Pass() {
        if (waitingForDictionary) {
            if (!AskDictionaryLoaded())
                return;
            waitingForDictionary = false;
        } else if (!AskDictionaryLoaded()) {
            Call(native::requestAnimDict, {0}, 1u, poseDictionary);
            if (!dictionaryRequested || dictionaryDropped) {
                dictionaryRequested = true;
                dictionaryDropped = false;
                dictionaryRequestedFrame = frame;
            }
            if (!AskDictionaryLoaded()) {
                waitingForDictionary = true;
                return;
            }
        }

        Call(native::freeAimTarget, {0, 0}, 2u);
        aimedEntity = Exists(aimTarget) ? aimTarget : 0;
        Call(native::isFreeAiming, {0});
        if (!freeAiming)
            aimedEntity = 0;

        if (!AskExists(selectedPed))
            Selection();
        DeleteKey();
        if (AskExists(selectedPed))
            EditingPass();
    }

    void Selection() {
        if (!AskExists(aimedEntity)) {
            Draw("F7 to select Self", 0.5f, 0.45f, 0.5f);
            if (JustReleased(keyF7)) {
                Call(native::playerPedId, {});
                selectedPed = playerPed;
                SetLabel(selectedPed);
            }
        }
        bool humanPed = AskExists(aimedEntity);
        if (humanPed) {
            Call(native::isEntityAPed, {Handle(aimedEntity)});
            humanPed = entities.at(aimedEntity).kind == EntityKind::ped;
        }
        if (humanPed) {
            Call(native::isPedHuman, {Handle(aimedEntity)});
            humanPed = entities.at(aimedEntity).human;
        }
        if (humanPed) {
            SetLabel(aimedEntity);
            Draw("F7 to select " + label, 0.5f, 0.45f, 0.5f);
            if (JustReleased(keyF7))
                selectedPed = aimedEntity;
        } else if (AskExists(aimedEntity)) {
            Draw("Invalid Entity", 0.5f, 0.45f, 0.5f);
        }
        aimedEntity = 0;
    }

    void DeleteKey() {
        if (!JustReleased(keyDelete))
            return;
        Call(native::clearPedTasks, {Handle(selectedPed), 1, 1});
        selectedPed = 0;
        label.clear();
        if (!AskCameraExists(editorCamera))
            return;
        Call(native::setCamActive, {Handle(editorCamera), 0});
        cameras.at(editorCamera).active = false;
        Call(native::destroyCam, {Handle(editorCamera), 1});
        cameras.erase(editorCamera);
    }

    void EditingPass() {
        Call(native::taskPlayAnim,
             {Handle(selectedPed), 0, 0, 0, 0, 0xFFFFFFFFu, 1, 0, 0, 0, 0, 0, 0}, 6u, "open");
        Call(native::hideHudThisFrame, {});
        if (!AskCameraExists(editorCamera))
            StartSession();
        Overlay();
        ArrowKeys();
        ExportKey();
    }

    void StartSession() {
        Call(native::createCam, {26379945u, 1});
        editorCamera = nextCamera++;
        ModelCamera &camera = cameras[editorCamera];
        camera.type = 26379945u;
        const WorldEntity &ped = entities.at(selectedPed).placed;
        Call(native::offsetPoint,
             {Handle(selectedPed), FloatSlot(-1.0f), FloatSlot(3.0f), FloatSlot(0.4f)});
        const Vec3 point = World::OffsetPoint(ped, Vec3{-1.0f, 3.0f, 0.4f});
        Call(native::setCamCoord,
             {Handle(editorCamera), FloatSlot(point.x), FloatSlot(point.y), FloatSlot(point.z)});
        camera.position = point;
        Call(native::entityHeading, {Handle(selectedPed)});
        const float yaw = ped.heading + 200.0f;
        Call(native::setCamRot,
             {Handle(editorCamera), FloatSlot(0.0f), FloatSlot(0.0f), FloatSlot(yaw), 0});
        camera.rotation = Vec3{0.0f, 0.0f, yaw};
        camera.rotationOrder = 0;
        Call(native::setCamFov, {Handle(editorCamera), FloatSlot(20.0f)});
        camera.fieldOfView = 20.0f;
        Call(native::renderScriptCams, {1, 0, 3000, 0, 0, 1});
        Call(native::setCamActive, {Handle(editorCamera), 1});
        camera.active = true;
        values.fill(0.0f);
        statusLine = "Press F8 to save XML";
    }

    void Overlay() {
        Draw(statusLine, 0.5f, 0.02f, 0.02f);
        std::string list;
        for (std::size_t i = 0; i < values.size(); ++i) {
            list += Printf("%s = %.2f\n", names[i].c_str(), static_cast<double>(values[i]));
            Call(native::setFaceFeature, {Handle(selectedPed), ids[i], FloatSlot(values[i])});
        }
        Draw(list, 0.27f, 0.03f, 0.06f);
        Draw("->", 0.27f, 0.02f,
             static_cast<float>(cursor) * facts::featureRowPitch + facts::featureListY);
    }

    void ArrowKeys() {
        if (JustReleased(keyDown) && ++cursor >= 54)
            cursor = 0;
        if (JustReleased(keyUp) && --cursor < 0)
            cursor = 53;
        if (JustReleased(keyRight))
            values[static_cast<std::size_t>(cursor)] += 0.1f;
        if (JustReleased(keyLeft))
            values[static_cast<std::size_t>(cursor)] -= 0.1f;
    }

    std::string ExportBytes() const {
        std::string items;
        for (std::size_t k = 0; k < values.size(); ++k)
            if (!(values[k] > -0.1f && values[k] < 0.1f))
                items +=
                    facts::ExportItemLines(ids[k], Printf("%f", static_cast<double>(values[k])));
        return facts::ExportBytes(items);
    }

    void ExportKey() {
        if (!JustReleased(keyF8))
            return;
        const std::string name = ExportName();
        exportedFile = name;
        if (blockedNames.count(name) != 0) { // a directory beside it blocks nothing
            statusLine = "~COLOR_YELLOW~Cannot open " + name + "!";
            return;
        }
        std::string bytes = ExportBytes();
        if (fileSizeLimit != 0 && bytes.size() > fileSizeLimit) {
            // The write stops at the limit: the earlier export stays as it was.
            statusLine = "~COLOR_YELLOW~Cannot write " + name + "!";
            return;
        }
        files[name] = std::move(bytes);
        statusLine = "Wrote " + name;
    }
};

// ---- the run ------------------------------------------------------------------------------

uint64_t EnvironmentNumber(const char *name, uint64_t fallback) {
    const char *text = std::getenv(name);
    if (text == nullptr || *text == '\0')
        return fallback;
    char *end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 0);
    if (end == nullptr || *end != '\0')
        throw std::invalid_argument(std::string(name) + " is not a number: " + text);
    return value;
}

class ModelCheck : public ::testing::Test {
  protected:
    void SetUp() override { signal(SIGXFSZ, SIG_IGN); } // a write past the limit fails instead
    TemporaryFolder folder{true};
};

class SessionRun {
  public:
    SessionRun(uint64_t runSeed, uint64_t runFrames, const std::vector<std::string> &modelNames,
               std::vector<std::string> featureNames, std::vector<uint32_t> featureIds)
        : seed(runSeed), frames(runFrames), random(runSeed), catalogue(modelNames),
          model(modelNames, std::move(featureNames), std::move(featureIds)) {}

    // Plays the whole run; returns an empty text, or what diverged where.
    std::string Play() {
        Prepare();
        game.LoadModule(PFE_MODULE_PATH);
        for (uint64_t f = 0; f < frames; ++f) {
            const uint32_t before = model.clock;
            if (model.started)
                RandomEvents();
            if (!eventDivergence.empty())
                return Printf("seed %" PRIu64 ", before frame %" PRIu64 ": ", seed,
                              model.frame + 1) +
                       eventDivergence;
            model.Frame();
            RunFrameWithFileSizeLimit();
            if (model.clock < before)
                ++clockWraps;
            std::string divergence = CompareFrame();
            if (!divergence.empty())
                return Printf("seed %" PRIu64 ", frame %" PRIu64 " (of %" PRIu64 "): ", seed,
                              model.frame, frames) +
                       divergence;
        }
        std::string divergence = CompareDirectory();
        if (!divergence.empty())
            return Printf("seed %" PRIu64 ", after the last frame: ", seed) + divergence;
        return std::string();
    }

    // What the run went through, so that a run that tested little shows it.
    uint64_t editingFrames = 0, exports = 0, failedExports = 0, sessions = 0, selections = 0,
             clockWraps = 0, reloads = 0, failedWrites = 0;

  private:
    uint64_t seed;
    uint64_t frames;
    std::mt19937_64 random;
    std::vector<std::string> catalogue;
    EditorModel model;
    Game game;
    std::vector<uint32_t> models; // the model hashes peds of this run are made of
    std::string eventDivergence;  // what an event between frames found wrong

    uint32_t Below(uint32_t bound) {
        return static_cast<uint32_t>(std::uniform_int_distribution<uint64_t>(0, bound - 1)(random));
    }
    bool Chance(double probability) {
        return std::uniform_real_distribution<double>(0, 1)(random) < probability;
    }
    float Between(float low, float high) {
        return std::uniform_real_distribution<float>(low, high)(random);
    }

    void Prepare() {
        // Names that collide, one that hashes to 0 (the model of a handle that names nothing)
        // and one in the upper half of the hash range.
        for (int i = 0; i < 3; ++i) {
            const std::string &earlier = catalogue[Below(600)];
            const std::string &later = catalogue[600 + Below(600)];
            if (i == 0)
                ForceHash(later, HashOfName(earlier)); // the earlier name keeps the hash
            else
                ForceHash(earlier, HashOfName(later)); // the earlier name takes the later's hash
        }
        ForceHash(catalogue[1200 + Below(60)], 0);
        ForceHash(catalogue[Below(facts::pedModelCount)], 0x80000000u | Below(0x7FFFFFFF));
        // A small set of models, so that exports under one name are rewritten often.
        for (int i = 0; i < 40; ++i)
            models.push_back(game.world.HashForName(catalogue[Below(facts::pedModelCount)]));
        for (const auto &forced : game.world.forcedHashes)
            models.push_back(forced.second);
        for (int i = 0; i < 8; ++i)
            models.push_back(Below(0xFFFFFFFFu) | 1u); // almost surely no catalogue name
        models.push_back(0x0D);
        // The run starts a little before the tick counter wraps, so the wrap falls inside it.
        const uint32_t span = static_cast<uint32_t>(std::clamp<uint64_t>(frames, 1, 1000000)) * 2;
        const uint32_t start = 0xFFFFFFFFu - span - Below(span);
        game.SetClock(start);
        model.clock = start;
        model.dictionaryDelay = Below(3);
        game.world.dictionaryDelayFrames = model.dictionaryDelay;
        Place(SpawnDefaultPlayer(game.world));
        model.playerPed = game.world.playerPed;
        for (int i = 0; i < 10; ++i)
            SpawnRandom();
    }

    void ForceHash(const std::string &name, uint32_t hash) {
        game.world.forcedHashes[name] = hash;
        model.forcedHashes[name] = hash;
    }

    void SpawnAt(int32_t handle, EntityKind kind, uint32_t modelHash, bool human) {
        Place(game.world.Spawn(handle, kind, modelHash, human));
    }

    // Puts a new entity somewhere in the world, and the model's copy of it beside it.
    void Place(WorldEntity &entity) {
        entity.position = Vec3{Between(-3000, 3000), Between(-3000, 3000), Between(-50, 400)};
        entity.heading = Between(-720, 720);
        ModelEntity &copy = model.entities[entity.handle];
        copy.kind = entity.kind;
        copy.model = entity.model;
        copy.human = entity.human;
        copy.placed = entity;
    }

    void SpawnRandom() {
        const int32_t handle = static_cast<int32_t>(1 + Below(entityPool));
        if (model.Exists(handle))
            return;
        const uint32_t which = Below(10);
        const EntityKind kind = which < 8    ? EntityKind::ped
                                : which == 8 ? EntityKind::vehicle
                                             : EntityKind::object;
        SpawnAt(handle, kind, models[Below(static_cast<uint32_t>(models.size()))], which < 6);
    }

    int32_t AnyHandle() {
        const uint32_t which = Below(entityPool + 3);
        if (which == entityPool)
            return model.playerPed;
        if (which == entityPool + 1)
            return 0;
        if (which == entityPool + 2)
            return 5000 + static_cast<int32_t>(Below(10)); // names nothing, ever
        return static_cast<int32_t>(1 + which);
    }

    void Message(uint32_t key, bool isUp) {
        // The flags other than is-up-now vary; the editor must not care about them.
        game.KeyboardMessage(key, static_cast<uint16_t>(1 + Below(3)),
                             static_cast<uint8_t>(Below(256)), Chance(0.5), Chance(0.2),
                             isUp || Chance(0.3), isUp);
        model.KeyMessage(key, isUp);
    }

    uint32_t RandomKey() {
        static const uint32_t editingKeys[] = {keyDown,  keyDown, keyUp,   keyRight, keyRight,
                                               keyRight, keyLeft, keyLeft, keyF8,    keyF7};
        static const uint32_t selectionKeys[] = {keyF7, keyDown, keyUp, keyRight, keyLeft, keyF8};
        const uint32_t which = Below(100);
        if (which < 5)
            return keyDelete;
        if (which < 7)
            return UntestedKey();
        if (which < 8)
            return 255 + Below(2000); // beyond the table: ignored
        if (model.Editing())
            return editingKeys[Below(10)];
        return selectionKeys[Below(6)];
    }

    void Keys() {
        const uint32_t count = 1 + Below(Chance(0.2) ? 4 : 1);
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t key = RandomKey();
            const uint32_t shape = Below(10);
            if (shape < 6) { // a tap
                Message(key, false);
                Message(key, true);
            } else if (shape < 8) { // a release alone
                Message(key, true);
            } else if (shape < 9) { // a press alone: hides a pending release
                Message(key, false);
            } else { // a release, then time passes before the frame
                Message(key, true);
                Wait(Chance(0.5) ? 100 - Below(3) : 100 + Below(200));
            }
        }
    }

    void Wait(uint32_t milliseconds) {
        game.AdvanceClock(milliseconds);
        model.clock += milliseconds;
    }

    void Block() {
        const std::string name = model.ExportName() + (Chance(0.5) ? ".tmp" : "");
        if (model.label.empty() || model.blockedNames.count(name) != 0)
            return;
        std::filesystem::remove(name);
        model.files.erase(name);
        std::filesystem::create_directory(name);
        model.blockedNames.insert(name);
    }

    void Unblock() {
        if (model.blockedNames.empty())
            return;
        auto which = model.blockedNames.begin();
        std::advance(which, Below(static_cast<uint32_t>(model.blockedNames.size())));
        std::filesystem::remove(*which);
        model.blockedNames.erase(which);
    }

    // A full disk, as far as the export sees it: while the frame runs, no file may grow past
    // the limit (the write fails with EFBIG; SIGXFSZ is ignored for the test's life).
    void RunFrameWithFileSizeLimit() {
        if (model.fileSizeLimit == 0) {
            game.RunFrame();
            return;
        }
        rlimit original{};
        getrlimit(RLIMIT_FSIZE, &original);
        rlimit limited = original;
        limited.rlim_cur = model.fileSizeLimit;
        setrlimit(RLIMIT_FSIZE, &limited);
        game.RunFrame();
        setrlimit(RLIMIT_FSIZE, &original);
    }

    // The module is unloaded (it must release the player's ped) and a fresh copy loaded.
    void Reload() {
        const std::size_t before = game.FrameCalls().size();
        game.UnloadModule();
        model.Unload();
        const std::vector<NativeCallRecord> &made = game.FrameCalls();
        const std::size_t count = made.size() - before;
        bool same = count == model.calls.size();
        for (std::size_t i = 0; same && i < count; ++i) {
            const NativeCallRecord &got = made[before + i];
            const ExpectedCall &want = model.calls[i];
            same = got.hash == want.hash && got.argumentCount == want.argumentCount &&
                   std::equal(want.arguments.begin(), want.arguments.begin() + want.argumentCount,
                              got.arguments.begin());
        }
        if (!same) {
            eventDivergence = "the unload did not just release the player's ped; it made:";
            for (std::size_t i = before; i < made.size(); ++i)
                eventDivergence += " " + DescribeCall(made[i].hash, made[i].argumentCount,
                                                      made[i].arguments.data(), made[i].text);
            return;
        }
        game.LoadModule(PFE_MODULE_PATH);
        model.Reload();
        ++reloads;
    }

    void RandomEvents() {
        if (Chance(model.Editing() ? 0.02
                                   : 0.15)) { // aim at something, or at nothing, or stop aiming
            game.world.freeAiming = model.freeAiming = Chance(0.7);
            game.world.aimTarget = model.aimTarget = AnyHandle();
        }
        if (Chance(0.03))
            SpawnRandom();
        if (Chance(model.Editing() ? 0.004 : 0.02)) {
            const int32_t handle = AnyHandle();
            if (model.Exists(handle) && (handle != model.playerPed || Chance(0.2))) {
                game.world.Remove(handle);
                model.entities.erase(handle);
            }
        }
        if (!model.Exists(model.playerPed) && Chance(0.05))
            SpawnAt(model.playerPed, EntityKind::ped, HashOfName(facts::defaultPlayerModel), true);
        if (Chance(0.01)) {
            const int32_t handle = AnyHandle();
            if (model.Exists(handle)) {
                WorldEntity *entity = game.world.Find(handle);
                entity->position =
                    Vec3{Between(-3000, 3000), Between(-3000, 3000), Between(-50, 400)};
                entity->heading = Between(-720, 720);
                model.entities[handle].placed = *entity;
            }
        }
        if (Chance(0.002)) { // another ped becomes the player's
            const int32_t handle =
                Chance(0.5) ? firstPlayer : static_cast<int32_t>(1 + Below(entityPool));
            game.world.playerPed = model.playerPed = handle;
        }
        if (Chance(0.25))
            Keys();
        if (Chance(0.05))
            Wait(Below(60));
        if (Chance(0.01))
            game.frameTimeMs = model.frameTime = 1 + Below(60);
        if (Chance(0.002) && model.cameras.count(model.editorCamera) != 0) {
            game.world.DestroyCamera(model.editorCamera); // the game drops the camera
            model.cameras.erase(model.editorCamera);
        }
        if (Chance(0.002) && !model.waitingForDictionary) {
            game.world.DropDictionary(poseDictionary);
            model.dictionaryDropped = model.dictionaryRequested;
        }
        if (Chance(0.002))
            game.world.dictionaryDelayFrames = model.dictionaryDelay = Below(4);
        if (Chance(0.0003))
            Reload();
        if (model.fileSizeLimit == 0 ? Chance(0.001) : Chance(0.01)) // the disk fills, or is freed
            model.fileSizeLimit = model.fileSizeLimit != 0 ? 0 : 40 + Below(400);
        if (Chance(0.0015))
            Block();
        if (Chance(0.01))
            Unblock();
    }

    std::string CompareFrame() {
        const std::vector<NativeCallRecord> &actual = game.FrameCalls();
        const std::vector<ExpectedCall> &expected = model.calls;
        const std::size_t common = std::min(actual.size(), expected.size());
        for (std::size_t i = 0; i < common; ++i) {
            const ExpectedCall &want = expected[i];
            const NativeCallRecord &got = actual[i];
            bool same = want.hash == got.hash && want.argumentCount == got.argumentCount &&
                        want.text == got.text;
            for (int a = 0; same && a < want.argumentCount; ++a)
                if ((want.addressMask & (1u << a)) == 0 &&
                    want.arguments[static_cast<std::size_t>(a)] !=
                        got.arguments[static_cast<std::size_t>(a)])
                    same = false;
            if (!same)
                return Printf("native call %zu: expected ", i + 1) +
                       DescribeCall(want.hash, want.argumentCount, want.arguments.data(),
                                    want.text) +
                       ", the module made " +
                       DescribeCall(got.hash, got.argumentCount, got.arguments.data(), got.text);
        }
        if (actual.size() != expected.size()) {
            std::string more =
                actual.size() > common
                    ? "next made: " +
                          DescribeCall(actual[common].hash, actual[common].argumentCount,
                                       actual[common].arguments.data(), actual[common].text)
                    : "next expected: " +
                          DescribeCall(expected[common].hash, expected[common].argumentCount,
                                       expected[common].arguments.data(), expected[common].text);
            return Printf("expected %zu native calls, the module made %zu; ", expected.size(),
                          actual.size()) +
                   more;
        }
        std::string cameras = CompareCameras();
        if (!cameras.empty())
            return cameras;
        Count();
        if (!model.exportedFile.empty())
            return CompareExport(model.exportedFile);
        return std::string();
    }

    void Count() {
        for (const ExpectedCall &call : model.calls) {
            if (call.hash == native::setFaceFeature) {
                ++editingFrames;
                break;
            }
            if (call.hash == native::createCam)
                ++sessions;
            if (call.hash == native::playerPedId)
                ++selections;
        }
        if (!model.exportedFile.empty())
            ++(model.statusLine.rfind("Wrote ", 0) == 0 ? exports : failedExports);
        if (model.statusLine.find("Cannot write") != std::string::npos &&
            !model.exportedFile.empty())
            ++failedWrites;
    }

    std::string CompareCameras() {
        const std::map<int32_t, WorldCamera> &actual = game.world.cameras;
        if (actual.size() != model.cameras.size())
            return Printf("the game holds %zu cameras, expected %zu", actual.size(),
                          model.cameras.size());
        for (const auto &[handle, want] : model.cameras) {
            auto found = actual.find(handle);
            if (found == actual.end())
                return Printf("camera %d does not exist", handle);
            const WorldCamera &got = found->second;
            if (got.type != want.type || got.active != want.active ||
                FloatSlot(got.position.x) != FloatSlot(want.position.x) ||
                FloatSlot(got.position.y) != FloatSlot(want.position.y) ||
                FloatSlot(got.position.z) != FloatSlot(want.position.z) ||
                FloatSlot(got.rotation.z) != FloatSlot(want.rotation.z) ||
                got.rotationOrder != want.rotationOrder ||
                FloatSlot(got.fieldOfView) != FloatSlot(want.fieldOfView))
                return Printf("camera %d is not as expected (active %d, expected %d)", handle,
                              got.active ? 1 : 0, want.active ? 1 : 0);
        }
        return std::string();
    }

    std::string CompareExport(const std::string &name) {
        if (std::filesystem::exists(name + ".tmp") && model.blockedNames.count(name + ".tmp") == 0)
            return "the temporary file " + name + ".tmp was left behind";
        if (model.blockedNames.count(name) != 0)
            return std::filesystem::is_directory(name) ? std::string()
                                                       : name + " is no longer a directory";
        auto want = model.files.find(name);
        if (want == model.files.end())
            return std::filesystem::exists(name) ? name + " exists, expected none" : std::string();
        const std::string got = ReadFile(name);
        if (got != want->second)
            return name + " holds " + std::to_string(got.size()) + " bytes that differ from the " +
                   std::to_string(want->second.size()) + " expected";
        return std::string();
    }

    std::string CompareDirectory() {
        std::set<std::string> seen;
        for (const auto &entry : std::filesystem::directory_iterator(".")) {
            const std::string name = entry.path().filename().string();
            seen.insert(name);
            if (entry.is_directory()) {
                if (model.blockedNames.count(name) == 0)
                    return "unexpected directory " + name;
                continue;
            }
            auto want = model.files.find(name);
            if (want == model.files.end())
                return "unexpected file " + name;
            if (ReadFile(entry.path().string()) != want->second)
                return name + " does not hold the expected bytes";
        }
        for (const auto &file : model.files)
            if (seen.count(file.first) == 0)
                return file.first + " is missing";
        return std::string();
    }
};

TEST_F(ModelCheck, RandomSessionsFollowTheReferenceModel) {
    const uint64_t seed = EnvironmentNumber("PFE_SEED", defaultSeed);
    const uint64_t frames = EnvironmentNumber("PFE_FRAMES", defaultFrames);
    std::vector<std::string> catalogue = ReadLines(PFE_TEST_DATA "/ped_model_names.txt");
    std::vector<std::string> featureNames;
    std::vector<uint32_t> featureIds;
    for (const std::string &line : ReadLines(PFE_TEST_DATA "/face_features.txt")) {
        std::istringstream fields(line);
        std::string name;
        uint32_t id = 0;
        fields >> name >> id;
        featureNames.push_back(name);
        featureIds.push_back(id);
    }
    ASSERT_GE(frames, 1000u) << "PFE_FRAMES below 1000 would check too little";
    ASSERT_EQ(catalogue.size(), static_cast<std::size_t>(facts::pedModelCount));
    ASSERT_EQ(featureNames.size(), 54u);

    std::printf("model check: seed %" PRIu64 ", %" PRIu64 " frames%s\n", seed, frames,
                underSanitizer ? " (fewer under a sanitizer)" : "");
    SessionRun run(seed, frames, catalogue, std::move(featureNames), std::move(featureIds));
    const std::string divergence = run.Play();
    std::printf("model check: %" PRIu64 " editing frames, %" PRIu64 " sessions, %" PRIu64
                " self-selections, %" PRIu64 " exports written, %" PRIu64 " refused, %" PRIu64
                " tick-counter wraps, %" PRIu64 " reloads, %" PRIu64 " writes cut short\n",
                run.editingFrames, run.sessions, run.selections, run.exports, run.failedExports,
                run.clockWraps, run.reloads, run.failedWrites);
    ASSERT_TRUE(divergence.empty())
        << divergence << "\nreplay with PFE_SEED=" << seed << " PFE_FRAMES=" << frames;
    // A run that never edited, exported or met a refused export would prove little.
    EXPECT_GT(run.editingFrames, frames / 10);
    EXPECT_GT(run.sessions, 0u);
    EXPECT_EQ(run.clockWraps, 1u) << "the run should cross the wrap of the tick counter once";
    if (frames >= 20000) {
        EXPECT_GT(run.reloads, 0u);
        EXPECT_GT(run.failedWrites, 0u);
    }
    if (frames >= 20000) {
        EXPECT_GT(run.exports, 10u);
        EXPECT_GT(run.failedExports, 0u);
    }
}

} // namespace
