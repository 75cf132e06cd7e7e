#include <windows.h>

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QLineEdit>
#include <QWidget>
#include <memory>

#include "app/command_box_client.h"
#include "command_box_server.h"

// The box other programs see: a real EDIT control, hidden, whose EN_CHANGE reaches the window.
struct CommandBoxServer::Native : QAbstractNativeEventFilter {
  explicit Native(CommandBoxServer& owner) : owner(owner) {}
  ~Native() override {
    if (QCoreApplication* app = QCoreApplication::instance()) app->removeNativeEventFilter(this);
    if (edit != nullptr) DestroyWindow(edit);
  }

  bool nativeEventFilter(const QByteArray&, void* message, qintptr*) override {
    const MSG* msg = static_cast<const MSG*>(message);
    if (edit == nullptr || msg->message != WM_COMMAND || HIWORD(msg->wParam) != EN_CHANGE ||
        reinterpret_cast<HWND>(msg->lParam) != edit) {
      return false;
    }
    const int length = GetWindowTextLengthW(edit);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(edit, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    owner.Receive(QString::fromStdWString(text));
    return false;
  }

  CommandBoxServer& owner;
  HWND edit = nullptr;
};

CommandBoxServer::CommandBoxServer(QLineEdit* menuMsg, QWidget* window, QObject* parent)
    : QObject(parent), native_(std::make_unique<Native>(*this)), menuMsg_(menuMsg), window_(window) {}

CommandBoxServer::~CommandBoxServer() = default;

bool CommandBoxServer::Listen(const std::string&) {
  if (!window_) return false;
  const HWND parent = reinterpret_cast<HWND>(window_->winId());
  native_->edit =
      CreateWindowExW(0, L"EDIT", L"b0", WS_CHILD | ES_AUTOHSCROLL, -1000, -1000, 40, 20, parent,
                      reinterpret_cast<HMENU>(static_cast<INT_PTR>(vintrel::kCommandBoxControlId)),
                      GetModuleHandleW(nullptr), nullptr);
  if (native_->edit == nullptr) {
    error_ = QStringLiteral("cannot create the command box: error %1").arg(GetLastError());
    return false;
  }
  QCoreApplication::instance()->installNativeEventFilter(native_.get());
  return true;
}
