#include "face/presenter.h"

#include <utility>

#include "app/shutdown.h"
#include "engine/command_line.h"
#include "face/face_layout.h"

namespace vintrel::face {

Presenter::Presenter(WindowPort& window, AppPaths paths)
    : window_(window),
      paths_(std::move(paths)),
      gate_([this](const std::string& text) {
        window_.SetCommandBoxText(text);
        CommandBoxChanged(text);
      }),
      inbox_([this](const LaunchInbox::Files& files) { DropFiles(files); },
             [this] { return lstFile_.Room(); }) {
  lstFile_.onAppended = [this](std::size_t row) { window_.RowAppended(row, lstFile_.At(row)); };
  lstFile_.onRemoved = [this](std::size_t row) { window_.RowRemoved(row); };
}

Presenter::~Presenter() {
  *alive_ = false;
}

void Presenter::Load() {
  if (loaded_) return;
  loaded_ = true;
  startup_ = Form_Load(paths_, *this);
}

void Presenter::ReleaseButton(int index) {
  const CommandBoxGate::Busy busy(gate_);
  const LaunchInbox::Busy launching(inbox_);
  ButtonLooks& looks = window_.Looks();
  looks.ActionUp(index);
  window_.ShowLooks();
  const std::shared_ptr<bool> alive = alive_;
  if (!window_.PaintNow() || !*alive) return;
  window_.Looks().ReleaseSettled();
  RunAction(index);
}

void Presenter::ConnectHooks(WindowHooks& hooks) {
  hooks.onRelease = [this](int index) { ReleaseButton(index); };
  hooks.onBrowse = [this] { Browse(); };
  hooks.onExit = [this] { Exit(); };
  hooks.onUnload = [this] { Unload(); };
}

void Presenter::RunAction(int index) {
  if (onAction) {
    onAction(index);
  } else if (controller_) {
    controller_->RunAction(index);
  }
}

void Presenter::OfferCommandBoxText(std::string text) {
  gate_.Offer(std::move(text));
}

void Presenter::CommandBoxChanged(const std::string& text) {
  // A box that reports every setting of its text (a Win32 EDIT) counts only a change.
  if (!box_.Changed(text)) return;
  window_.Looks().SetFromCommandBox(true);
  if (const auto index = ActionFromCommandText(text)) ReleaseButton(*index);
}

void Presenter::DropFiles(const std::vector<std::string>& paths) {
  // The list refuses drops during a batch; the queue must not change under a run either way.
  if (!controller_ || controller_->Running()) return;
  if (paths.size() > lstFile_.Room()) {
    ShowQueueFull();
    return;
  }
  for (const std::string& path : paths) lstFile_.AddToQueue(path);
  if (!lstFile_.Empty()) window_.SetDropHintVisible(false);
}

bool Presenter::TakeLaunch(std::vector<std::string> files) {
  if (inbox_.Receive(std::move(files))) return true;
  ShowQueueFull();
  return false;
}

// A drop or a launch is taken whole or not at all, so the list never ends halfway through one.
void Presenter::ShowQueueFull() {
  window_.ShowMessage("Add", QueueFullText(), MessageIcon::Exclamation);
}

void Presenter::Browse() {
  const CommandBoxGate::Busy busy(gate_);
  const LaunchInbox::Busy launching(inbox_);
  const std::string chosen = window_.AskForFolder(OutputFolderText());
  // Cancel leaves the folder as it was.
  if (!chosen.empty()) SetOutputFolderText(chosen);
}

TemporaryFiles Presenter::TemporaryFilesToDelete() const {
  if (!startup_.workingFolderUsable) return {};
  return TemporaryFilesIn(paths_.workingFolder);
}

void Presenter::Exit() {
  // A failed save is not worth keeping the user: the previous file stays as it was.
  SaveSettings(paths_.settingsFile, window_.Settings());
  Unload();
}

void Presenter::Unload() {
  if (unloading_) return;
  unloading_ = true;
  DeleteTemporaryFiles(TemporaryFilesToDelete());
  window_.EndProcess(0);
}

void Presenter::ApplyWindowStyle() {
  window_.ApplyWindowStyle();
}

void Presenter::SetFromCommandBox(bool value) {
  window_.Looks().SetFromCommandBox(value);
}

void Presenter::CreateRunner() {
  objDOS_ = std::make_unique<DOSOutputs>(window_.Pump(), window_);
  controller_ = std::make_unique<BatchController>(lstFile_, *objDOS_, window_.Pump(),
                                                  BatchSeams{*this, window_, *this, reports_}, paths_);
}

void Presenter::SelectPickers(const StoredSettings& settings) {
  StoredSettings pickers = settings;
  pickers.outputFolder = window_.Settings().outputFolder;
  window_.SetSettings(pickers);
}

void Presenter::SetProgress(double fraction) {
  window_.SetProgressBar(fraction * kFullBarTwips);
}

std::string Presenter::OutputFolderText() {
  return window_.Settings().outputFolder;
}

void Presenter::SetOutputFolderText(const std::string& text) {
  StoredSettings settings = window_.Settings();
  settings.outputFolder = text;
  window_.SetSettings(settings);
}

void Presenter::SetVersionColour(Rgb colour) {
  versionColour_ = colour;
}

void Presenter::SetVersionCaption(const std::string& caption) {
  window_.SetVersion(caption, versionColour_);
}

void Presenter::SetActionsEnabled(bool enabled) {
  window_.SetActionsEnabled(enabled);
}

void Presenter::ClearStartButtonLook() {
  window_.Looks().ClearAction(kActionStart);
  window_.ShowLooks();
}

void Presenter::SetProgressLabel(const std::string& text) {
  window_.SetProgressLabel(text);
}

void Presenter::SetDropHintVisible(bool visible) {
  window_.SetDropHintVisible(visible);
}

ConversionSettings Presenter::ReadSettings() {
  return ConversionSettingsFor(window_.Settings());
}

int Presenter::SelectedRow() {
  return window_.SelectedRow();
}

}  // namespace vintrel::face
