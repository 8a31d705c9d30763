#pragma once

#include <windows.h>

#include <string>

namespace tonvela::win32 {

// The face the window's texts are drawn in: the design's Song face ("宋体", SimSun) where it is
// installed, else Microsoft YaHei (on every Windows since Vista), else the system's message font.
std::wstring chineseFaceName(HDC dc, UINT dpi);

// Owns one GDI font.
class Font {
 public:
  Font() = default;
  Font(const std::wstring& face, int pixelHeight, int weight);
  ~Font() { reset(); }
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;
  Font& operator=(Font&& other) noexcept;
  HFONT get() const { return font_; }

 private:
  void reset();
  HFONT font_ = nullptr;
};

}  // namespace tonvela::win32
