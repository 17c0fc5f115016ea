#include "support/game_fixture.h"

#include <cinttypes>
#include <cstdio>

void Tap(Game &game, uint32_t key, int times) {
    for (int i = 0; i < times; ++i) {
        game.KeyDown(key);
        game.KeyUp(key);
        game.RunFrame();
    }
}

std::string DescribeCall(uint64_t hash, int count, const uint64_t *arguments,
                         const std::string &text) {
    const NativeInfo *native = FindNative(hash);
    char line[64];
    std::snprintf(line, sizeof line, "%s 0x%016" PRIX64, native ? native->ShortName() : "?", hash);
    std::string out = line;
    for (int i = 0; i < count; ++i) {
        std::snprintf(line, sizeof line, " 0x%" PRIX64, arguments[i]);
        out += arguments[i] > 0xFFFFFFFFu ? " &" : line;
    }
    const std::size_t end = text.find('\n');
    if (!text.empty())
        out += "  \"" + text.substr(0, end) + (end != std::string::npos ? "...\"" : "\"");
    return out;
}

void GameTest::SetUp() {
    SpawnDefaultPlayer(game.world);
    game.LoadModule(PFE_MODULE_PATH);
}

void GameTest::TearDown() {
    if (game.ModuleLoaded())
        game.UnloadModule();
}

void GameTest::Aim(int32_t handle) {
    game.world.freeAiming = handle != 0;
    if (handle != 0)
        game.world.aimTarget = handle;
}

std::vector<std::string> GameTest::Texts() const {
    std::vector<std::string> texts;
    for (const DrawnText &drawn : game.FrameTexts())
        texts.push_back(drawn.text);
    return texts;
}

bool GameTest::Drawn(const std::string &text) const {
    for (const DrawnText &drawn : game.FrameTexts())
        if (drawn.text == text)
            return true;
    return false;
}

std::vector<NativeCallRecord> GameTest::CallsTo(uint64_t hash) const {
    std::vector<NativeCallRecord> calls;
    for (const NativeCallRecord &call : game.FrameCalls())
        if (call.hash == hash)
            calls.push_back(call);
    return calls;
}

WorldEntity &GameTest::SpawnPed(int32_t handle, const std::string &model, bool human) {
    return game.world.Spawn(handle, EntityKind::ped, HashOfName(model), human);
}
