#include "face/launch_inbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vintrel::face {
namespace {

using Files = LaunchInbox::Files;

TEST(LaunchInbox, DropsAtOnceWhenIdleAndHoldsDuringAnAction) {
  std::vector<Files> drops;
  LaunchInbox inbox([&](const Files& files) { drops.push_back(files); });
  inbox.Receive({"/v/a.avi", "/v/folder"});
  inbox.Receive({});  // only asked for the window
  EXPECT_EQ(drops, (std::vector<Files>{{"/v/a.avi", "/v/folder"}}));

  drops.clear();
  {
    const LaunchInbox::Busy batch(inbox);
    inbox.Receive({"/v/b.avi"});
    {
      const LaunchInbox::Busy finishBox(inbox);  // the failure list at the end of the batch
      inbox.Receive({"/v/c.avi", "/v/b.avi"});
    }
    EXPECT_TRUE(drops.empty());
    EXPECT_EQ(inbox.Held(), (Files{"/v/b.avi", "/v/c.avi", "/v/b.avi"}));
  }
  EXPECT_EQ(drops, (std::vector<Files>{{"/v/b.avi", "/v/c.avi", "/v/b.avi"}}));
  EXPECT_TRUE(inbox.Held().empty());
}

// A drop handler that dispatches events may meet the next launch: it is taken after, not inside.
TEST(LaunchInbox, FilesArrivingDuringADropFollowIt) {
  std::vector<Files> drops;
  int depth = 0, deepest = 0;
  LaunchInbox* self = nullptr;
  LaunchInbox inbox([&](const Files& files) {
    deepest = std::max(deepest, ++depth);
    drops.push_back(files);
    if (drops.size() == 1) self->Receive({"/v/late.avi"});
    --depth;
  });
  self = &inbox;
  inbox.Receive({"/v/first.avi"});
  EXPECT_EQ(drops, (std::vector<Files>{{"/v/first.avi"}, {"/v/late.avi"}}));
  EXPECT_EQ(deepest, 1);
}

}  // namespace
}  // namespace vintrel::face
