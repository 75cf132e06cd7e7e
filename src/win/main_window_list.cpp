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

int TextWidth(HDC dc, const std::wstring& text) {
  SIZE size{};
  if (!GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size)) return 0;
  return size.cx;
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
}

void MainWindow::RowAppended(std::size_t row, const vintrel::QueueEntry& entry) {
  if (row > rowPaths_.size()) return;
  std::wstring tag = vintrel::WideForDisplay(entry.typeTag);
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = static_cast<int>(row);
  item.pszText = const_cast<wchar_t*>(L"");
  const int index = ListView_InsertItem(LV_, &item);
  if (index < 0) return;
  rowPaths_.insert(rowPaths_.begin() + index, entry.path);
  ListView_SetItemText(LV_, index, 1, tag.data());
  SetRowName(index);
  FitList();
}

void MainWindow::RowRemoved(std::size_t row) {
  if (row >= rowPaths_.size()) return;
  rowPaths_.erase(rowPaths_.begin() + static_cast<std::ptrdiff_t>(row));
  ListView_DeleteItem(LV_, static_cast<int>(row));
  FitList();
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
  if (row < 0 || static_cast<std::size_t>(row) >= rowPaths_.size()) return;
  const std::wstring path = vintrel::WideForDisplay(rowPaths_[static_cast<std::size_t>(row)]);
  std::wstring shown = path;
  const HDC dc = GetDC(LV_);
  if (dc != nullptr) {
    const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(LV_, WM_GETFONT, 0, 0)));
    // The list's own margins around a cell's text.
    const int margin = face::TwipsToPixels(12 * 15, scale_);
    shown = face::ElideMiddle(path, ListView_GetColumnWidth(LV_, 0) - margin,
                              [dc](const std::wstring& text) { return TextWidth(dc, text); });
    SelectObject(dc, old);
    ReleaseDC(LV_, dc);
  }
  ListView_SetItemText(LV_, row, 0, shown.data());
}
