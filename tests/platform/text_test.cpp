#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "platform/text.h"

using namespace tav;
using namespace tav::literals;

TEST(Cp1252, EveryByteRoundTripsThroughUtf8) {
  for (int b = 0; b < 256; ++b) {
    std::string one(1, static_cast<char>(b));
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(one)), one) << b;
  }
  EXPECT_EQ(Cp1252ToUtf8("\x99"), "\xE2\x84\xA2");  // trade-mark sign
  EXPECT_EQ(Cp1252ToUtf8("\x80"), "\xE2\x82\xAC");  // euro sign
}

TEST(Cp1252, LiteralsComeOutAsWindowsBytes) {
  EXPECT_EQ("TSS™"_w, "TSS\x99");
  EXPECT_EQ("Übernehmen"_w, "\xDC" "bernehmen");
  EXPECT_EQ("°C §"_w, "\xB0" "C \xA7");
}

TEST(Cp1252, MalformedUtf8BecomesQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1252("a\xC3"), "a?");
  EXPECT_EQ(Utf8ToCp1252("\xFF" "b"), "?b");
  EXPECT_EQ(Utf8ToCp1252("\xC3(\xE2\x82"), "?(??") << "a bad continuation, a cut-off sequence";
  EXPECT_EQ(Utf8ToCp1252("\xE4\xB8\xAD"), "?");  // no byte for this character
}

TEST(Cp1252, UpperCaseFolding) {
  EXPECT_EQ(UpperCp1252("straße äöü"_w), "STRAßE ÄÖÜ"_w);
  EXPECT_EQ(UpperCp1252(static_cast<unsigned char>(0xF7)), 0xF7);  // division sign
}

TEST(NumberText, FormatAndParseIgnoreTheLocale) {
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = old ? old : "C";
  bool german = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
  if (german) {
    // The locale is really in force: the C library itself writes and reads ','.
    char plain[32];
    std::snprintf(plain, sizeof plain, "%.2f", 1.5);
    EXPECT_STREQ(plain, "1,50");
    EXPECT_DOUBLE_EQ(std::strtod("3,25", nullptr), 3.25);
  }
  EXPECT_EQ(Format("%8.2f ", 1234.5), " 1234.50 ");
  EXPECT_EQ(Format("%.1f;%g;%e", 0.25, 2.5, 1.5), "0.2;2.5;1.500000e+00");
  EXPECT_EQ(Format("%02i:%02i:%02i", 1, 2, 3), "01:02:03");
  EXPECT_DOUBLE_EQ(ToDouble(" 3.25xyz"), 3.25);
  EXPECT_DOUBLE_EQ(ToDouble("-0.5"), -0.5);
  EXPECT_DOUBLE_EQ(ToDouble("3,25"), 3.0) << "a comma ends the number";
  EXPECT_FALSE(ParseDouble("abc").has_value());
  EXPECT_EQ(ToInt("  -42;"), -42);
  EXPECT_EQ(ToInt("99999999999"), 2147483647);
  EXPECT_EQ(Format("%s!", std::string(1000, 'x').c_str()).size(), 1001u) << "long output is not cut";
  std::setlocale(LC_NUMERIC, saved.c_str());
  if (!german) GTEST_SKIP() << "no German locale installed; checked in the C locale only";
}
