// pfe-bench: what one editing pass costs, next to the cost of the same native calls and the
// same 54 line formats with no editor logic around them, both through the stand-in host.
//
//   pfe-bench [--module PATH] [--samples N]
//
// Prints one figure a line: editing-pass-ns, floor-pass-ns, ratio, startup-us,
// allocations-per-pass, and the pass that exports on F8: export-pass-ns (median) and
// export-pass-worst-ns. Times are medians over many samples of the steady clock.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "standin/game.h"
#include "standin/slots.h"

// ---- heap allocations, counted for the whole process (stand-in and module alike) ---------

static std::atomic<uint64_t> allocationCount{0};

static void *CountedAllocation(std::size_t size) {
    allocationCount.fetch_add(1, std::memory_order_relaxed);
    void *block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr)
        throw std::bad_alloc();
    return block;
}

void *operator new(std::size_t size) { return CountedAllocation(size); }
void *operator new[](std::size_t size) { return CountedAllocation(size); }
void operator delete(void *block) noexcept { std::free(block); }
void operator delete[](void *block) noexcept { std::free(block); }
void operator delete(void *block, std::size_t) noexcept { std::free(block); }
void operator delete[](void *block, std::size_t) noexcept { std::free(block); }

namespace {

using Clock = std::chrono::steady_clock;

using namespace hashes; // the natives by name, from the stand-in's table of facts

constexpr int32_t editedPed = facts::defaultPlayerPed;
constexpr int featureCount = facts::faceFeatureCount;
constexpr uint32_t f7 = keys::f7;

// What the floor pass needs to know of the editing pass it stands for: taken from a frame the
// module drew, so that both make the same calls with the same texts.
struct EditingFrameShape {
    int32_t camera = 0;
    std::string dictionary;
    std::string clip;
    std::string statusLine;
    std::vector<std::string> names;
    std::vector<uint32_t> ids;
    std::vector<float> values;
    float markerY = 0.0f;
};

EditingFrameShape floorShape;

uint64_t Address(const void *pointer) { return reinterpret_cast<uintptr_t>(pointer); }

uint64_t *Call0(uint64_t hash) {
    nativeInit(hash);
    return nativeCall();
}

uint64_t *Call1(uint64_t hash, uint64_t a) {
    nativeInit(hash);
    nativePush64(a);
    return nativeCall();
}

uint64_t *Call2(uint64_t hash, uint64_t a, uint64_t b) {
    nativeInit(hash);
    nativePush64(a);
    nativePush64(b);
    return nativeCall();
}

uint64_t *Call3(uint64_t hash, uint64_t a, uint64_t b, uint64_t c) {
    nativeInit(hash);
    nativePush64(a);
    nativePush64(b);
    nativePush64(c);
    return nativeCall();
}

// The native calls of a steady editing pass (a ped edited, its camera up, no key released)
// and the 54 line formats, with nothing decided: every answer is ignored.
void FloorPass() {
    const EditingFrameShape &shape = floorShape;
    int32_t aimed = 0;
    Call1(hasAnimDictLoaded, Address(shape.dictionary.c_str()));
    Call2(freeAimTarget, 0, Address(&aimed));
    Call1(isFreeAiming, 0);
    Call1(doesEntityExist, editedPed);
    Call1(doesEntityExist, editedPed);
    nativeInit(taskPlayAnim);
    nativePush64(editedPed);
    nativePush64(Address(shape.dictionary.c_str()));
    nativePush64(Address(shape.clip.c_str()));
    nativePush64(0);
    nativePush64(0);
    nativePush64(0xFFFFFFFFu);
    nativePush64(1);
    for (int i = 0; i < 6; ++i)
        nativePush64(0);
    nativeCall();
    Call0(hideHudThisFrame);
    Call1(doesCamExist, static_cast<uint32_t>(shape.camera));
    Call2(setTextScale, FloatSlot(0.5f), FloatSlot(0.5f));
    Call3(drawText, Address(shape.statusLine.c_str()), FloatSlot(0.02f), FloatSlot(0.02f));
    std::string list;
    for (int i = 0; i < featureCount; ++i) {
        char line[2048];
        std::snprintf(line, sizeof line, "%s = %.2f\n", shape.names[i].c_str(),
                      static_cast<double>(shape.values[i]));
        list += line;
        Call3(setFaceFeature, editedPed, shape.ids[i], FloatSlot(shape.values[i]));
    }
    Call2(setTextScale, FloatSlot(facts::featureListScale), FloatSlot(facts::featureListScale));
    Call3(drawText, Address(list.c_str()), FloatSlot(0.03f), FloatSlot(facts::featureListY));
    Call2(setTextScale, FloatSlot(facts::featureListScale), FloatSlot(facts::featureListScale));
    Call3(drawText, Address("->"), FloatSlot(0.02f), FloatSlot(shape.markerY));
}

void FloorMain() {
    for (;;) {
        FloorPass();
        scriptWait(0);
    }
}

uint64_t Median(std::vector<uint64_t> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

uint64_t Nanoseconds(Clock::time_point from, Clock::time_point to) {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(to - from).count());
}

// Samples of the cost of one frame, each the mean over a batch of frames.
void SampleFrames(Game &game, int samples, int framesPerSample, std::vector<uint64_t> &into) {
    for (int s = 0; s < samples; ++s) {
        const Clock::time_point start = Clock::now();
        for (int f = 0; f < framesPerSample; ++f)
            game.RunFrame();
        into.push_back(Nanoseconds(start, Clock::now()) / static_cast<uint64_t>(framesPerSample));
    }
}

void PrepareWorld(Game &game) {
    WorldEntity &ped = SpawnDefaultPlayer(game.world);
    ped.position = Vec3{10.0f, 20.0f, 1.0f};
    ped.heading = 90.0f;
}

// Loads the module, selects the player's ped with F7 and returns the time of the first frame
// up to the last of its hash calls, one per catalogue name: the start of the script with its map
// build.
uint64_t StartEditing(Game &game, const std::string &modulePath) {
    PrepareWorld(game);
    game.LoadModule(modulePath);
    int hashCalls = 0;
    Clock::time_point lastHash{};
    game.callObserver = [&](const NativeCallRecord &call) {
        if (call.hash == getHashKey && ++hashCalls == facts::pedModelCount)
            lastHash = Clock::now();
    };
    const Clock::time_point start = Clock::now();
    game.RunFrame();
    game.callObserver = nullptr;
    if (hashCalls != facts::pedModelCount)
        throw std::runtime_error("the first frame made " + std::to_string(hashCalls) +
                                 " hash calls, not " + std::to_string(facts::pedModelCount));
    game.KeyDown(f7);
    game.KeyUp(f7);
    game.RunFrame();
    game.RunFrames(10);
    return Nanoseconds(start, lastHash);
}

// The shape of a steady editing frame, read from the calls and texts the module made.
EditingFrameShape ShapeOf(const Game &game) {
    EditingFrameShape shape;
    std::string list;
    int texts = 0;
    for (const NativeCallRecord &call : game.FrameCalls()) {
        if (call.hash == hasAnimDictLoaded)
            shape.dictionary = call.text;
        else if (call.hash == taskPlayAnim)
            shape.clip = call.text;
        else if (call.hash == doesCamExist)
            shape.camera = static_cast<int32_t>(call.arguments[0]);
        else if (call.hash == setFaceFeature) {
            shape.ids.push_back(static_cast<uint32_t>(call.arguments[1]));
            shape.values.push_back(SlotFloat(call.arguments[2]));
        } else if (call.hash == drawText) {
            if (texts == 0)
                shape.statusLine = call.text;
            else if (texts == 1)
                list = call.text;
            else
                shape.markerY = SlotFloat(call.arguments[2]);
            ++texts;
        }
    }
    for (std::size_t start = 0; start < list.size();) {
        const std::size_t end = list.find(" = ", start);
        const std::size_t lineEnd = list.find('\n', start);
        if (end == std::string::npos || lineEnd == std::string::npos)
            break;
        shape.names.push_back(list.substr(start, end - start));
        start = lineEnd + 1;
    }
    if (texts != 3 || shape.names.size() != featureCount || shape.ids.size() != featureCount)
        throw std::runtime_error("the module's frame is not a steady editing frame");
    return shape;
}

// The calls two frames made, as far as they can be compared: hash, texts and the arguments
// that are not addresses.
bool SameCalls(const std::vector<NativeCallRecord> &a, const std::vector<NativeCallRecord> &b,
               std::string &why) {
    if (a.size() != b.size()) {
        why = std::to_string(a.size()) + " calls against " + std::to_string(b.size());
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].hash != b[i].hash || a[i].argumentCount != b[i].argumentCount ||
            a[i].text != b[i].text) {
            why = "call " + std::to_string(i) + " differs";
            return false;
        }
        for (int k = 0; k < a[i].argumentCount; ++k) {
            const bool address = (a[i].hash == drawText && k == 0) ||
                                 (a[i].hash == freeAimTarget && k == 1) ||
                                 (a[i].hash == hasAnimDictLoaded && k == 0) ||
                                 (a[i].hash == taskPlayAnim && (k == 1 || k == 2));
            if (!address && a[i].arguments[k] != b[i].arguments[k]) {
                why = "argument " + std::to_string(k + 1) + " of call " + std::to_string(i) +
                      " differs";
                return false;
            }
        }
    }
    return true;
}

// The passes that export: F8 released before each, one pass timed alone, the export written
// into a fresh folder beside the module (the build folder's disk), which is removed after.
std::vector<uint64_t> ExportPasses(const std::string &modulePath, int samples) {
    namespace fs = std::filesystem;
    const fs::path previous = fs::current_path();
    std::string pattern = (fs::absolute(modulePath).parent_path() / "pfe-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a folder for the exports beside " + modulePath);
    struct Cleanup {
        fs::path previous, folder;
        ~Cleanup() {
            std::error_code ignored;
            fs::current_path(previous, ignored);
            fs::remove_all(folder, ignored);
        }
    } cleanup{previous, pattern};
    fs::current_path(pattern);
    const std::unique_ptr<Game> owner = std::make_unique<Game>();
    Game &game = *owner;
    StartEditing(game, modulePath);
    std::vector<uint64_t> passes;
    for (int s = 0; s < samples; ++s) {
        game.KeyDown(keys::f8);
        game.KeyUp(keys::f8);
        const Clock::time_point start = Clock::now();
        game.RunFrame();
        passes.push_back(Nanoseconds(start, Clock::now()));
    }
    if (!fs::is_regular_file(std::string(facts::exportPrefix) + facts::defaultPlayerModel +
                             facts::exportSuffix))
        throw std::runtime_error("the passes with F8 wrote no export");
    return passes;
}

struct Options {
    std::string modulePath = PFE_MODULE_PATH;
    int samples = 400;
};

Options ParseOptions(int argc, char **argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--module" && i + 1 < argc) {
            options.modulePath = argv[++i];
        } else if (arg == "--samples" && i + 1 < argc) {
            options.samples = std::atoi(argv[++i]);
            if (options.samples < 1)
                throw std::invalid_argument("--samples takes a positive number");
        } else {
            throw std::invalid_argument("usage: pfe-bench [--module PATH] [--samples N]");
        }
    }
    return options;
}

} // namespace

int main(int argc, char **argv) {
    try {
        const Options options = ParseOptions(argc, argv);
        // Editing and floor samples are taken in alternating rounds, each on a fresh load, so
        // that whatever else the machine does at the time weighs on both alike. The game lives
        // on the heap: on the main stack it lands at a random offset within a page, and at some
        // offsets every figure came out half again as large (an address-aliasing effect of the
        // processor that has nothing to do with the editor's work).
        constexpr int rounds = 20;
        constexpr int framesPerSample = 50;
        const int samplesPerRound = std::max(1, options.samples / rounds);

        std::vector<uint64_t> startups, editingSamples, floorSamples;
        std::vector<NativeCallRecord> editingCalls;
        uint64_t allocations = 0;
        for (int round = 0; round < rounds; ++round) {
            {
                const std::unique_ptr<Game> owner = std::make_unique<Game>();
                Game &game = *owner;
                startups.push_back(StartEditing(game, options.modulePath));
                if (round == 0) {
                    floorShape = ShapeOf(game);
                    editingCalls = game.FrameCalls();
                    const uint64_t before = allocationCount.load();
                    game.RunFrame();
                    allocations = allocationCount.load() - before;
                }
                SampleFrames(game, samplesPerRound, framesPerSample, editingSamples);
            }
            {
                const std::unique_ptr<Game> owner = std::make_unique<Game>();
                Game &game = *owner;
                PrepareWorld(game);
                // The editor asked for its pose dictionary on its first pass; the floor's
                // steady passes only play from it.
                game.world.RequestDictionary(floorShape.dictionary, 0);
                static int floorModule;
                game.HostScriptRegister(&floorModule, FloorMain);
                game.RunFrames(10);
                std::string why;
                if (round == 0 && !SameCalls(game.FrameCalls(), editingCalls, why))
                    throw std::runtime_error(
                        "the floor pass does not make the editing pass's calls: " + why);
                SampleFrames(game, samplesPerRound, framesPerSample, floorSamples);
            }
        }
        const uint64_t editingNs = Median(editingSamples);
        const uint64_t floorNs = Median(floorSamples);

        std::printf("editing-pass-ns %llu\n", static_cast<unsigned long long>(editingNs));
        std::printf("floor-pass-ns %llu\n", static_cast<unsigned long long>(floorNs));
        std::printf("ratio %.3f\n", static_cast<double>(editingNs) / static_cast<double>(floorNs));
        std::printf("startup-us %llu\n", static_cast<unsigned long long>(Median(startups) / 1000));
        std::printf("allocations-per-pass %llu\n", static_cast<unsigned long long>(allocations));
        const std::vector<uint64_t> exports = ExportPasses(options.modulePath, 300);
        std::printf("export-pass-ns %llu\n", static_cast<unsigned long long>(Median(exports)));
        std::printf(
            "export-pass-worst-ns %llu\n",
            static_cast<unsigned long long>(*std::max_element(exports.begin(), exports.end())));
        return 0;
    } catch (const std::exception &error) {
        std::fprintf(stderr, "pfe-bench: %s\n", error.what());
        return 2;
    }
}
