#include "support/game_fixture.h"

void Tap(Game &game, uint32_t key, int times) {
    for (int i = 0; i < times; ++i) {
        game.KeyDown(key);
        game.KeyUp(key);
        game.RunFrame();
    }
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
