#include "face/launch_inbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

namespace vintrel::face {
namespace {

using Files = LaunchInbox::Files;

TEST(LaunchInbox, DropsAtOnceWhenIdleAndHoldsDuringAnAction) {
  std::vector<Files> drops;
  LaunchInbox inbox([&](const Files& files) { drops.push_back(files); }, [] { return std::size_t{100}; });
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
  LaunchInbox inbox(
      [&](const Files& files) {
        deepest = std::max(deepest, ++depth);
        drops.push_back(files);
        if (drops.size() == 1) self->Receive({"/v/late.avi"});
        --depth;
      },
      [] { return std::size_t{100}; });
  self = &inbox;
  inbox.Receive({"/v/first.avi"});
  EXPECT_EQ(drops, (std::vector<Files>{{"/v/first.avi"}, {"/v/late.avi"}}));
  EXPECT_EQ(deepest, 1);
}

// What is held counts against the room the queue has left: a launch that would pass it is refused
// whole, so held launches cannot grow without end during a batch.
TEST(LaunchInbox, RefusesALaunchThatWouldPassTheRoomLeft) {
  std::vector<Files> drops;
  std::size_t room = 3;
  LaunchInbox inbox([&](const Files& files) { drops.push_back(files); }, [&] { return room; });
  {
    const LaunchInbox::Busy batch(inbox);
    EXPECT_TRUE(inbox.Receive({"/v/a", "/v/b"}));
    EXPECT_FALSE(inbox.Receive({"/v/c", "/v/d"}));
    EXPECT_TRUE(inbox.Receive({"/v/c"}));
    EXPECT_FALSE(inbox.Receive({"/v/d"}));
    EXPECT_TRUE(inbox.Receive({}));
    room = 1;  // the batch's Add took room meanwhile: held files are kept, nothing more joins
    EXPECT_FALSE(inbox.Receive({"/v/e"}));
    EXPECT_TRUE(inbox.Receive({}));  // only asks for the window, which is always room enough
    EXPECT_EQ(inbox.Held(), (Files{"/v/a", "/v/b", "/v/c"}));
  }
  EXPECT_EQ(drops, (std::vector<Files>{{"/v/a", "/v/b", "/v/c"}}));
  room = 0;
  EXPECT_FALSE(inbox.Receive({"/v/f"}));
  EXPECT_EQ(drops.size(), 1u);
}

}  // namespace
}  // namespace vintrel::face
