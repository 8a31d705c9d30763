#pragma once

#include <windows.h>

#include <string>

namespace tonvela::win32 {

// The face the window's texts are drawn in: the design's face (the Song face "宋体", known to
// English Windows as SimSun) where it is installed, else Microsoft YaHei (on every Windows since
// Vista), else the system's message font.
std::wstring chineseFaceName(HDC dc, UINT dpi, const std::wstring& designFace);

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
