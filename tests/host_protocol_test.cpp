// The module's side of the host protocol: entry point, unload, and the slot encodings of
// native calls, checked on the raw 64-bit slots the stand-in receives.

#include <csignal>
#include <cstring>

#include "standin/fiber.h"
#include "support/game_fixture.h"

namespace {

using HostProtocolTest = GameTest;

// The loader holds the entry point to answering true for reasons 1 and 0: loading in SetUp
// and the unload here would throw otherwise.
TEST_F(HostProtocolTest, EntryPointRegistersOnLoadAndUnregistersOnUnloadInOrder) {
    const void *module = game.ModuleHandle();
    const std::vector<EntryPointCall> &calls = game.EntryPointCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].function, HostFunction::scriptRegister);
    EXPECT_EQ(calls[0].module, module);
    EXPECT_NE(calls[0].callback, nullptr);
    EXPECT_EQ(calls[1].function, HostFunction::keyboardHandlerRegister);
    const void *handler = calls[1].callback;
    EXPECT_NE(handler, nullptr);

    game.RunFrame();
    ASSERT_NO_THROW(game.UnloadModule());
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_EQ(calls[2].function, HostFunction::native);
    EXPECT_EQ(calls[2].native.hash, hashes::playerPedId);
    EXPECT_EQ(calls[3].function, HostFunction::native);
    EXPECT_EQ(calls[3].native.hash, hashes::clearPedTasks);
    EXPECT_EQ(calls[3].native.argumentCount, 3);
    EXPECT_EQ(calls[3].native.arguments[0], static_cast<uint64_t>(playerHandle));
    EXPECT_EQ(calls[3].native.arguments[1], 1u);
    EXPECT_EQ(calls[3].native.arguments[2], 1u);
    EXPECT_TRUE(calls[2].native.unload && calls[3].native.unload) << "made outside any frame";
    EXPECT_EQ(calls[4].function, HostFunction::scriptUnregister);
    EXPECT_EQ(calls[4].module, module);
    EXPECT_EQ(calls[5].function, HostFunction::keyboardHandlerUnregister);
    EXPECT_EQ(calls[5].callback, handler);
}

TEST_F(HostProtocolTest, ThreadEventsChangeNothing) {
    game.RunFrame();
    const std::size_t hostCallsBefore = game.EntryPointCalls().size();
    for (unsigned int reason : {2u, 3u, 7u}) {
        EXPECT_EQ(game.CallModuleEntry(reason), 1) << "reason " << reason;
        EXPECT_EQ(game.EntryPointCalls().size(), hostCallsBefore)
            << "reason " << reason << " called a host function or a native";
    }
    EXPECT_TRUE(game.KeyboardHandlerRegistered());
    game.RunFrame();
    EXPECT_TRUE(Drawn("F7 to select Self")) << "the script must still run after thread events";
}

TEST_F(HostProtocolTest, UnloadClearsOnlyThePlayersTasks) {
    SpawnPed(2, "A_M_M_VALTOWNFOLK_01");
    Aim(2);
    game.RunFrame();
    Tap(keys::f7);
    ASSERT_EQ(game.world.Find(2)->animationClip, "open");
    game.world.clearTasksCalls.clear();

    game.UnloadModule();
    EXPECT_EQ(game.world.clearTasksCalls, std::vector<int32_t>{playerHandle});
    EXPECT_EQ(game.world.Find(2)->animationClip, "open") << "the edited ped is not touched";
    EXPECT_TRUE(game.world.AnyActiveCamera()) << "the camera is left as it is";
    EXPECT_FALSE(game.KeyboardHandlerRegistered());
    EXPECT_FALSE(game.ScriptRunning());
}

TEST_F(HostProtocolTest, ArgumentsTravelInTheirSlotEncodings) {
    SpawnPed(2, "A_M_M_VALTOWNFOLK_01").heading = 10.0f;
    Aim(2);
    game.RunFrame();
    game.RunFrame();

    const auto dictionary = CallsTo(hashes::hasAnimDictLoaded);
    ASSERT_EQ(dictionary.size(), 1u);
    EXPECT_EQ(dictionary[0].text, "mini_games@story@mud5@cracksafe@small_r@safe");
    const auto aim = CallsTo(hashes::freeAimTarget);
    ASSERT_EQ(aim.size(), 1u);
    EXPECT_EQ(aim[0].arguments[0], 0u) << "player index 0";
    EXPECT_NE(aim[0].arguments[1], 0u) << "the out-parameter is an address";
    const auto exists = CallsTo(hashes::doesEntityExist);
    ASSERT_FALSE(exists.empty());
    EXPECT_EQ(exists[0].arguments[0], 0u) << "no selected ped yet: handle 0";
    const auto scale = CallsTo(hashes::setTextScale);
    ASSERT_EQ(scale.size(), 1u);
    EXPECT_EQ(scale[0].arguments[0], 0x3F000000u) << "0.5 as its 32-bit pattern, upper half zero";
    const auto draw = CallsTo(hashes::drawText);
    ASSERT_EQ(draw.size(), 1u);
    EXPECT_EQ(draw[0].text, "F7 to select A_M_M_VALTOWNFOLK_01");
    EXPECT_EQ(draw[0].arguments[1], FloatSlot(0.45f));
    EXPECT_EQ(draw[0].arguments[2], FloatSlot(0.5f));

    Tap(keys::f7);
    const auto anim = CallsTo(hashes::taskPlayAnim);
    ASSERT_EQ(anim.size(), 1u);
    EXPECT_EQ(anim[0].arguments[5], 0x00000000FFFFFFFFu) << "-1 travels zero-extended";
    const auto offset = CallsTo(hashes::offsetPoint);
    ASSERT_EQ(offset.size(), 1u);
    EXPECT_EQ(offset[0].arguments[1], 0xBF800000u) << "-1.0 as a float pattern";
    // The three result slots of the offset point reach the camera position unchanged.
    const Vec3 expected = World::OffsetPoint(*game.world.Find(2), Vec3{-1.0f, 3.0f, 0.4f});
    const auto position = CallsTo(hashes::setCamCoord);
    ASSERT_EQ(position.size(), 1u);
    EXPECT_EQ(position[0].arguments[1], FloatSlot(expected.x));
    EXPECT_EQ(position[0].arguments[2], FloatSlot(expected.y));
    EXPECT_EQ(position[0].arguments[3], FloatSlot(expected.z));
    const auto rotation = CallsTo(hashes::setCamRot);
    ASSERT_EQ(rotation.size(), 1u);
    EXPECT_EQ(rotation[0].arguments[3], FloatSlot(210.0f))
        << "the heading comes back as a float result";
}

// A bare stand-in game with a script of the test's own, to see how the host reacts to calls
// that break its rules.
class HostRulesTest : public ::testing::Test {
  protected:
    Game game;
};

int hostRulesCase = 0;

void Call(uint64_t hash, std::initializer_list<uint64_t> slots) {
    nativeInit(hash);
    for (uint64_t slot : slots)
        nativePush64(slot);
    nativeCall();
}

uint64_t Text(const char *text) { return reinterpret_cast<uint64_t>(text); }

void RuleBreakingScript() {
    switch (hostRulesCase) {
    case 0: // a native the game does not have
        Call(0x1234ABCDull, {});
        break;
    case 1: // the right native, a wrong number of arguments
        Call(hashes::doesEntityExist, {});
        break;
    case 2: // a 32-bit handle that was sign-extended
        Call(hashes::doesEntityExist, {0xFFFFFFFFFFFFFFFFull});
        break;
    case 3: // one scale call for two texts: the scale holds for one
        Call(hashes::setTextScale, {0, 0});
        Call(hashes::drawText, {Text("one"), 0, 0});
        Call(hashes::drawText, {Text("two"), 0, 0});
        break;
    case 4: // the pose played before its dictionary was asked for, let alone loaded
        Call(hashes::taskPlayAnim, {1000, Text(facts::poseDictionary), Text(facts::poseClip), 0, 0,
                                    0, 0, 0, 0, 0, 0, 0, 0});
        break;
    }
    for (;;)
        scriptWait(0);
}

TEST_F(HostRulesTest, BrokenNativeCallsStopTheRunNamingTheFault) {
    const char *expected[] = {
        "unknown native 0x1234ABCD", "takes 1 arguments, the module pushed 0",
        "not a zero-extended 32-bit value",
        "the text \"two\" was drawn without a text-scale call before it",
        "clip 'open' was played from the dictionary "
        "'mini_games@story@mud5@cracksafe@small_r@safe', which is not loaded"};
    for (int i = 0; i < 5; ++i) {
        hostRulesCase = i;
        scriptRegister(reinterpret_cast<HINSTANCE__ *>(0x10 + i), RuleBreakingScript);
        try {
            game.RunFrame();
            ADD_FAILURE() << "case " << i << " did not stop the run";
        } catch (const GameError &stopped) {
            EXPECT_EQ(stopped.kind, GameError::Kind::ruleBroken) << stopped.what();
            EXPECT_NE(std::string(stopped.what()).find(expected[i]), std::string::npos)
                << stopped.what();
        }
        EXPECT_FALSE(game.ScriptRunning());
    }
}

// Only the game's own dictionaries load, and only the scripted camera's type makes a camera.
TEST_F(HostRulesTest, TheGameHasOnlyItsOwnDictionariesAndCameraType) {
    game.world.RequestDictionary("no@such@dictionary", 0);
    EXPECT_FALSE(game.world.DictionaryLoaded("no@such@dictionary", 1000));
    game.world.knownDictionaries.insert("no@such@dictionary");
    EXPECT_TRUE(game.world.DictionaryLoaded("no@such@dictionary", 1));
    EXPECT_EQ(game.world.FindCamera(game.world.CreateCamera(facts::scriptedCameraType + 1)),
              nullptr);
    EXPECT_NE(game.world.FindCamera(game.world.CreateCamera(facts::scriptedCameraType)), nullptr);
}

// A megabyte and a half of frames on a one-megabyte fiber stack, with the heap's next large
// block mapped right below it: the page between is inaccessible, so the overflow ends the
// process with SIGSEGV rather than writing over that block.
int Deep(int depth) {
    volatile char frame[4096];
    frame[0] = static_cast<char>(depth);
    return depth == 0 ? 0 : Deep(depth - 1) + frame[0];
}

TEST(FiberStackTest, AnOverflowDiesOnTheGuardPage) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the sanitizers report the overflow themselves";
#endif
    EXPECT_EXIT(
        {
            Fiber fiber([] { Deep(384); });
            const std::vector<char> below(8 << 20, 'x');
            fiber.Resume();
            std::exit(0);
        },
        ::testing::KilledBySignal(SIGSEGV), "");
}

// Small modules that each break one rule of the host (tests/rule_breaking_module.cpp), loaded
// in place of the editor. The one built without a fault shows that each failure comes from the
// fault and not from the rest of the small module.
class RuleBreakingModuleTest : public ::testing::Test {
  protected:
    void SetUp() override { SpawnDefaultPlayer(game.world); }
    static std::string PathOf(const std::string &fault) {
        return std::string(PFE_RULE_BREAKING_MODULES) + "/pfe_module_" + fault + PFE_MODULE_SUFFIX;
    }
    // What the GameError thrown by `action` says, checked to be the module's fault; empty when
    // none is thrown.
    template <class Action> static std::string FailureOf(Action action) {
        try {
            action();
        } catch (const GameError &failure) {
            EXPECT_EQ(failure.kind, GameError::Kind::ruleBroken) << failure.what();
            return failure.what();
        }
        return "";
    }
    // Nothing of an unloaded module is left with the host: no frame or key reaches it.
    void ExpectNothingLeft() {
        EXPECT_FALSE(game.ModuleLoaded());
        EXPECT_FALSE(game.ScriptRunning());
        EXPECT_FALSE(game.KeyboardHandlerRegistered());
        game.KeyUp(keys::f7);
        EXPECT_NO_THROW(game.RunFrame());
        EXPECT_TRUE(game.FrameCalls().empty());
    }
    Game game;
};

TEST_F(RuleBreakingModuleTest, AModuleThatKeepsTheRulesRunsAndUnloads) {
    game.LoadModule(PathOf("none"));
    game.RunFrames(3);
    ASSERT_EQ(game.FrameCalls().size(), 2u);
    EXPECT_EQ(game.FrameCalls()[1].arguments[0], static_cast<uint64_t>(playerHandle));
    EXPECT_EQ(FailureOf([&] { game.UnloadModule(); }), "");
    ExpectNothingLeft();
}

// The host fills the upper half of a 32-bit result with garbage, so a handle taken from the
// whole slot is not a zero-extended 32-bit value when it is passed on.
TEST_F(RuleBreakingModuleTest, AHandleReadFromTheWholeResultSlotStopsTheRun) {
    game.LoadModule(PathOf("readsWholeSlot"));
    const std::string stopped = FailureOf([&] { game.RunFrame(); });
    EXPECT_NE(stopped.find("argument 1 of native"), std::string::npos) << stopped;
    EXPECT_NE(stopped.find("is not a zero-extended 32-bit value"), std::string::npos) << stopped;
    EXPECT_FALSE(game.ScriptRunning());
}

TEST_F(RuleBreakingModuleTest, AScriptOrKeyboardHandlerLeftRegisteredFailsTheUnload) {
    const struct {
        const char *fault;
        const char *left;
    } cases[] = {{"keepsScript", "its script"}, {"keepsKeyboardHandler", "its keyboard handler"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.fault);
        game.LoadModule(PathOf(c.fault));
        game.RunFrame();
        EXPECT_EQ(FailureOf([&] { game.UnloadModule(); }),
                  std::string("the module was unloaded with ") + c.left + " still registered");
        ExpectNothingLeft();
    }
}

TEST_F(RuleBreakingModuleTest, AnEntryPointThatAnswersFalseFailsTheLoadOrTheUnload) {
    EXPECT_EQ(FailureOf([&] { game.LoadModule(PathOf("refusesAttach")); }),
              "the module's entry point answered false to process attach");
    // The refused attach was undone with a detach, as the system loader does.
    const std::vector<EntryPointCall> &calls = game.EntryPointCalls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[2].function, HostFunction::scriptUnregister);
    ExpectNothingLeft();

    game.LoadModule(PathOf("refusesDetach"));
    game.RunFrame();
    EXPECT_EQ(FailureOf([&] { game.UnloadModule(); }),
              "the module's entry point answered false to process detach");
    ExpectNothingLeft();
}

} // namespace
