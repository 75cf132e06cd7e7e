// What both windows do alike, once, through a fake window: start-up's steps, the release of a
// button, the command box, drops and launches (also during a batch), the folder dialog, the end of
// a batch, exit and unload.
#include "face/presenter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "face/start_window.h"
#include "settings_choices.h"
#include "temp_folder.h"

namespace vintrel::face {
namespace {

using testing_support::TempFolder;

struct Message {
  std::string title, text, details;
  MessageIcon icon = MessageIcon::Information;
};

class FakeWindow : public WindowPort {
 public:
  void ApplyWindowStyle() override { ++styled; }
  void SetVersion(const std::string& text, Rgb colour) override {
    caption = text;
    versionColour = colour;
  }
  StoredSettings Settings() override { return settings; }
  void SetSettings(const StoredSettings& value) override { settings = value; }
  void RowAppended(std::size_t row, const QueueEntry& entry) override {
    rows.insert(rows.begin() + static_cast<std::ptrdiff_t>(row), entry.path);
  }
  void RowRemoved(std::size_t row) override { rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(row)); }
  int SelectedRow() override { return 0; }
  void SetActionsEnabled(bool enabled) override { actionsEnabled = enabled; }
  void SetProgressLabel(const std::string& text) override { label = text; }
  void SetProgressBar(double twips) override { bar = twips; }
  void SetDropHintVisible(bool visible) override { hint = visible; }
  ButtonLooks& Looks() override { return looks; }
  void ShowLooks() override { shown.push_back(looks.Action(kActionStart)); }
  bool PaintNow() override {
    if (onPaint) onPaint();
    return true;
  }
  EventPump& Pump() override { return pump; }
  std::string AskForFolder(const std::string& current) override {
    folderAskedFrom = current;
    return folderAnswer;
  }
  void SetCommandBoxText(const std::string& text) override { boxText = text; }
  void EndProcess(int status) override { ended.push_back(status); }
  void ShowMessage(const std::string& title, const std::string& text, MessageIcon icon) override {
    messages.push_back({title, text, "", icon});
  }
  void ShowDetailedMessage(const std::string& title, const std::string& text, const std::string& details,
                           MessageIcon icon) override {
    messages.push_back({title, text, details, icon});
  }
  std::string AskForSourceFile() override { return sourceAnswer; }
  void OpenFolder(const std::string&) override {}
  void PlaySoundToEnd(const std::string&) override {
    if (duringBatch) duringBatch();
  }
  void Critical(const std::string& text) override { messages.push_back({"", text, ""}); }

  int styled = 0;
  std::string caption, label, boxText, folderAskedFrom, folderAnswer, sourceAnswer;
  Rgb versionColour;
  StoredSettings settings;
  std::vector<std::string> rows;  // the list as shown
  bool actionsEnabled = true, hint = true;
  double bar = -1;
  ButtonLooks looks;
  std::vector<Look> shown;  // Start's look at each painting
  std::function<void()> onPaint, duringBatch;
  SleepingEventPump pump;
  std::vector<int> ended;
  std::vector<Message> messages;
};

class PresenterTest : public ::testing::Test {
 protected:
  PresenterTest() : presenter_(window_, Paths()) {}

  AppPaths Paths() const {
    AppPaths paths;
    paths.applicationFolder = folder_.Utf8();
    paths.workingFolder = folder_.Utf8("work");
    paths.settingsFile = folder_.Utf8("setup.ini");
    paths.defaultOutputFolder = folder_.Utf8("output");
    paths.encoderPath = folder_.Utf8("missing-encoder");
    paths.soundFile = folder_.Utf8("sound.wav");
    return paths;
  }
  // The presenter's queue, which the window's list must show row for row.
  std::vector<std::string> Queued() {
    std::vector<std::string> paths;
    for (const QueueEntry& entry : presenter_.Queue().Entries()) paths.push_back(entry.path);
    EXPECT_EQ(window_.rows, paths);
    return paths;
  }

  TempFolder folder_;
  FakeWindow window_;
  Presenter presenter_;
};

TEST_F(PresenterTest, StartupRestoresTheSettingsAndPreparesTheWindow) {
  testing_support::WriteFile(folder_.Path() / "setup.ini", "\"3\"\r\n\"1\"\r\n\"2\"\r\n\"5\"\r\n\"\"\r\n");
  presenter_.Load();
  presenter_.Load();  // once only
  EXPECT_EQ(window_.styled, 1);
  EXPECT_EQ(testing_support::IndexesText(window_.settings), "3 1 2 5");
  EXPECT_EQ(window_.settings.outputFolder, folder_.Utf8("output"));  // an empty fifth line
  EXPECT_EQ(window_.caption, VersionCaption());
  EXPECT_EQ(window_.versionColour, kVersionColour);
  EXPECT_EQ(window_.bar, 0.0);
  EXPECT_FALSE(window_.looks.fromCommandBox());
  EXPECT_TRUE(presenter_.Startup().workingFolderUsable);
  ASSERT_NE(presenter_.Controller(), nullptr);
}

// Mouse, key and box releases alike: the looks are painted and the hold has ended when the action
// runs; a key or the box leaves no hover behind.
TEST_F(PresenterTest, ReleaseSettlesTheLooksBeforeTheAction) {
  std::vector<int> actions;
  bool heldAtAction = true;
  presenter_.onAction = [&](int index) {
    actions.push_back(index);
    heldAtAction = window_.looks.buttonHeld();
  };
  window_.looks.ActionDown(kActionStart);
  // A move over another button still pending at the release changes nothing.
  window_.onPaint = [&] { window_.looks.ActionMove(kActionAdd); };
  presenter_.ReleaseButton(kActionStart);
  EXPECT_EQ(window_.shown, std::vector<Look>{Look::Hover});
  EXPECT_EQ(window_.looks.Action(kActionAdd), Look::Normal);
  EXPECT_FALSE(heldAtAction);

  window_.onPaint = nullptr;
  window_.looks.SetFromKey(true);
  WindowHooks hooks;
  presenter_.ConnectHooks(hooks);
  hooks.onRelease(kActionStart);
  EXPECT_EQ(window_.looks.Action(kActionStart), Look::Normal);
  EXPECT_EQ(actions, (std::vector<int>{kActionStart, kActionStart}));
}

TEST_F(PresenterTest, TheCommandBoxMarksEveryChangeAndPressesItsDigit) {
  std::vector<int> actions;
  presenter_.onAction = [&](int index) { actions.push_back(index); };
  presenter_.OfferCommandBoxText("b0");  // the text the box starts with: no change
  presenter_.CommandBoxChanged("b7");    // no such button: the hook ignores it
  presenter_.CommandBoxChanged("b7");    // the same text again, as an EDIT reports it
  EXPECT_EQ(actions, std::vector<int>{7});
  presenter_.CommandBoxChanged("bx");  // any last character marks the box's release
  EXPECT_TRUE(window_.looks.fromCommandBox());
  window_.looks.ActionMove(kActionAdd);
  presenter_.OfferCommandBoxText("a2");
  EXPECT_EQ(window_.boxText, "a2");
  EXPECT_EQ(actions, (std::vector<int>{7, kActionStart}));
  for (int i = 0; i < kActionCount; ++i) EXPECT_EQ(window_.looks.Action(i), Look::Normal);
  EXPECT_FALSE(window_.looks.fromCommandBox());
}

TEST_F(PresenterTest, DropsQueueInOrderOnlyOnceLoaded) {
  presenter_.DropFiles({"/v/a.avi"});
  EXPECT_TRUE(Queued().empty());
  presenter_.Load();
  presenter_.DropFiles({});
  EXPECT_TRUE(window_.hint);
  presenter_.DropFiles({"/v/b.mp4", "/v", "/v/b.mp4"});  // a folder and a duplicate too
  EXPECT_EQ(Queued(), (std::vector<std::string>{"/v/b.mp4", "/v", "/v/b.mp4"}));
  EXPECT_FALSE(window_.hint);
}

TEST_F(PresenterTest, TheThreeActionsReachTheBatchThroughTheWindow) {
  presenter_.Load();
  window_.sourceAnswer = "/v/a.avi";
  presenter_.ReleaseButton(kActionAdd);
  EXPECT_EQ(Queued(), std::vector<std::string>{"/v/a.avi"});
  EXPECT_FALSE(window_.hint);
  presenter_.ReleaseButton(kActionRemove);
  EXPECT_TRUE(Queued().empty());
  EXPECT_TRUE(window_.hint);
  presenter_.ReleaseButton(kActionStart);
  ASSERT_EQ(window_.messages.size(), 1u);
  EXPECT_EQ(window_.messages[0].text, "Please Add a file");
  EXPECT_TRUE(window_.actionsEnabled);
}

// No way in passes the queue's limit: a drop, a launch (held or not) or Add that would is refused
// whole with the same box, and the list stays as it was.
TEST_F(PresenterTest, NoWayInPassesTheQueueLimit) {
  presenter_.Load();
  presenter_.DropFiles(std::vector<std::string>(kQueueLimit - 2, "/v/a.avi"));
  ASSERT_EQ(Queued().size(), kQueueLimit - 2);
  presenter_.DropFiles({"/v/b", "/v/c", "/v/d"});
  EXPECT_FALSE(presenter_.TakeLaunch({"/v/b", "/v/c", "/v/d"}));
  {
    const LaunchInbox::Busy busy(presenter_.Inbox());
    EXPECT_TRUE(presenter_.TakeLaunch({"/v/held"}));
    EXPECT_FALSE(presenter_.TakeLaunch({"/v/b", "/v/c"}));
  }
  EXPECT_EQ(Queued().size(), kQueueLimit - 1);
  EXPECT_TRUE(presenter_.TakeLaunch({"/v/last"}));
  EXPECT_EQ(Queued().size(), kQueueLimit);
  EXPECT_EQ(Queued().back(), "/v/last");
  window_.sourceAnswer = "/v/added.avi";
  presenter_.ReleaseButton(kActionAdd);
  EXPECT_EQ(Queued().size(), kQueueLimit);
  ASSERT_EQ(window_.messages.size(), 4u);
  for (const Message& message : window_.messages) {
    EXPECT_EQ(message.title, "Add");
    EXPECT_EQ(message.text, "The list is full (100000 files).");
    EXPECT_EQ(message.icon, MessageIcon::Exclamation);
  }
}

// Drops are refused during a batch; launches and box texts wait for its end. Twenty-one refused
// files end it with a box whose details name them all.
TEST_F(PresenterTest, DuringABatchOnlyTheEndOfItLetsFilesAndTextsIn) {
  presenter_.Load();
  std::vector<std::string> queued;
  for (int i = 0; i <= BatchController::kFailuresShown; ++i)
    queued.push_back("/v/quote\"" + std::to_string(i));
  presenter_.DropFiles(queued);
  window_.settings.outputFolder = folder_.Utf8("output");
  window_.duringBatch = [&] {
    EXPECT_FALSE(window_.actionsEnabled);
    presenter_.DropFiles({"/v/dropped.avi"});
    presenter_.TakeLaunch({"/v/launched.avi"});
    presenter_.OfferCommandBoxText("c1");
  };
  presenter_.ReleaseButton(kActionStart);
  EXPECT_TRUE(window_.actionsEnabled);
  EXPECT_EQ(window_.label, "Done, 21 failed.");
  ASSERT_EQ(window_.messages.size(), 1u);
  EXPECT_EQ(window_.messages[0].title, "Convert");
  EXPECT_NE(window_.messages[0].details.find("/v/quote\"20"), std::string::npos);
  EXPECT_EQ(window_.messages[0].text.find("/v/quote\"20"), std::string::npos);
  // The launch joined after the batch, then the box's Remove took the selected row: it.
  EXPECT_TRUE(Queued().empty());
  EXPECT_EQ(window_.boxText, "c1");

  // A runner that cannot start says why once and gives the window back with the queue kept.
  window_.messages.clear();
  window_.duringBatch = nullptr;
  presenter_.DropFiles({"/v/a.avi"});
  presenter_.ReleaseButton(kActionStart);
  EXPECT_EQ(window_.messages.size(), 1u);
  EXPECT_EQ(Queued(), std::vector<std::string>{"/v/a.avi"});
  EXPECT_TRUE(window_.actionsEnabled);
}

TEST_F(PresenterTest, BrowseSetsTheFolderOrKeepsItOnCancel) {
  WindowHooks hooks;
  presenter_.ConnectHooks(hooks);
  window_.settings.outputFolder = "/home/me/out";
  hooks.onBrowse();
  EXPECT_EQ(window_.folderAskedFrom, "/home/me/out");
  EXPECT_EQ(window_.settings.outputFolder, "/home/me/out");
  window_.folderAnswer = "D:\\";
  presenter_.Browse();
  EXPECT_EQ(window_.settings.outputFolder, "D:\\");
}

TEST_F(PresenterTest, ExitSavesThenUnloadsAndUnloadHappensOnce) {
  presenter_.Load();
  const TemporaryFiles files = presenter_.TemporaryFilesToDelete();
  ASSERT_FALSE(files.Empty());
  testing_support::WriteFile(files.video, "left over");
  window_.settings = testing_support::Stored(
      {{Picker::VideoBitrate, 4}, {Picker::FrameSize, 3}, {Picker::FrameRate, 2}, {Picker::AudioBitrate, 6}},
      "/srv/out, new");
  WindowHooks hooks;
  presenter_.ConnectHooks(hooks);
  hooks.onExit();
  hooks.onUnload();
  presenter_.Unload();
  EXPECT_EQ(window_.ended, std::vector<int>{0});
  EXPECT_FALSE(std::filesystem::exists(files.video));
  EXPECT_EQ(testing_support::ReadFile(folder_.Path() / "setup.ini"),
            "\"4\"\r\n\"3\"\r\n\"2\"\r\n\"6\"\r\n\"/srv/out, new\"\r\n");
}

// A window's main() as start-up sees it: each step it is asked for, in order.
class FakeStartup : public StartupHooks {
 public:
  explicit FakeStartup(Presenter& presenter) : presenter_(presenter) {}
  HandOffResult HandToRunningWindow(const AppPaths&, const std::vector<std::string>& files) override {
    steps.push_back("hand " + std::to_string(files.size()));
    const HandOff outcome = handOffs.empty() ? HandOff::NoWindow : handOffs.front();
    if (!handOffs.empty()) handOffs.erase(handOffs.begin());
    return {outcome, {}};
  }
  Presenter* Load(AppPaths) override {
    steps.push_back("load");
    if (!loads) return nullptr;
    presenter_.Load();
    return &presenter_;
  }
  LaunchChannel OpenLaunchChannel() override {
    steps.push_back("channel");
    return channel;
  }
  void Show() override { steps.push_back("show"); }
  void OpenCommandBox() override { steps.push_back("box"); }
  int Run() override {
    steps.push_back("run");
    return 7;
  }

  std::vector<HandOff> handOffs;
  bool loads = true;
  LaunchChannel channel = LaunchChannel::Open;
  std::vector<std::string> steps;

 private:
  Presenter& presenter_;
};

TEST_F(PresenterTest, StartWindowLoadsShowsThenTakesTheFilesAsALaunch) {
  FakeStartup startup(presenter_);
  EXPECT_EQ(StartWindow(startup, {"/v/a.avi", "/v/b.mp4"}), 7);
  EXPECT_EQ(startup.steps, (std::vector<std::string>{"hand 2", "load", "channel", "show", "box", "run"}));
  EXPECT_EQ(Queued(), (std::vector<std::string>{"/v/a.avi", "/v/b.mp4"}));
  // A window that could not open its channel still comes up.
  FakeStartup alone(presenter_);
  alone.channel = LaunchChannel::Unavailable;
  EXPECT_EQ(StartWindow(alone, {}), 7);
  EXPECT_EQ(alone.steps.back(), "run");
}

TEST_F(PresenterTest, StartWindowEndsWhereARunningWindowTookTheFiles) {
  FakeStartup taken(presenter_);
  taken.handOffs = {HandOff::Taken};
  EXPECT_EQ(StartWindow(taken, {"/v/a.avi"}), 0);
  EXPECT_EQ(taken.steps, std::vector<std::string>{"hand 1"});
  FakeStartup failed(presenter_);
  failed.handOffs = {HandOff::Failed};
  EXPECT_EQ(StartWindow(failed, {"/v/a.avi"}), 1);
  FakeStartup broken(presenter_);
  broken.loads = false;
  EXPECT_EQ(StartWindow(broken, {"/v/a.avi"}), 1);
  EXPECT_EQ(broken.steps, (std::vector<std::string>{"hand 1", "load"}));
  // Two launches at once: the one that lost the channel hands its files to the other.
  FakeStartup second(presenter_);
  second.channel = LaunchChannel::AnotherWindow;
  second.handOffs = {HandOff::NoWindow, HandOff::Taken};
  EXPECT_EQ(StartWindow(second, {"/v/a.avi"}), 0);
  EXPECT_EQ(second.steps, (std::vector<std::string>{"hand 1", "load", "channel", "hand 1"}));
  EXPECT_TRUE(presenter_.Queue().Empty());
}

}  // namespace
}  // namespace vintrel::face
