// pfe-sim show: the reader accepts what the editor writes and names the line of anything else.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "data/face_features.h"
#include "sim/xml_reader.h"
#include "support/game_fixture.h"

namespace {

const FeatureTable table{faceFeatureNames, faceFeatureIds, faceFeatureCount};

// Built from the pieces, not from the editor's table: an id may be any text here.
std::string Item(const std::string &id, const std::string &value) {
    return facts::ExportItemLines(id, value);
}

std::string Export(const std::string &items) { return facts::ExportBytes(items); }

using ReadExportTest = GameTest;

// The module itself writes the file: the reader must take it as it is.
TEST_F(ReadExportTest, AcceptsWhatTheEditorWrites) {
    SpawnPed(2, "A_M_M_VALTOWNFOLK_01");
    Aim(2);
    game.RunFrame();
    Tap(keys::f7);
    Tap(keys::right, 3); // row 0 to 0.3
    Tap(keys::up);       // wraps to row 53
    Tap(keys::left, 2);  // row 53 to -0.2
    Tap(keys::f8);
    const std::string bytes = ReadFile("Moulary_A_M_M_VALTOWNFOLK_01.xml");
    ASSERT_FALSE(bytes.empty());
    const std::vector<ExportItem> items = ReadExport(bytes, table);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].name, "PEDEXPRESS_NECK_WIDTH");
    EXPECT_EQ(items[0].id, 36277u);
    EXPECT_EQ(items[0].value, "0.300000");
    EXPECT_EQ(items[0].line, 2);
    EXPECT_EQ(items[1].name, "PEDEXPRESS_LOWER_LIP_DEPTH");
    EXPECT_EQ(items[1].row, 53);
    EXPECT_EQ(items[1].value, "-0.200000");
    EXPECT_EQ(items[1].line, 6);
}

TEST(ReadExport, AcceptsEmptyExportsAndNotANumber) {
    EXPECT_TRUE(ReadExport(Export(""), table).empty());
    const std::vector<ExportItem> items = ReadExport(
        Export(Item("36277", "nan") + Item("60890", "-nan") + Item("23830", "0.100000")), table);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[1].name, "PEDEXPRESS_NECK_DEPTH");
    EXPECT_EQ(items[2].value, "0.100000");
}

// Values as "%f" prints floats, sampled across every exponent, NaNs and infinities with
// either sign among them: each is taken. Where floats lie 8e-6 apart or more, "%f" of a
// float plus a quarter of that spacing is no float's text (none lies within the half of the
// last decimal around it): each is refused.
TEST(ReadExport, TakesExactlyTheTextsPrintfGivesForFloats) {
    int taken = 0;
    int refused = 0;
    for (uint64_t bits = 0; bits <= 0xFFFFFFFFu; bits += 65521) {
        const float value = SlotFloat(bits);
        if (std::fabs(value) < 0.1f) // left out of exports
            continue;
        char text[64];
        std::snprintf(text, sizeof text, "%f", static_cast<double>(value));
        EXPECT_NO_THROW(ReadExport(Export(Item("36106", text)), table)) << text;
        ++taken;
        if (!std::isfinite(value))
            continue;
        const double spacing =
            static_cast<double>(std::nextafter(std::fabs(value), INFINITY) - std::fabs(value));
        char between[64];
        std::snprintf(between, sizeof between, "%f",
                      static_cast<double>(value) + std::copysign(spacing / 4, value));
        if (spacing < 8e-6)
            continue;
        EXPECT_THROW(ReadExport(Export(Item("36106", between)), table), Failure)
            << between << " is no float's text; " << text << " is";
        ++refused;
    }
    EXPECT_GT(taken, 30000);
    EXPECT_GT(refused, 25000);
}

struct Bad {
    const char *what;
    std::string bytes;
    int line;
    const char *message;
};

TEST(ReadExport, NamesTheLineOfEverythingTheEditorWouldNotWrite) {
    const std::string jaw = Item("36106", "0.400000");
    const Bad cases[] = {
        {"empty file", "", 1, "the file is empty"},
        {"LF line ends", "      <expressions>\n      </expressions>", 1, "ends with LF alone"},
        {"LF inside an item", Export("        <Item>\r\n          <id value=\"36106\"/>\n"), 3,
         "ends with LF alone"},
        {"line end after the closing line", Export(jaw) + "\r\n", 6,
         "a line end follows </expressions>"},
        {"text after the closing line", Export(jaw) + "\r\n<x/>", 6, "a line end follows"},
        {"no closing line", "      <expressions>\r\n" + jaw, 5, "ends before </expressions>"},
        {"cut inside an item", "      <expressions>\r\n        <Item>\r\n", 2,
         "ends inside the <Item>"},
        {"opening indented wrongly", "    <expressions>\r\n      </expressions>", 1,
         "expected \"      <expressions>\", found \"    <expressions>\""},
        {"stray element", Export("        <Thing>\r\n"), 2, "expected \"        <Item>\" or"},
        {"unknown id", Export(Item("12345", "0.400000")), 3, "unknown feature id 12345"},
        {"id with a plus", Export(Item("+36106", "0.400000")), 3, "is not a whole number"},
        {"id with leading zero", Export(Item("036106", "0.400000")), 3, "is not a whole number"},
        {"id element misspelt", Export("        <Item>\r\n          <ID value=\"36106\"/>\r\n"), 3,
         "expected a <id value=\"...\"/> element"},
        {"id twice", Export(jaw + jaw), 7, "appears a second time; the first is on line 3"},
        {"out of table order", Export(Item("60334", "0.400000") + jaw), 7,
         "comes after id 60334 (PEDEXPRESS_JAW_WIDTH)"},
        {"five decimals", Export(Item("36106", "0.40000")), 4, "not one the editor writes"},
        {"exponent", Export(Item("36106", "4e-1")), 4, "not one the editor writes"},
        {"value inside the threshold", Export(Item("36106", "0.099999")), 4,
         "lies inside (-0.1, 0.1)"},
        {"negative zero", Export(Item("36106", "-0.000000")), 4, "lies inside"},
        {"value element unclosed",
         Export("        <Item>\r\n          <id value=\"36106\"/>\r\n          <value "
                "value=\"0.4\">\r\n"),
         4, "expected a <value value=\"...\"/> element"},
        {"item not closed",
         Export("        <Item>\r\n          <id value=\"36106\"/>\r\n          <value "
                "value=\"0.400000\"/>\r\n"
                "        <Item>\r\n"),
         5, "expected \"        </Item>\""},
        {"carriage return shown", Export("        <Item>\r\r\n"), 2, "found \"        <Item>\\r\""},
    };
    for (const Bad &bad : cases) {
        try {
            ReadExport(bad.bytes, table);
            ADD_FAILURE() << bad.what << ": accepted";
        } catch (const Failure &error) {
            const std::string message = error.what();
            EXPECT_EQ(error.line, bad.line) << bad.what << ": " << message;
            EXPECT_NE(message.find(bad.message), std::string::npos) << bad.what << ": " << message;
            EXPECT_EQ(message.find('\n'), std::string::npos) << bad.what;
        }
    }
}

class ShowExportTest : public ::testing::Test {
  protected:
    TemporaryFolder folder{true};
};

TEST_F(ShowExportTest, ListsFeaturesOrReportsOneLine) {
    std::ofstream("good.xml", std::ios::binary)
        << Export(Item("36106", "0.400000") + Item("60334", "-0.300000"));
    std::ofstream("bad.xml", std::ios::binary) << Export(Item("36106", "0.05"));
    std::filesystem::create_directory("folder");
    std::ostringstream out, err;
    EXPECT_EQ(ShowExport("good.xml", table, out, err), 0);
    EXPECT_EQ(out.str(), "good.xml: 2 features\n"
                         "  PEDEXPRESS_JAW_HEIGHT  id 36106   0.400000\n"
                         "  PEDEXPRESS_JAW_WIDTH   id 60334  -0.300000\n");
    EXPECT_EQ(err.str(), "");

    const struct {
        std::string file;
        int status;
        const char *message;
    } failures[] = {
        {"bad.xml", 1,
         "bad.xml:4: the value \"0.05\" is not one the editor writes (\"%f\" of a float: six "
         "decimals and a value a float holds, or nan, -nan, inf, -inf)\n"},
        {"missing.xml", 2, "pfe-sim: cannot read missing.xml: No such file or directory\n"},
        {"folder", 2, "pfe-sim: cannot read folder: it is a directory\n"},
    };
    for (const auto &failure : failures) {
        std::ostringstream quiet, message;
        EXPECT_EQ(ShowExport(failure.file, table, quiet, message), failure.status);
        EXPECT_EQ(message.str(), failure.message);
        EXPECT_EQ(quiet.str(), "");
    }
}

// The size is checked before a byte is read, and only a regular file is read: a FIFO with no
// writer would otherwise hold the reader for ever.
TEST_F(ShowExportTest, ReadsOnlyRegularFilesUpToTheLimit) {
    std::ofstream("limit.xml", std::ios::binary) << std::string(maxExportBytes, 'x');
    std::ofstream("over.xml", std::ios::binary) << std::string(maxExportBytes + 1, 'x');
    ASSERT_EQ(mkfifo("pipe.xml", 0600), 0);
    const struct {
        const char *file;
        int status;
        std::string message;
    } cases[] = {
        {"limit.xml", 1, "limit.xml:1: expected \"      <expressions>\", found \"xxxx"},
        {"over.xml", 1, "over.xml:0: more than 64 KiB, too long for an export\n"},
        {"pipe.xml", 2, "pfe-sim: cannot read pipe.xml: it is a FIFO, not a regular file\n"},
    };
    for (const auto &each : cases) {
        std::ostringstream out, err;
        EXPECT_EQ(ShowExport(each.file, table, out, err), each.status) << each.file;
        EXPECT_EQ(err.str().rfind(each.message, 0), 0u) << err.str();
        EXPECT_EQ(out.str(), "");
    }
}

} // namespace
