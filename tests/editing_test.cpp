// The editing session: pose, camera, the 54-row overlay applied every frame, and the arrows.

#include <cmath>
#include <fstream>
#include <sstream>

#include "support/game_fixture.h"

namespace {

constexpr uint32_t neckWidth = 36277;     // row 0
constexpr uint32_t lowerLipDepth = 23830; // row 53

class EditingTest : public GameTest {
  protected:
    // Aims at ped 2 and selects it; the session starts in the pass of the F7.
    void SelectPed(float heading = 0.0f, Vec3 at = Vec3{}) {
        WorldEntity &ped = SpawnPed(2, "CS_DUTCH");
        ped.heading = heading;
        ped.position = at;
        Aim(2);
        game.RunFrame();
        Tap(keys::f7);
    }
    // Several keys released before one frame, so that one pass reads them all.
    void ReleaseTogether(std::initializer_list<uint32_t> pressed) {
        for (uint32_t key : pressed) {
            game.KeyDown(key);
            game.KeyUp(key);
        }
        game.RunFrame();
    }
    const DrawnText &Marker() const { return game.FrameTexts().back(); }
    int MarkerRow() const {
        return static_cast<int>(
            std::lround((Marker().y - facts::featureListY) / facts::featureRowPitch));
    }
    std::string ListLine(int row) const {
        std::string listText;
        for (const DrawnText &drawn : game.FrameTexts())
            if (drawn.text.rfind("PEDEXPRESS_", 0) == 0)
                listText = drawn.text;
        std::istringstream list(listText);
        std::string line;
        for (int i = 0; i <= row; ++i)
            std::getline(list, line);
        return line;
    }
    float Feature(uint32_t id) const { return game.world.FaceFeature(2, id).value_or(-999.0f); }
};

float Stepped(int rights, int lefts) {
    float value = 0.0f;
    for (int i = 0; i < rights; ++i)
        value = value + 0.1f;
    for (int i = 0; i < lefts; ++i)
        value = value - 0.1f;
    return value;
}

TEST_F(EditingTest, SessionStartsInThePassOfTheSelection) {
    SelectPed(300.0f, Vec3{10.0f, -4.0f, 2.0f});
    EXPECT_EQ(Texts().at(0), "F7 to select CS_DUTCH") << "the prompt of the same pass";
    EXPECT_EQ(Texts().at(1), "Press F8 to save XML");
    EXPECT_EQ(Texts().at(3), "->");
    const WorldEntity &ped = *game.world.Find(2);
    EXPECT_EQ(ped.animationDictionary, facts::poseDictionary);
    EXPECT_EQ(ped.animationClip, "open");
    EXPECT_EQ(ped.animationDuration, -1);
    EXPECT_EQ(ped.animationFlags, 1);
    ASSERT_EQ(game.world.cameras.size(), 1u);
    const WorldCamera &camera = game.world.cameras.begin()->second;
    EXPECT_EQ(camera.type, 26379945u);
    const Vec3 expected = World::OffsetPoint(ped, Vec3{-1.0f, 3.0f, 0.4f});
    EXPECT_EQ(camera.position.x, expected.x);
    EXPECT_EQ(camera.position.y, expected.y);
    EXPECT_EQ(camera.position.z, expected.z);
    EXPECT_EQ(camera.rotation.z, 500.0f) << "heading 300 + 200, not wrapped";
    EXPECT_EQ(camera.rotation.x, 0.0f);
    EXPECT_EQ(camera.fieldOfView, 20.0f);
    EXPECT_TRUE(camera.active);
    const RenderScriptCamsState &render = game.world.renderScriptCams;
    ASSERT_TRUE(render.called);
    EXPECT_EQ(std::vector<int32_t>(render.args, render.args + 6),
              (std::vector<int32_t>{1, 0, 3000, 0, 0, 1}));
    const auto features = CallsTo(hashes::setFaceFeature);
    ASSERT_EQ(features.size(), 54u);
    for (const auto &call : features)
        EXPECT_EQ(call.arguments[2], 0u) << "every value is 0.0 in the first frame";
    EXPECT_EQ(ListLine(0), "PEDEXPRESS_NECK_WIDTH = 0.00");
    EXPECT_EQ(ListLine(53), "PEDEXPRESS_LOWER_LIP_DEPTH = 0.00");
}

TEST_F(EditingTest, OverlayLayout) {
    SelectPed();
    game.RunFrame();
    const auto &texts = game.FrameTexts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0].scaleX, 0.5f);
    EXPECT_EQ(texts[0].x, 0.02f);
    EXPECT_EQ(texts[0].y, 0.02f);
    EXPECT_EQ(texts[1].scaleX, 0.27f);
    EXPECT_EQ(texts[1].scaleY, 0.27f);
    EXPECT_EQ(texts[1].x, 0.03f);
    EXPECT_EQ(texts[1].y, 0.06f);
    EXPECT_EQ(std::count(texts[1].text.begin(), texts[1].text.end(), '\n'), 54);
    EXPECT_EQ(texts[1].text.back(), '\n');
    EXPECT_EQ(texts[2].scaleX, 0.27f);
    EXPECT_EQ(texts[2].x, 0.02f);
}

TEST_F(EditingTest, MarkerPositionsAndCursorWraps) {
    SelectPed();
    EXPECT_EQ(Marker().y, 0.06f);
    Tap(keys::down);
    game.RunFrame();
    EXPECT_EQ(Marker().y, 1.0f * facts::featureRowPitch + facts::featureListY);
    EXPECT_NEAR(Marker().y, 0.07665f, 1e-6f);
    Tap(keys::up, 2); // row 1, row 0, then around to 53
    game.RunFrame();
    EXPECT_EQ(MarkerRow(), 53);
    EXPECT_EQ(Marker().y, 53.0f * facts::featureRowPitch + facts::featureListY);
    EXPECT_NEAR(Marker().y, 0.94245f, 1e-6f);
    Tap(keys::down);
    game.RunFrame();
    EXPECT_EQ(MarkerRow(), 0);
}

TEST_F(EditingTest, SameFramePairsActInOrder) {
    SelectPed();
    ReleaseTogether({keys::down, keys::up});
    game.RunFrame();
    EXPECT_EQ(MarkerRow(), 0) << "Down then Up";
    ReleaseTogether({keys::up, keys::right});
    game.RunFrame();
    EXPECT_EQ(MarkerRow(), 53);
    EXPECT_EQ(Feature(lowerLipDepth), 0.1f) << "Up moves first, Right changes the new row";
    EXPECT_EQ(Feature(neckWidth), 0.0f);
    ReleaseTogether({keys::right, keys::left});
    game.RunFrame();
    EXPECT_EQ(Feature(lowerLipDepth), Stepped(2, 1));
}

TEST_F(EditingTest, StepsAccumulateInSinglePrecision) {
    SelectPed();
    Tap(keys::right, 10);
    game.RunFrame();
    EXPECT_EQ(Feature(neckWidth), Stepped(10, 0));
    EXPECT_NEAR(Feature(neckWidth), 1.0000001f, 1e-7f);
    EXPECT_EQ(ListLine(0), "PEDEXPRESS_NECK_WIDTH = 1.00");
    Tap(keys::right, 90);
    game.RunFrame();
    EXPECT_EQ(Feature(neckWidth), Stepped(100, 0));
    EXPECT_NEAR(Feature(neckWidth), 10.000002f, 1e-6f);
    EXPECT_EQ(ListLine(0), "PEDEXPRESS_NECK_WIDTH = 10.00");
}

TEST_F(EditingTest, UpAndDownStepsNeedNotReturnToZero) {
    SelectPed();
    Tap(keys::right, 3);
    Tap(keys::left, 3);
    game.RunFrame();
    EXPECT_EQ(Feature(neckWidth), Stepped(3, 3));
    EXPECT_EQ(ListLine(0), "PEDEXPRESS_NECK_WIDTH = 0.00");
    Tap(keys::down);
    Tap(keys::right, 20);
    Tap(keys::left, 20);
    game.RunFrame();
    EXPECT_EQ(ListLine(1), "PEDEXPRESS_NECK_DEPTH = -0.00");
    EXPECT_LT(Feature(60890), 0.0f);
}

TEST_F(EditingTest, NewSessionAfterDeleteKeepsTheCursorAndResetsValues) {
    SelectPed();
    Tap(keys::down, 4);
    Tap(keys::right, 2);
    const int32_t firstCamera = game.world.cameras.begin()->first;
    Tap(keys::del);
    game.RunFrame();
    Tap(keys::f7);
    ASSERT_EQ(game.world.cameras.size(), 1u);
    EXPECT_NE(game.world.cameras.begin()->first, firstCamera);
    EXPECT_EQ(MarkerRow(), 4);
    for (const auto &call : CallsTo(hashes::setFaceFeature))
        EXPECT_EQ(call.arguments[2], 0u);
    EXPECT_EQ(Texts().at(1), "Press F8 to save XML");
}

TEST_F(EditingTest, CameraDoesNotFollowAMovedPed) {
    SelectPed(0.0f, Vec3{1.0f, 2.0f, 3.0f});
    const Vec3 placed = game.world.cameras.begin()->second.position;
    game.world.Find(2)->position = Vec3{50.0f, 60.0f, 70.0f};
    game.world.Find(2)->heading = 90.0f;
    game.RunFrames(3);
    EXPECT_EQ(game.world.cameras.begin()->second.position.x, placed.x);
    EXPECT_EQ(CallsTo(hashes::taskPlayAnim).size(), 1u) << "the pose is re-issued in every pass";
    EXPECT_EQ(game.world.Find(2)->animationCalls, 4) << "the F7 pass and three more";
}

TEST_F(EditingTest, F7AndDeleteInOneFrameStartNothing) {
    SpawnPed(2, "CS_DUTCH");
    Aim(2);
    game.RunFrame();
    ReleaseTogether({keys::f7, keys::del});
    EXPECT_TRUE(game.world.cameras.empty());
    EXPECT_TRUE(CallsTo(hashes::taskPlayAnim).empty());
    EXPECT_EQ(game.world.clearTasksCalls, std::vector<int32_t>{2});
}

// The native calls of one steady editing pass, in order, against a golden record, so that
// any change in the order of calls or of their arguments shows.
TEST_F(EditingTest, OneEditingPassMatchesTheGoldenRecord) {
    SelectPed(45.0f);
    Tap(keys::right, 3);
    game.RunFrame();
    std::string actual;
    for (const NativeCallRecord &call : game.FrameCalls())
        actual +=
            DescribeCall(call.hash, call.argumentCount, call.arguments.data(), call.text) + "\n";
    const std::string expected = ReadFile(PFE_TEST_DATA "/editing_pass.golden");
    if (std::getenv("PFE_WRITE_GOLDEN") != nullptr)
        std::ofstream(PFE_TEST_DATA "/editing_pass.golden") << actual;
    EXPECT_EQ(actual, expected);
}

} // namespace
