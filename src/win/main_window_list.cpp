// The list view of the queue: the described column widths, except that the name column gives
// way to the vertical scroll bar so no horizontal one shows; paths elided in the middle so the
// file's name stays in sight, as in the Qt window.
#include <windows.h>
// After windows.h, which they need.
#include <commctrl.h>

#include <algorithm>

#include "base/wide_text_win32.h"
#include "main_window.h"

namespace face = vintrel::face;

namespace {

constexpr wchar_t kEllipsis[] = L"\u2026";

int TextWidth(HDC dc, const std::wstring& text) {
  SIZE size{};
  if (!GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size)) return 0;
  return size.cx;
}

// The text cut in the middle to fit `width`: the folders give way first, then the name's middle.
std::wstring ElideMiddle(HDC dc, const std::wstring& text, int width) {
  if (TextWidth(dc, text) <= width) return text;
  const std::size_t cut = text.find_last_of(L"\\/");
  const std::wstring name = cut == std::wstring::npos ? text : text.substr(cut);
  // The longest start of the path that fits before the name.
  std::size_t low = 0, high = text.size() - name.size();
  if (TextWidth(dc, kEllipsis + name) <= width) {
    while (low < high) {
      const std::size_t mid = (low + high + 1) / 2;
      if (TextWidth(dc, text.substr(0, mid) + kEllipsis + name) <= width) {
        low = mid;
      } else {
        high = mid - 1;
      }
    }
    return text.substr(0, low) + kEllipsis + name;
  }
  // Even the name is too long: as much of both of its ends as fits.
  low = 0;
  high = text.size() / 2;
  while (low < high) {
    const std::size_t mid = (low + high + 1) / 2;
    if (TextWidth(dc, text.substr(0, mid) + kEllipsis + text.substr(text.size() - mid)) <= width) {
      low = mid;
    } else {
      high = mid - 1;
    }
  }
  return text.substr(0, low) + kEllipsis + text.substr(text.size() - low);
}

}  // namespace

void MainWindow::CreateList() {
  ListView_SetExtendedListViewStyle(LV_, LVS_EX_FULLROWSELECT);
  for (int column = 0; column < 2; ++column) {
    // The header is never shown; its texts name the columns to screen readers.
    std::wstring name = vintrel::WideForDisplay(face::kColumnNames[static_cast<std::size_t>(column)]);
    LVCOLUMNW spec{};
    spec.mask = LVCF_WIDTH | LVCF_TEXT;
    spec.pszText = name.data();
    ListView_InsertColumn(LV_, column, &spec);
  }
  lstFile_.onAppended = [this](std::size_t row) {
    std::wstring tag = vintrel::WideForDisplay(lstFile_.At(row).typeTag);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(row);
    item.pszText = const_cast<wchar_t*>(L"");
    const int index = ListView_InsertItem(LV_, &item);
    if (index < 0) return;
    ListView_SetItemText(LV_, index, 1, tag.data());
    SetRowName(index);
    FitList();
  };
  lstFile_.onRemoved = [this](std::size_t row) {
    ListView_DeleteItem(LV_, static_cast<int>(row));
    FitList();
  };
}

void MainWindow::FitList(bool always) {
  const int nameWidth = face::TwipsToPixels(face::kFilenameColumnPixels * 15, scale_);
  const int rows = ListView_GetItemCount(LV_);
  const int bar = rows > ListView_GetCountPerPage(LV_) ? GetSystemMetrics(SM_CXVSCROLL) : 0;
  const int width = std::max(0, nameWidth - bar);
  if (!always && ListView_GetColumnWidth(LV_, 0) == width) return;
  ListView_SetColumnWidth(LV_, 0, width);
  ListView_SetColumnWidth(LV_, 1, face::TwipsToPixels(face::kTypeColumnPixels * 15, scale_));
  for (int row = 0; row < rows; ++row) SetRowName(row);
}

void MainWindow::SetRowName(int row) {
  if (row < 0 || static_cast<std::size_t>(row) >= lstFile_.Count()) return;
  const std::wstring path = vintrel::WideForDisplay(lstFile_.At(static_cast<std::size_t>(row)).path);
  std::wstring shown = path;
  const HDC dc = GetDC(LV_);
  if (dc != nullptr) {
    const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(LV_, WM_GETFONT, 0, 0)));
    // The list's own margins around a cell's text.
    const int margin = face::TwipsToPixels(12 * 15, scale_);
    shown = ElideMiddle(dc, path, ListView_GetColumnWidth(LV_, 0) - margin);
    SelectObject(dc, old);
    ReleaseDC(LV_, dc);
  }
  ListView_SetItemText(LV_, row, 0, shown.data());
}
