// JSON lines: strings of any bytes come out as valid JSON (control
// characters escaped, valid UTF-8 kept, every other byte U+FFFD), times in
// UTC, numbers in the same form whatever the locale.
#include <gtest/gtest.h>

#include <clocale>
#include <limits>
#include <string>

#include "JsonLine.h"

namespace morvak {
namespace {

struct EscapeCase {
  const char* name;
  std::string bytes;
  std::string json;
};

class JsonStringTest : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(JsonStringTest, Escapes) { EXPECT_EQ(JsonString(GetParam().bytes), GetParam().json); }

INSTANTIATE_TEST_SUITE_P(
    Bytes, JsonStringTest,
    ::testing::Values(
        EscapeCase{"Plain", "Configuring SDRAM", "\"Configuring SDRAM\""},
        EscapeCase{"Empty", "", "\"\""},
        EscapeCase{"QuoteAndBackslash", "say \"C:\\file\"", "\"say \\\"C:\\\\file\\\"\""},
        EscapeCase{"ShortEscapes", "a\nb\rc\td\be\ff", "\"a\\nb\\rc\\td\\be\\ff\""},
        EscapeCase{"OtherControls", std::string("\x01\x1f\x7f", 3), "\"\\u0001\\u001f\\u007f\""},
        EscapeCase{"Nul", std::string("a\0b", 3), "\"a\\u0000b\""},
        EscapeCase{"SlashStaysAsItIs", "1/2", "\"1/2\""},
        EscapeCase{"ValidUtf8Kept", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF",
                   "\"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xF4\x8F\xBF\xBF\""},
        EscapeCase{"LoneHighByte", "\xFF", "\"\\ufffd\""},
        EscapeCase{"LoneContinuation", "a\x80z", "\"a\\ufffdz\""},
        EscapeCase{"CutAtTheEnd", "ok\xC3", "\"ok\\ufffd\""},
        EscapeCase{"CutBeforeAscii", "\xE2\x82" "A", "\"\\ufffd\\ufffdA\""},
        EscapeCase{"Overlong", "\xC0\xAF\xE0\x80\x80", "\"\\ufffd\\ufffd\\ufffd\\ufffd\\ufffd\""},
        EscapeCase{"Surrogate", "\xED\xA0\x80", "\"\\ufffd\\ufffd\\ufffd\""},
        EscapeCase{"AboveUnicode", "\xF4\x90\x80\x80", "\"\\ufffd\\ufffd\\ufffd\\ufffd\""},
        // Latin-1 text as an old programmer might send it.
        EscapeCase{"Latin1", "Fehler: Spannung zu gro\xDF", "\"Fehler: Spannung zu gro\\ufffd\""}),
    [](const ::testing::TestParamInfo<EscapeCase>& p) { return std::string(p.param.name); });

TEST(JsonStringTest, EveryByteGivesPrintableAsciiOrValidUtf8) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string json = JsonString(all);
  for (char c : json) EXPECT_TRUE(c >= 0x20 && c < 0x7F) << static_cast<int>(c);
  // 0x00-0x1F and 0x7F escaped, 0x80-0xFF alone are no UTF-8 at all.
  EXPECT_NE(json.find("\\u0000"), std::string::npos);
}

TEST(FormatUtcTimeTest, UtcWithMilliseconds) {
  using namespace std::chrono;
  EXPECT_EQ(FormatUtcTime(system_clock::time_point{}), "1970-01-01T00:00:00.000Z");
  EXPECT_EQ(FormatUtcTime(system_clock::time_point{seconds(1709251199) + milliseconds(999)}),
            "2024-02-29T23:59:59.999Z");
  // Past the 32-bit seconds, and the sub-millisecond part is cut, not rounded.
  EXPECT_EQ(FormatUtcTime(system_clock::time_point{seconds(2147483648) + microseconds(1999)}),
            "2038-01-19T03:14:08.001Z");
}

TEST(JsonLineTest, BuildsOneObject) {
  const std::string line = JsonLine()
                               .Add("text", "a\"b")
                               .Add("signed", int64_t{-3})
                               .Add("unsigned", uint64_t{18446744073709551615u})
                               .Add("yes", true)
                               .Add("no", false)
                               .AddNull("none")
                               .AddOrNull("empty", "")
                               .AddOrNull("full", "x")
                               .AddFixed("seconds", 1.25, 3)
                               .AddFixed("nan", std::numeric_limits<double>::quiet_NaN(), 3)
                               .Text();
  EXPECT_EQ(line,
            "{\"text\":\"a\\\"b\",\"signed\":-3,\"unsigned\":18446744073709551615,\"yes\":true,\"no\":false,"
            "\"none\":null,\"empty\":null,\"full\":\"x\",\"seconds\":1.250,\"nan\":null}");
  EXPECT_EQ(JsonLine().Text(), "{}");
}

TEST(JsonLineTest, NumbersIgnoreTheLocale) {
  // A window toolkit sets the user's locale; a decimal comma would break JSON.
  const char* before = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = before != nullptr ? before : "C";
  bool switched = false;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "C.UTF-8"})
    if (std::setlocale(LC_NUMERIC, name) != nullptr) {
      switched = true;
      break;
    }
  const std::string line = JsonLine().AddFixed("s", 2.5, 2).Text();
  std::setlocale(LC_NUMERIC, saved.c_str());
  EXPECT_EQ(line, "{\"s\":2.50}");
  if (!switched) GTEST_SKIP() << "no other locale installed; checked in the C locale only";
}

}  // namespace
}  // namespace morvak
