// The model catalogue and its map, built through the stand-in game's hash native.

#include <gtest/gtest.h>

#include <set>

#include "data/face_features.h"
#include "data/model_catalogue.h"
#include "standin/game.h"
#include "support/temporary_folder.h"

namespace {

class CatalogueTest : public ::testing::Test {
  protected:
    void SetUp() override { modelNamesByHash.clear(); }
    void TearDown() override { modelNamesByHash.clear(); }
    Game game;
};

TEST_F(CatalogueTest, HoldsTheListedNamesInOrder) {
    const std::vector<std::string> listed = ReadLines(PFE_TEST_DATA "/ped_model_names.txt");
    ASSERT_EQ(listed.size(), static_cast<std::size_t>(pedModelNameCount));
    std::size_t total = 0;
    for (int i = 0; i < pedModelNameCount; ++i) {
        EXPECT_EQ(pedModelNames[i], listed[static_cast<std::size_t>(i)]) << "index " << i;
        total += pedModelNames[i].size();
    }
    EXPECT_EQ(total, 26320u);
    std::set<std::string> distinct(std::begin(pedModelNames), std::end(pedModelNames));
    EXPECT_EQ(distinct.size(), listed.size());
    for (const std::string &name : pedModelNames)
        EXPECT_EQ(name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_"),
                  std::string::npos)
            << name;
}

TEST_F(CatalogueTest, FaceFeatureTableIsTheListedOne) {
    const std::vector<std::string> listed = ReadLines(PFE_TEST_DATA "/face_features.txt");
    ASSERT_EQ(listed.size(), static_cast<std::size_t>(faceFeatureCount));
    for (int i = 0; i < faceFeatureCount; ++i)
        EXPECT_EQ(faceFeatureNames[i] + " " + std::to_string(faceFeatureIds[i]),
                  listed[static_cast<std::size_t>(i)]);
}

TEST_F(CatalogueTest, EveryNameIsFoundAgainByItsHash) {
    BuildModelNameMap();
    EXPECT_EQ(modelNamesByHash.size(), static_cast<std::size_t>(pedModelNameCount));
    bool sawHighHash = false;
    for (const std::string &name : pedModelNames) {
        const uint32_t hash = HashOfName(name);
        sawHighHash = sawHighHash || hash >= 0x80000000u;
        const std::string *found = FindModelName(hash);
        ASSERT_NE(found, nullptr) << name;
        EXPECT_EQ(*found, name);
    }
    EXPECT_TRUE(sawHighHash) << "the catalogue should exercise hashes of 0x80000000 and up";
    EXPECT_EQ(FindModelName(0x12345678u), nullptr);
    EXPECT_EQ(modelNamesByHash.size(), static_cast<std::size_t>(pedModelNameCount))
        << "a lookup must not insert";
}

TEST_F(CatalogueTest, CollisionKeepsTheLowerIndexAndHighKeysWork) {
    game.world.forcedHashes["A_C_COW"] = 0x80000001u;           // index 26
    game.world.forcedHashes["A_C_ALLIGATOR_01"] = 0x80000001u;  // index 0
    game.world.forcedHashes["WESTERN_SADDLE_04"] = 0xFFFFFFFFu; // index 1270
    BuildModelNameMap();
    EXPECT_EQ(modelNamesByHash.size(), 1270u);
    ASSERT_NE(FindModelName(0x80000001u), nullptr);
    EXPECT_EQ(*FindModelName(0x80000001u), "A_C_ALLIGATOR_01");
    ASSERT_NE(FindModelName(0xFFFFFFFFu), nullptr);
    EXPECT_EQ(*FindModelName(0xFFFFFFFFu), "WESTERN_SADDLE_04");
}

TEST_F(CatalogueTest, SecondBuildChangesNothing) {
    BuildModelNameMap();
    const std::map<uint32_t, std::string> first = modelNamesByHash;
    BuildModelNameMap();
    EXPECT_EQ(modelNamesByHash, first);
}

} // namespace
