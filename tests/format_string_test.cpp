#include <gtest/gtest.h>

#include <clocale>
#include <cstring>

#include "editor/format_string.h"

// A wide character that has no encoding in the "C" locale: converting it with %ls fails, and
// vsnprintf reports the failure after it may have stored the text before it.
static const wchar_t unencodable[] = L"\u20AC";

TEST(FormatString, FormatsInTheCLocale) {
    EXPECT_EQ(FormatString("%s = %.2f\n", "PEDEXPRESS_TRAPS", 1.0000001),
              "PEDEXPRESS_TRAPS = 1.00\n");
    EXPECT_EQ(FormatString("%f", -0.5), "-0.500000");
    EXPECT_EQ(FormatString("0x%X", 0x0D7114C9u), "0xD7114C9");
    EXPECT_EQ(FormatString("0x%X", 0xFFFFFFFFu), "0xFFFFFFFF");
    EXPECT_EQ(FormatString("0x%X", 0u), "0x0");
    EXPECT_EQ(FormatString("%.2f", -7.5e-8), "-0.00");
}

TEST(FormatString, CutsLongOutputTo2047Characters) {
    const std::string long3000(3000, 'a');
    const std::string text = FormatString("%s", long3000.c_str());
    EXPECT_EQ(text, std::string(2047, 'a'));
    const std::string exact(2047, 'b');
    EXPECT_EQ(FormatString("%s", exact.c_str()), exact);
    const std::string justOver(2048, 'c');
    EXPECT_EQ(FormatString("%s", justOver.c_str()), std::string(2047, 'c'));
}

TEST(FormatString, EmptyFormatGivesEmptyText) { EXPECT_EQ(FormatString("%s", ""), ""); }

// The buffer is not cleared before formatting, so a failed conversion must not hand back what
// an earlier call or the failing one itself left in it.
TEST(FormatString, FailedConversionGivesEmptyText) {
    ASSERT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C");
    const std::string long3000(3000, 'x');
    ASSERT_EQ(FormatString("%s", long3000.c_str()).size(), 2047u);
    EXPECT_EQ(FormatString("%ls", unencodable), "");
    EXPECT_EQ(FormatString("PEDEXPRESS_TRAPS = %ls\n", unencodable), "");
    EXPECT_EQ(FormatString("%s%ls", long3000.c_str(), unencodable), "");
}

TEST(AppendFormatted, AppendsWhatFormatStringGives) {
    std::string text = "status\n";
    AppendFormatted(text, "%s = %.2f\n", "PEDEXPRESS_TRAPS", 1.0000001);
    AppendFormatted(text, "%s = %.2f\n", "PEDEXPRESS_NECK_WIDTH", -7.5e-8);
    AppendFormatted(text, "%s", "");
    AppendFormatted(text, "0x%X", 0x0D7114C9u);
    EXPECT_EQ(text, "status\nPEDEXPRESS_TRAPS = 1.00\nPEDEXPRESS_NECK_WIDTH = -0.00\n0xD7114C9");
}

TEST(AppendFormatted, CutsEachLineTo2047Characters) {
    const std::string long3000(3000, 'a');
    std::string text = "head:";
    AppendFormatted(text, "%s\n", long3000.c_str());
    AppendFormatted(text, "%s", std::string(2047, 'b').c_str());
    EXPECT_EQ(text, "head:" + std::string(2047, 'a') + std::string(2047, 'b'));
}

TEST(AppendFormatted, FailedConversionAppendsNothing) {
    ASSERT_STREQ(std::setlocale(LC_CTYPE, nullptr), "C");
    std::string text = "before\n";
    AppendFormatted(text, "%s", std::string(3000, 'x').c_str());
    text.resize(std::strlen("before\n"));
    AppendFormatted(text, "PEDEXPRESS_TRAPS = %ls\n", unencodable);
    AppendFormatted(text, "%ls", unencodable);
    AppendFormatted(text, "%s = %.2f\n", "PEDEXPRESS_TRAPS", 0.5);
    EXPECT_EQ(text, "before\nPEDEXPRESS_TRAPS = 0.50\n");
}
