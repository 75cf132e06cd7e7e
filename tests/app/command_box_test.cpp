#include "app/command_box.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vintrel {
namespace {

TEST(CommandBox, LastCharacterNamesTheAction) {
  const std::vector<std::pair<std::string, std::optional<int>>> cases = {
      {"b0", 0}, {"b1", 1},  {"b2", 2}, {"2", 2},   {"xyz12", 2},      {"b7", 7},
      {"b9", 9}, {"bx", {}}, {"", {}},  {"2 ", {}}, {"b\xD9\xA2", {}},  // Arabic-Indic two is no digit
  };
  for (const auto& [text, action] : cases) EXPECT_EQ(ActionFromCommandText(text), action) << text;
}

TEST(CommandBox, OnlyAChangeOfTheTextCounts) {
  CommandBox box;
  EXPECT_EQ(box.Receive("b0"), std::nullopt);  // the initial text: nothing runs
  EXPECT_EQ(box.Receive("a0"), 0);
  EXPECT_EQ(box.Receive("a0"), std::nullopt);
  EXPECT_EQ(box.Receive("b0"), 0);  // a different prefix presses the same button again
  EXPECT_EQ(box.Receive("b2"), 2);
  EXPECT_EQ(box.Receive("bx"), std::nullopt);
  EXPECT_EQ(box.Receive("b2"), 2);  // "bx" was held although it names nothing
}

}  // namespace
}  // namespace vintrel
