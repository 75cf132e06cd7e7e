#pragma once

#include <QPixmap>
#include <QPoint>
#include <QPointer>
#include <QRgb>
#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>

#include "app/command_box.h"
#include "app/settings.h"
#include "face/button_looks.h"
#include "face/face_access.h"
#include "face/face_layout.h"
#include "face/window_port.h"
#include "intake/file_queue.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QTimer;
class QTreeView;
class FileDropFilter;
class QueueListModel;
class SkinImage;

// The one window: a borderless skin with image buttons, the queue list, four pickers, the output
// folder and the progress bar. It shows and collects; the application wiring decides what the
// actions do through the hooks below.
class frmMain : public QWidget, public vintrel::face::WindowHooks {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = vintrel::face::kClientWidth;
  static constexpr int kClientHeight = vintrel::face::kClientHeight;
  static constexpr double kFullBarTwips = vintrel::face::kFullBarTwips;

  explicit frmMain(QWidget* parent = nullptr);
  ~frmMain() override;

  // Visible controls.
  SkinImage* imgButton(int index) const;  // by vintrel::ActionIndex; nullptr for other indexes
  QLabel* lblVersion() const { return lblVersion_; }
  SkinImage* imgMin() const { return imgMin_; }
  SkinImage* imgExit() const { return imgExit_; }
  QTreeView* LV() const { return LV_; }
  QWidget* picDragText() const { return picDragText_; }
  QLabel* Label1() const { return Label1_; }
  // A picker's combo box, and the arrow picture that covers the combo box's own arrow.
  QComboBox* Combo(vintrel::Picker picker) const { return combos_[vintrel::Index(picker)]; }
  SkinImage* Arrow(vintrel::Picker picker) const { return arrows_[vintrel::Index(picker)]; }
  QComboBox* cmbVBR() const { return Combo(vintrel::Picker::VideoBitrate); }
  QComboBox* cmbSize() const { return Combo(vintrel::Picker::FrameSize); }
  QComboBox* cmbFPS() const { return Combo(vintrel::Picker::FrameRate); }
  QComboBox* cmbAB() const { return Combo(vintrel::Picker::AudioBitrate); }
  SkinImage* picVBR() const { return Arrow(vintrel::Picker::VideoBitrate); }
  SkinImage* picSize() const { return Arrow(vintrel::Picker::FrameSize); }
  SkinImage* picFPS() const { return Arrow(vintrel::Picker::FrameRate); }
  SkinImage* picAB() const { return Arrow(vintrel::Picker::AudioBitrate); }
  QLineEdit* txtPath() const { return txtPath_; }
  SkinImage* imgBrowse() const { return imgBrowse_; }
  SkinImage* imgPB() const { return imgPB_; }
  QLabel* lblPB() const { return lblPB_; }

  // LV shows the presenter's queue (lstFile) as it reports each change.
  void RowAppended(std::size_t row, const vintrel::QueueEntry& entry);
  void RowRemoved(std::size_t row);

  // Hidden stores.
  QLineEdit* menuMsg() const { return menuMsg_; }
  // Kept for compatibility: a timer of 500 ms that is never started and has no handler.
  QTimer* Timer1() const { return Timer1_; }
  const QPixmap& imgButtonData(int index) const { return imgButtonData_.at(static_cast<std::size_t>(index)); }
  const QPixmap& imgButtonPush(int index) const { return imgButtonPush_.at(static_cast<std::size_t>(index)); }
  const QPixmap& imgButtonNormal() const { return imgButtonNormal_; }
  const QPixmap& imgButtonMove() const { return imgButtonMove_; }
  const QPixmap& imgButtonPush1() const { return imgButtonPush1_; }
  const QPixmap& imgBrowseNormal() const { return imgBrowseNormal_; }
  const QPixmap& imgBrowseMove() const { return imgBrowseMove_; }
  const QPixmap& imgBrowsePush() const { return imgBrowsePush_; }
  QRgb maskColor() const { return maskColor_; }

  // The buttons' looks; ApplyLooks shows them. The command box sets fromCommandBox just before
  // calling imgButton_MouseUp.
  vintrel::face::ButtonLooks& Looks() { return looks_; }
  void ApplyLooks();
  bool fromCommandBox() const { return looks_.fromCommandBox(); }
  void setFromCommandBox(bool value) { looks_.SetFromCommandBox(value); }
  bool buttonHeld() const { return looks_.buttonHeld(); }

  // Image-button handlers; none of them looks at the button, modifiers or position.
  void imgButton_MouseDown(int index, Qt::MouseButtons button, Qt::KeyboardModifiers shift, int x, int y);
  void imgButton_MouseMove(int index, Qt::MouseButtons button, Qt::KeyboardModifiers shift, int x, int y);
  void imgButton_MouseUp(int index, Qt::MouseButtons button = Qt::NoButton,
                         Qt::KeyboardModifiers shift = Qt::NoModifier, int x = 1, int y = 1);
  // The pointer crossed the bare window: every image button back to its normal look.
  void Form_MouseMove();
  void ClearActionButtons();
  void imgBrowse_Click();
  // The folder dialog, from the output path's folder when it exists; empty when cancelled.
  QString ChooseFolder();
  void imgMin_Click();
  void imgExit_Click();
  // A click on a picker's arrow: its list drops down.
  void OpenPicker(vintrel::Picker picker);

  // Start-up step 1: the window's outline from the skin's key colour. Safe to call again.
  void ApplyWindowStyle();

  // What setup.ini keeps: the pickers' indexes and the output folder's text.
  vintrel::StoredSettings Settings() const;
  void SetSettings(const vintrel::StoredSettings& settings);

  // What a batch shows.
  // imgButton 0-2, LV and imgBrowse, in that order.
  void SetActionsEnabled(bool enabled);
  void SetProgressLabel(const QString& text);
  // 0 (nothing done) to 3960 twips (finished); fractions allowed, outside values clamped.
  void SetProgressBar(double twips);
  double ProgressBarTwips() const { return barTwips_; }
  void SetDropHintVisible(bool visible);
  // The selected LV row, 0-based, or -1 when none is selected.
  int SelectedRow() const;

  // Held around a dialog or message box: the window gets the keyboard back afterwards, on the
  // control that had it, whether or not a window manager gives it back.
  class KeepFocus {
   public:
    explicit KeepFocus(frmMain& frm);
    ~KeepFocus();
    KeepFocus(const KeepFocus&) = delete;
    KeepFocus& operator=(const KeepFocus&) = delete;

   private:
    QPointer<frmMain> frm_;
    QPointer<QWidget> focus_;
  };

  // The widget a keyboard reaches as `control`, and what a key press on it does.
  QWidget* ControlWidget(vintrel::face::Control control) const;
  void PressControl(vintrel::face::Control control);

  // Hooks the application wiring fills in besides the WindowHooks (without onExit the window
  // closes).
  // Files dropped on LV, picDragText or Label1, in the dropped order.
  std::function<void(const QStringList&)> onFilesDropped;
  // The folder dialog: returns the chosen folder, or an empty text when cancelled.
  std::function<QString(QWidget* parent, const QString& title, const QString& start)> folderDialog;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void CreateImages();
  void CreateLists();
  void CreatePickers();
  void CreateStores();
  void ConnectButtons();
  void ConnectLooks(SkinImage* image, int smallImage);
  SkinImage* SmallImage(int index) const;
  // Names, roles and descriptions for screen readers, the Tab order, the keys.
  void CreateAccess();
  bool HandleKey(QObject* watched, QKeyEvent* event);
  // The drag of the bare body or the version label.
  void StartDrag(const QPointF& globalPos);
  bool DragTo(const QPointF& globalPos);
  void EndDrag();

  std::array<SkinImage*, vintrel::kActionCount> imgButton_{};
  QLabel* lblVersion_ = nullptr;
  SkinImage* imgMin_ = nullptr;
  SkinImage* imgExit_ = nullptr;
  QTreeView* LV_ = nullptr;
  QWidget* picDragText_ = nullptr;
  QLabel* Label1_ = nullptr;
  std::array<QComboBox*, vintrel::kPickerCount> combos_{};
  std::array<SkinImage*, vintrel::kPickerCount> arrows_{};
  QLineEdit* txtPath_ = nullptr;
  SkinImage* imgBrowse_ = nullptr;
  SkinImage* imgPB_ = nullptr;
  QLabel* lblPB_ = nullptr;
  QLineEdit* menuMsg_ = nullptr;
  QTimer* Timer1_ = nullptr;

  QueueListModel* queueModel_ = nullptr;
  FileDropFilter* dropFilter_ = nullptr;

  QPixmap skin_;
  std::array<QPixmap, vintrel::kActionCount> imgButtonData_;
  std::array<QPixmap, vintrel::kActionCount> imgButtonPush_;
  QPixmap imgButtonNormal_, imgButtonMove_, imgButtonPush1_;
  QPixmap imgBrowseNormal_, imgBrowseMove_, imgBrowsePush_;

  QRgb maskColor_ = qRgb(255, 0, 255);
  vintrel::face::ButtonLooks looks_;
  double barTwips_ = 0.0;
  // Where the keyboard was when a batch disabled it; it goes back there afterwards.
  vintrel::face::FocusBeforeBatch<QPointer<QWidget>> focusBeforeBatch_;
  bool placed_ = false;
  bool dragging_ = false;
  QPoint dragOffset_;
};
