#include "app/command_box.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
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

// A burst of texts whose actions open modal loops (each dispatching the next text) must not nest:
// one runs at a time, and of those arriving meanwhile only the latest is kept.
TEST(CommandBox, TheGateRunsOneTextAtATimeAndKeepsTheLatest) {
  std::vector<std::string> ran;
  int depth = 0, deepest = 0;
  std::function<void(const std::string&)> action;
  CommandBoxGate gate([&](const std::string& text) {
    ++depth;
    deepest = std::max(deepest, depth);
    ran.push_back(text);
    if (action) action(text);
    --depth;
  });
  int burst = 0;
  action = [&](const std::string&) {
    while (burst < 1000) gate.Offer(++burst % 2 ? "a2" : "b2");  // the "modal loop" dispatching
  };
  gate.Offer("b2");
  EXPECT_EQ(deepest, 1);
  EXPECT_EQ(ran, (std::vector<std::string>{"b2", "b2"}));  // the first, then only the last of the burst

  action = nullptr;
  ran.clear();
  {
    const CommandBoxGate::Busy dialog(gate);  // a dialog the person opened
    gate.Offer("a0");
    gate.Offer("b1");
    EXPECT_TRUE(ran.empty());
    EXPECT_EQ(gate.Waiting(), "b1");
  }
  EXPECT_EQ(ran, std::vector<std::string>{"b1"});
  EXPECT_TRUE(gate.Idle());
  EXPECT_FALSE(gate.Waiting());
}

}  // namespace
}  // namespace vintrel
