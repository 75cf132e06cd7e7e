#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>

// The skin's pictures, from the program's own bitmap resources ("skin", "arrow_hover", ...):
// the double-size drawing on dense screens, drawn at the scaled size of their place.
class SkinBitmaps {
 public:
  void Load(HINSTANCE instance, double scale);
  // Draws the picture into `place` (client pixels); stretched to it when `stretch`, otherwise at
  // its own size scaled. A missing picture draws nothing.
  void Draw(HDC dc, const std::string& name, const RECT& place, bool stretch) const;
  bool Has(const std::string& name) const { return pictures_.count(name) != 0; }

 private:
  struct BitmapDeleter {
    void operator()(HBITMAP bitmap) const { DeleteObject(bitmap); }
  };
  struct Picture {
    std::unique_ptr<std::remove_pointer_t<HBITMAP>, BitmapDeleter> bitmap;
    int width = 0;
    int height = 0;
    double density = 1.0;  // pixels of the picture per pixel at 96 dpi
  };
  std::map<std::string, Picture> pictures_;
  double scale_ = 1.0;
};
