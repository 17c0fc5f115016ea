// The export's text, built from the module's feature values directly and held to the stand-in's
// pieces of an export (with the LF line ends the text has before it is stored): values in table
// order, values that no arrow key can reach (not a number, infinities) and the exact
// single-precision bounds of the threshold.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "data/face_features.h"
#include "editor/editor.h"
#include "standin/game_facts.h"

namespace {

class ExpressionsXmlTest : public ::testing::Test {
  protected:
    void SetUp() override { std::fill(std::begin(featureValues), std::end(featureValues), 0.0f); }
    void TearDown() override { SetUp(); }

    // One item block as the export forms it, for row `row` with `value` as printed.
    static std::string Item(int row, const std::string &value) {
        return facts::ExportItemLines(faceFeatureIds[row], value, "\n");
    }
    static std::string Fragment(const std::string &items) {
        return facts::ExportBytes(items, "\n");
    }
};

TEST_F(ExpressionsXmlTest, ValuesOutsideTheThresholdInTableOrder) {
    EXPECT_EQ(BuildExpressionsXml(), Fragment(""));
    featureValues[53] = -1.0f;
    featureValues[0] = 0.5f;
    EXPECT_EQ(BuildExpressionsXml(), Fragment(Item(0, "0.500000") + Item(53, "-1.000000")));
}

TEST_F(ExpressionsXmlTest, ValuesNoKeyCanReachAreWrittenAsPrintfShowsThem) {
    featureValues[0] = std::numeric_limits<float>::quiet_NaN();
    featureValues[7] = std::numeric_limits<float>::infinity();
    featureValues[15] = -std::numeric_limits<float>::infinity();
    featureValues[53] = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(BuildExpressionsXml(),
              Fragment(Item(0, "nan") + Item(7, "inf") + Item(15, "-inf") + Item(53, "nan")));
}

TEST_F(ExpressionsXmlTest, TheThresholdIsTheSinglePrecisionTenth) {
    featureValues[1] = 0.1f; // bit pattern 0x3DCCCCCD: written
    featureValues[2] = -0.1f;
    featureValues[3] = std::nextafter(0.1f, 0.0f); // the next float toward zero: skipped
    featureValues[4] = std::nextafter(-0.1f, 0.0f);
    featureValues[5] = -0.0f;
    featureValues[6] = std::nextafter(0.1f, 1.0f); // 0.10000001, shown with six decimals
    EXPECT_EQ(BuildExpressionsXml(),
              Fragment(Item(1, "0.100000") + Item(2, "-0.100000") + Item(6, "0.100000")));
}

} // namespace
