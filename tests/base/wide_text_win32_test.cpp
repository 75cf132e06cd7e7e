#include "base/wide_text_win32.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace vintrel {
namespace {

TEST(WideText, WellFormedUtf8BecomesItsUtf16) {
  EXPECT_EQ(WideFromUtf8(""), std::wstring());
  EXPECT_EQ(WideFromUtf8("clip.avi"), std::wstring(L"clip.avi"));
  EXPECT_EQ(WideFromUtf8("caf\xC3\xA9"), std::wstring(L"caf\u00E9"));
  EXPECT_EQ(WideFromUtf8("\xE2\x82\xAC"), std::wstring(L"\u20AC"));
  // Beyond the first plane: a surrogate pair.
  EXPECT_EQ(WideFromUtf8("\xF0\x9F\x8E\xA5"), std::wstring(L"\xD83C\xDFA5"));
  // A NUL inside the text is kept, not taken for its end.
  EXPECT_EQ(WideFromUtf8(std::string_view("a\0b", 3)), std::wstring(L"a\0b", 3));
}

// A mended name could be another file's: anything not UTF-8 is refused whole.
TEST(WideText, MalformedUtf8IsRefused) {
  const char* const malformed[] = {
      "\x80",              // a continuation byte alone
      "a\xC3",             // cut short
      "\xC0\xAF",          // an overlong slash
      "\xE0\x80\xAF",      // ... and in three bytes
      "\xED\xA0\x80",      // a surrogate written as UTF-8
      "\xF4\x90\x80\x80",  // beyond U+10FFFF
      "\xFF",
      "clip\xE9.avi",  // Windows-1252, not UTF-8
  };
  for (const char* text : malformed) EXPECT_EQ(WideFromUtf8(text), std::nullopt) << text;
}

TEST(WideText, Utf16BecomesUtf8AndBack) {
  for (const char* text : {"", "clip.avi", "caf\xC3\xA9", "\xF0\x9F\x8E\xA5 \xE6\x98\xA0\xE7\x94\xBB"}) {
    const std::optional<std::wstring> wide = WideFromUtf8(text);
    ASSERT_TRUE(wide.has_value()) << text;
    EXPECT_EQ(Utf8FromWide(*wide), std::string(text));
  }
  EXPECT_EQ(Utf8FromWide(L"\xD83C"), std::nullopt);  // half a surrogate pair
  EXPECT_EQ(Utf8FromWide(L"\xDFA5x"), std::nullopt);
  // Only for showing: the bad byte becomes a replacement character, the rest stays.
  EXPECT_EQ(WideForDisplay("a\xFF"
                           "b"),
            std::wstring(L"a\uFFFDb"));
}

}  // namespace
}  // namespace vintrel
