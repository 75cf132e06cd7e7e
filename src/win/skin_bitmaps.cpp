#include "skin_bitmaps.h"

#include <array>
#include <cmath>
#include <string_view>

namespace {

constexpr std::array<std::string_view, 14> kNames{
    "skin",           "progress",      "arrow_normal",  "arrow_hover",    "arrow_push",
    "browse_normal",  "browse_hover",  "browse_push",   "button_hover_0", "button_hover_1",
    "button_hover_2", "button_push_0", "button_push_1", "button_push_2"};

std::wstring ResourceName(std::string_view name, bool dense) {
  std::wstring wide;
  for (char c : name) wide += static_cast<wchar_t>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  return dense ? wide + L"_2X" : wide;
}

}  // namespace

void SkinBitmaps::Load(HINSTANCE instance, double scale) {
  scale_ = scale;
  pictures_.clear();
  const bool dense = scale >= 1.5;
  for (std::string_view name : kNames) {
    HBITMAP bitmap = nullptr;
    double density = 1.0;
    if (dense) {
      bitmap = static_cast<HBITMAP>(
          LoadImageW(instance, ResourceName(name, true).c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
      density = 2.0;
    }
    if (bitmap == nullptr) {
      bitmap = static_cast<HBITMAP>(
          LoadImageW(instance, ResourceName(name, false).c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
      density = 1.0;
    }
    if (bitmap == nullptr) continue;
    BITMAP info{};
    if (GetObjectW(bitmap, sizeof(info), &info) == 0) {
      DeleteObject(bitmap);
      continue;
    }
    Picture& picture = pictures_[std::string(name)];
    picture.bitmap.reset(bitmap);
    picture.width = info.bmWidth;
    picture.height = info.bmHeight;
    picture.density = density;
  }
}

void SkinBitmaps::Draw(HDC dc, const std::string& name, const RECT& place, bool stretch) const {
  const auto found = pictures_.find(name);
  if (found == pictures_.end()) return;
  const Picture& picture = found->second;
  const HDC source = CreateCompatibleDC(dc);
  if (source == nullptr) return;
  const HGDIOBJ old = SelectObject(source, picture.bitmap.get());
  int width = static_cast<int>(std::lround(picture.width * scale_ / picture.density));
  int height = static_cast<int>(std::lround(picture.height * scale_ / picture.density));
  if (stretch) {
    width = place.right - place.left;
    height = place.bottom - place.top;
  }
  // Never blended: the key colour must stay exactly magenta, or the outline would fray.
  SetStretchBltMode(dc, COLORONCOLOR);
  if (width == picture.width && height == picture.height) {
    BitBlt(dc, place.left, place.top, width, height, source, 0, 0, SRCCOPY);
  } else if (width > 0 && height > 0) {
    StretchBlt(dc, place.left, place.top, width, height, source, 0, 0, picture.width, picture.height,
               SRCCOPY);
  }
  SelectObject(source, old);
  DeleteDC(source);
}
