#include "intake/file_queue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vintrel {
namespace {

std::vector<std::string> Paths(const FileQueue& queue) {
  std::vector<std::string> paths;
  for (const auto& entry : queue.Entries()) paths.push_back(entry.path);
  return paths;
}

TEST(FileQueue, KeepsArrivalOrderAndDuplicates) {
  FileQueue queue;
  EXPECT_TRUE(queue.Empty());
  queue.AddToQueue("C:\\videos\\clip.wmv");
  queue.AddToQueue("D:\\v\\movie.Mp4");
  queue.AddToQueue("C:\\videos\\clip.wmv");
  EXPECT_EQ(queue.Count(), 3u);
  EXPECT_EQ(queue.Head(), "C:\\videos\\clip.wmv");
  EXPECT_EQ(Paths(queue),
            (std::vector<std::string>{"C:\\videos\\clip.wmv", "D:\\v\\movie.Mp4", "C:\\videos\\clip.wmv"}));
  EXPECT_EQ(queue.At(1).typeTag, "MP4");
  EXPECT_EQ(queue.At(1).path, "D:\\v\\movie.Mp4");  // shown with the case it came with
  EXPECT_EQ(queue.At(0).typeTag, "WMV");
}

TEST(FileQueue, RemovesTheChosenRowAndTheHead) {
  FileQueue queue;
  for (const char* p : {"1.avi", "2.avi", "3.avi", "4.avi", "5.avi"}) queue.AddToQueue(p);
  EXPECT_TRUE(queue.RemoveAt(2));
  EXPECT_EQ(Paths(queue), (std::vector<std::string>{"1.avi", "2.avi", "4.avi", "5.avi"}));
  EXPECT_EQ(queue.Head(), "1.avi");
  EXPECT_FALSE(queue.RemoveAt(4));
  EXPECT_EQ(queue.Count(), 4u);
  EXPECT_TRUE(queue.RemoveHead());
  EXPECT_EQ(queue.Head(), "2.avi");
  EXPECT_TRUE(queue.RemoveAt(2));
  EXPECT_TRUE(queue.RemoveHead());
  EXPECT_TRUE(queue.RemoveHead());
  EXPECT_TRUE(queue.Empty());
  EXPECT_FALSE(queue.RemoveHead());
  EXPECT_FALSE(queue.RemoveAt(0));
}

TEST(FileQueue, ReportsChangesAfterTheyHappen) {
  FileQueue queue;
  std::vector<std::string> log;
  queue.onAppended = [&](std::size_t i) { log.push_back("+" + std::to_string(i) + queue.At(i).path); };
  queue.onRemoved = [&](std::size_t i) {
    log.push_back("-" + std::to_string(i) + "#" + std::to_string(queue.Count()));
  };
  queue.AddToQueue("a");
  queue.AddToQueue("b");
  queue.RemoveAt(1);
  queue.RemoveAt(5);
  queue.RemoveHead();
  queue.RemoveHead();
  EXPECT_EQ(log, (std::vector<std::string>{"+0a", "+1b", "-1#1", "-0#0"}));
}

TEST(FileQueue, TypeTagIsTheLastThreeCharactersUpperCased) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"C:\\v\\clip.avi", "AVI"},
      {"C:\\v\\clip.mpeg", "PEG"},
      {"/home/u/Videos", "EOS"},  // a dropped folder
      {"x.Mp4", "MP4"},
      {"ab", "AB"},
      {"", ""},
      {"/v/clip.\xD0\xBC\xD0\xBF\x34", "\xD0\xBC\xD0\xBF\x34"},  // Cyrillic letters stay whole
      {"/v/\xE6\x98\xA0\xE5\x83\x8F.mov", "MOV"},
      {"/v/a\xC3\xA9z", "A\xC3\xA9Z"},
  };
  for (const auto& [path, tag] : cases) EXPECT_EQ(FileQueue::TypeTag(path), tag) << path;
}

}  // namespace
}  // namespace vintrel
