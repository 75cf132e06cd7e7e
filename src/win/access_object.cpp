// A screen reader asks a window for its client object with WM_GETOBJECT and, unanswered, builds
// the system's standard one from the window's class. That one names a drop-down list by its value
// and an owner-drawn button by its text but knows neither the tool tip nor, in every system, the
// role; this object answers those from the face and hands everything else to the standard one.
#include "access_object.h"

// After windows.h, which they need.
#include <commctrl.h>
#include <ole2.h>
#include <oleacc.h>

#include <atomic>
#include <memory>

namespace {

bool IsSelf(const VARIANT& child) {
  return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

HRESULT Text(const std::wstring& text, BSTR* out) {
  *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

class AccessObject final : public IAccessible, public IOleWindow {
 public:
  AccessObject(HWND window, IAccessible* standard, AccessFacts facts)
      : window_(window), standard_(standard), facts_(std::move(facts)) {}
  ~AccessObject() { standard_->Release(); }
  AccessObject(const AccessObject&) = delete;
  AccessObject& operator=(const AccessObject&) = delete;

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAccessible)) {
      *out = static_cast<IAccessible*>(this);
    } else if (iid == __uuidof(IOleWindow)) {
      *out = static_cast<IOleWindow*>(this);
    } else {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --refs_;
    if (left == 0) std::unique_ptr<AccessObject> last(this);
    return left;
  }

  // IOleWindow: which window a reader's object belongs to.
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* out) override {
    if (out == nullptr) return E_POINTER;
    *out = window_;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

  // IDispatch: late binding would reach the standard object's answers, not these.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }

  // IAccessible: the facts for the window itself, the standard object for the rest.
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* out) override {
    if (IsSelf(child) && !facts_.name.empty()) return Text(facts_.name, out);
    return standard_->get_accName(child, out);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* out) override {
    if (!IsSelf(child) || facts_.role == 0) return standard_->get_accRole(child, out);
    VariantInit(out);
    out->vt = VT_I4;
    out->lVal = facts_.role;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* out) override {
    if (IsSelf(child) && !facts_.description.empty()) return Text(facts_.description, out);
    return standard_->get_accDescription(child, out);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* out) override {
    if (IsSelf(child) && facts_.percent) {
      const LRESULT position = SendMessageW(window_, PBM_GETPOS, 0, 0);
      return Text(std::to_wstring(position) + L"%", out);
    }
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    const HRESULT got = standard_->get_accValue(child, out);
    if (!IsSelf(child) || !facts_.textIsValue || (SUCCEEDED(got) && *out != nullptr)) return got;
    // Wine's object for a drop-down gives its choice only as the name.
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window_)) + 1, L'\0');
    text.resize(
        static_cast<std::size_t>(GetWindowTextW(window_, text.data(), static_cast<int>(text.size()))));
    return Text(text, out);
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* out) override {
    if (IsSelf(child) && facts_.press) return Text(L"Press", out);
    return standard_->get_accDefaultAction(child, out);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    if (!IsSelf(child) || !facts_.press) return standard_->accDoDefaultAction(child);
    if (!IsWindowEnabled(window_)) return E_FAIL;
    // Posted: the reader's call returns before the press opens a dialog or runs a batch.
    return PostMessageW(window_, BM_CLICK, 0, 0) ? S_OK : E_FAIL;
  }

  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** out) override { return standard_->get_accParent(out); }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* out) override {
    return standard_->get_accChildCount(out);
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
    return standard_->get_accChild(child, out);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* out) override {
    return standard_->get_accState(child, out);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* out) override {
    return standard_->get_accHelp(child, out);
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
    return standard_->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* out) override {
    return standard_->get_accKeyboardShortcut(child, out);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* out) override { return standard_->get_accFocus(out); }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* out) override {
    return standard_->get_accSelection(out);
  }
  HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
    return standard_->accSelect(flags, child);
  }
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                        VARIANT child) override {
    return standard_->accLocation(left, top, width, height, child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* out) override {
    return standard_->accNavigate(direction, start, out);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* out) override {
    return standard_->accHitTest(x, y, out);
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
    return standard_->put_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    return standard_->put_accValue(child, value);
  }

 private:
  std::atomic<ULONG> refs_{1};
  HWND window_;
  IAccessible* standard_;
  AccessFacts facts_;
};

}  // namespace

LRESULT AnswerAccessRequest(HWND window, WPARAM wParam, LPARAM lParam, const AccessFacts& facts) {
  // The object id travels as a DWORD; compared as the signed constant it is.
  if (static_cast<LONG>(static_cast<DWORD>(lParam)) != OBJID_CLIENT) return 0;
  IAccessible* standard = nullptr;
  if (FAILED(CreateStdAccessibleObject(window, OBJID_CLIENT, __uuidof(IAccessible),
                                       reinterpret_cast<void**>(&standard))) ||
      standard == nullptr) {
    return 0;
  }
  auto object = std::make_unique<AccessObject>(window, standard, facts);
  const LRESULT answer =
      LresultFromObject(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(object.get()));
  // The marshalled reference keeps it alive; ours goes.
  object.release()->Release();
  return answer > 0 ? answer : 0;
}
