#include "window/win32/win32_fonts.h"

#include <utility>

namespace tonvela::win32 {
namespace {

int CALLBACK noteFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;
}

bool faceInstalled(HDC dc, const wchar_t* face) {
  LOGFONTW wanted{};
  wanted.lfCharSet = DEFAULT_CHARSET;
  lstrcpynW(wanted.lfFaceName, face, LF_FACESIZE);
  bool found = false;
  EnumFontFamiliesExW(dc, &wanted, noteFound, reinterpret_cast<LPARAM>(&found), 0);
  return found;
}

std::wstring messageFontFace(UINT dpi) {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  using ForDpi = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
  // SystemParametersInfoForDpi exists from Windows 10 1607 on; older systems have the plain one.
  auto forDpi = reinterpret_cast<ForDpi>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"user32.dll"), "SystemParametersInfoForDpi")));
  BOOL ok = forDpi ? forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)
                   : SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  return ok ? std::wstring(metrics.lfMessageFont.lfFaceName) : std::wstring(L"MS Shell Dlg 2");
}

}  // namespace

std::wstring chineseFaceName(HDC dc, UINT dpi, const std::wstring& designFace) {
  for (const wchar_t* face : {designFace.c_str(), L"SimSun", L"Microsoft YaHei"}) {
    if (faceInstalled(dc, face)) {
      return face;
    }
  }
  return messageFontFace(dpi);
}

Font::Font(const std::wstring& face, int pixelHeight, int weight) {
  LOGFONTW font{};
  font.lfHeight = pixelHeight;
  font.lfWeight = weight;
  font.lfCharSet = GB2312_CHARSET;
  font.lfOutPrecision = OUT_TT_PRECIS;
  font.lfQuality = CLEARTYPE_QUALITY;
  lstrcpynW(font.lfFaceName, face.c_str(), LF_FACESIZE);
  font_ = CreateFontIndirectW(&font);
}

Font& Font::operator=(Font&& other) noexcept {
  if (this != &other) {
    reset();
    font_ = std::exchange(other.font_, nullptr);
  }
  return *this;
}

void Font::reset() {
  if (font_ != nullptr) {
    DeleteObject(font_);
    font_ = nullptr;
  }
}

}  // namespace tonvela::win32
