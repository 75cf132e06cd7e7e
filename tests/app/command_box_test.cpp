#include "app/command_box.h"

#include <gtest/gtest.h>

#include <algorithm>
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
  EXPECT_TRUE(box.Changed("bx"));   // a change that names no button still counts as one
  EXPECT_FALSE(box.Changed("bx"));
}

// A burst whose actions open modal loops (each dispatching the next text) never nests: one text
// runs at a time, and of those arriving meanwhile only the latest is kept.
TEST(CommandBox, TheGateRunsOneTextAtATimeAndKeepsTheLatest) {
  std::vector<std::string> ran;
  int depth = 0, deepest = 0, burst = 0;
  CommandBoxGate* self = nullptr;
  CommandBoxGate gate([&](const std::string& text) {
    deepest = std::max(deepest, ++depth);
    ran.push_back(text);
    while (burst < 1000) self->Offer(++burst % 2 ? "a2" : "b2");
    --depth;
  });
  self = &gate;
  {
    const CommandBoxGate::Busy dialog(gate);  // a dialog the person opened
    gate.Offer("a0");
    gate.Offer("b1");
    EXPECT_TRUE(ran.empty());
  }
  EXPECT_EQ(deepest, 1);
  EXPECT_EQ(ran, (std::vector<std::string>{"b1", "b2"}));  // the last before, the last of the burst
  EXPECT_FALSE(gate.Waiting());
}

}  // namespace
}  // namespace vintrel
