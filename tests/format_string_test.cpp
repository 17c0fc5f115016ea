#include <gtest/gtest.h>

#include "editor/format_string.h"

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
}

TEST(FormatString, EmptyFormatGivesEmptyText) { EXPECT_EQ(FormatString("%s", ""), ""); }
