#include "window/win32/form14021.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "platform/program_identity.h"
#include "platform/win_text.h"
#include "window/form_design.h"
#include "window/win32/dpi_scale.h"
#include "window/win32/window_text.h"

namespace tonvela::win32 {
namespace {

constexpr UINT_PTR kTimer1Id = 1;
constexpr int kLabelIdBase = 200;
constexpr int kBoxIdBase = 100;
constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kFormExStyle = WS_EX_CONTROLPARENT;

// Functions of Windows 10 1607 and later, looked up so the program still starts on older ones.
template <typename Function>
Function user32Function(const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

UINT dpiOf(HWND window) {
  static const auto getDpiForWindow = user32Function<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
  if (getDpiForWindow != nullptr) {
    if (UINT dpi = getDpiForWindow(window); dpi != 0) {
      return dpi;
    }
  }
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

SIZE windowSizeForClient(int width, int height, UINT dpi) {
  static const auto adjustForDpi =
      user32Function<BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT)>("AdjustWindowRectExForDpi");
  RECT rect{0, 0, width, height};
  if (adjustForDpi == nullptr || !adjustForDpi(&rect, kFormStyle, FALSE, kFormExStyle, dpi)) {
    AdjustWindowRectEx(&rect, kFormStyle, FALSE, kFormExStyle);
  }
  return {rect.right - rect.left, rect.bottom - rect.top};
}

bool registerClass(HINSTANCE instance, const wchar_t* className, WNDPROC procedure) {
  WNDCLASSEXW windowClass{};
  if (GetClassInfoExW(instance, className, &windowClass)) {
    return true;
  }
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.hIcon = static_cast<HICON>(
      LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
  windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                      GetSystemMetrics(SM_CXSMICON),
                                                      GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  windowClass.lpszClassName = className;
  return RegisterClassExW(&windowClass) != 0;
}

// A control of the design: a label or a box, by its index in its control array.
struct Control {
  enum class Kind { Label, Box };
  Kind kind;
  int index;
  TwipsRect rect;
};

// Every control of the design, top row first and left to right within a row.
std::vector<Control> controlsInReadingOrder() {
  std::vector<Control> controls;
  for (std::size_t i = 0; i < design::kLabel1.size(); ++i) {
    controls.push_back({Control::Kind::Label, static_cast<int>(i), design::kLabel1[i].rect});
  }
  for (std::size_t i = 0; i < design::kText1.size(); ++i) {
    controls.push_back({Control::Kind::Box, static_cast<int>(i), design::kText1[i].rect});
  }
  std::stable_sort(controls.begin(), controls.end(), [](const Control& a, const Control& b) {
    return std::tie(a.rect.top, a.rect.left) < std::tie(b.rect.top, b.rect.left);
  });
  return controls;
}

void place(HWND control, const TwipsRect& rect, UINT dpi) {
  const PixelRect pixels = twipsToPixels(rect, static_cast<int>(dpi));
  SetWindowPos(control, nullptr, pixels.left, pixels.top, pixels.width, pixels.height,
               SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

UINT Form14021::comeForwardMessage() {
  static const UINT message = RegisterWindowMessageW((widen(kProgramId) + L".ComeForward").c_str());
  return message;
}

Form14021::Form14021(const Clock& clock, SoundPlayer& sound, ErrorReport& errorReport,
                     std::chrono::milliseconds tickPeriod)
    : engine_(clock, sound, errorReport, *this, tickPeriod) {
  for (std::size_t i = 0; i < boxBrushes_.size(); ++i) {
    boxBrushes_[i] = CreateSolidBrush(design::kText1[i].backBgr);
  }
}

Form14021::~Form14021() {
  if (window_ != nullptr) {
    // Torn down by its owner, not closed by the user: no quit message for a loop that has ended.
    quitOnDestroy_ = false;
    DestroyWindow(window_);
  }
  for (HBRUSH brush : boxBrushes_) {
    DeleteObject(brush);
  }
}

bool Form14021::create(HINSTANCE instance, int showCommand) {
  if (!pump_.usable() || !registerClass(instance, kClassName, &Form14021::windowProc)) {
    return false;
  }
  const std::wstring caption = widen(design::kCaption);
  window_ = CreateWindowExW(kFormExStyle, kClassName, caption.c_str(), kFormStyle, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance,
                            this);
  if (window_ == nullptr) {
    return false;
  }
  createControls(instance);
  applyDpi(dpiOf(window_));
  engine_.load();
  if (engine_.ending()) {
    return false;  // Form_Load failed, was reported, and the window is gone
  }
  ShowWindow(window_, showCommand);
  UpdateWindow(window_);
  lastFocus_ = boxes_[0];
  SetFocus(boxes_[0]);
  return true;
}

void Form14021::createControls(HINSTANCE instance) {
  // Created in reading order, top row first and left to right, which is also the order the
  // accessibility layer reads: each box comes right after the label that names it, so a screen
  // reader names the box by the label's words. Tab order follows creation too: Text1(0), then
  // Text1(1); labels never take the focus.
  for (const Control& control : controlsInReadingOrder()) {
    const bool isBox = control.kind == Control::Kind::Box;
    const auto index = static_cast<std::size_t>(control.index);
    const std::wstring text =
        widen(isBox ? design::kText1[index].text : design::kLabel1[index].text);
    const DWORD style = isBox ? WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT
                              : WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | SS_LEFT | SS_NOPREFIX;
    const int id = (isBox ? kBoxIdBase : kLabelIdBase) + control.index;
    HWND window = CreateWindowExW(
        isBox ? WS_EX_CLIENTEDGE : 0, isBox ? L"EDIT" : L"STATIC", text.c_str(), style, 0, 0, 0, 0,
        window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (isBox) {
      boxes_[index] = window;
    } else {
      labels_[index] = window;
    }
  }
}

void Form14021::layBoxesOverLabels() {
  // The long labels reach under the boxes, which lie on top of them. The accessibility order puts
  // each label above its box, so a label gives up the part of itself a box covers, and neither
  // paints over nor takes a click for the other.
  for (HWND label : labels_) {
    RECT labelRect{};
    GetWindowRect(label, &labelRect);
    HRGN visible =
        CreateRectRgn(0, 0, labelRect.right - labelRect.left, labelRect.bottom - labelRect.top);
    for (HWND box : boxes_) {
      RECT boxRect{};
      GetWindowRect(box, &boxRect);
      OffsetRect(&boxRect, -labelRect.left, -labelRect.top);
      HRGN covered = CreateRectRgnIndirect(&boxRect);
      CombineRgn(visible, visible, covered, RGN_DIFF);
      DeleteObject(covered);
    }
    SetWindowRgn(label, visible, TRUE);  // the window owns the region from here on
  }
}

void Form14021::applyDpi(UINT dpi) {
  dpi_ = dpi;
  HDC dc = GetDC(window_);
  const std::wstring face = chineseFaceName(dc, dpi, widen(design::kFontFamily));
  ReleaseDC(window_, dc);
  const int d = static_cast<int>(dpi);
  labelFont_ =
      Font(face, fontHeightForPoints(design::kLabelPointSize, d), design::kLabelFontWeight);
  boxFont_ = Font(face, fontHeightForPoints(design::kBoxPointSize, d), design::kBoxFontWeight);
  for (std::size_t i = 0; i < labels_.size(); ++i) {
    place(labels_[i], design::kLabel1[i].rect, dpi);
    SendMessageW(labels_[i], WM_SETFONT, reinterpret_cast<WPARAM>(labelFont_.get()), TRUE);
  }
  for (std::size_t i = 0; i < boxes_.size(); ++i) {
    place(boxes_[i], design::kText1[i].rect, dpi);
    SendMessageW(boxes_[i], WM_SETFONT, reinterpret_cast<WPARAM>(boxFont_.get()), TRUE);
  }
  layBoxesOverLabels();
  const SIZE size = windowSizeForClient(twipsToPixels(design::kClientWidthTwips, d),
                                        twipsToPixels(design::kClientHeightTwips, d), dpi);
  SetWindowPos(window_, nullptr, 0, 0, size.cx, size.cy,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT CALLBACK Form14021::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* form = reinterpret_cast<Form14021*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (form == nullptr || form->window_ == nullptr) {
    return DefWindowProcW(window, message, wParam, lParam);
  }
  return form->handle(message, wParam, lParam);
}

LRESULT Form14021::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  if (comeForwardMessage() != 0 && message == comeForwardMessage()) {
    comeForward();
    return 0;
  }
  switch (message) {
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (id >= kBoxIdBase && id < kBoxIdBase + static_cast<int>(boxes_.size())) {
        if (HIWORD(wParam) == EN_CHANGE) {
          boxChanged(id - kBoxIdBase);
        } else if (HIWORD(wParam) == EN_SETFOCUS) {
          lastFocus_ = reinterpret_cast<HWND>(lParam);
        }
      }
      return 0;
    }
    case WM_TIMER:
      if (wParam == kTimer1Id) {
        engine_.tick();
      }
      return 0;
    case WM_CLOSE:
      // The title bar, Alt+F4, the taskbar, taskkill without /F, the installer.
      close();
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;  // nothing to save: the session may end at once
    case WM_ENDSESSION:
      if (wParam) {
        endWithSession();
      }
      return 0;
    case WM_CTLCOLOREDIT:
      return boxColours(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_CTLCOLORSTATIC: {
      const auto dc = reinterpret_cast<HDC>(wParam);
      const auto control = reinterpret_cast<HWND>(lParam);
      // A box held read-only for the voice asks as a label does, and keeps its own colours.
      if (control == boxes_[0] || control == boxes_[1]) {
        return boxColours(dc, control);
      }
      SetTextColor(dc, design::kLabelTextBgr);
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_SETFOCUS:
      // Back from another window: the box that had the focus gets it again.
      if (lastFocus_ != nullptr) {
        SetFocus(lastFocus_);
      }
      return 0;
    case WM_DPICHANGED: {
      // Moved to a monitor of another scale: re-lay out at its DPI, in the rectangle it suggests.
      applyDpi(HIWORD(wParam));
      const auto* suggested = reinterpret_cast<const RECT*>(lParam);
      SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_DESTROY:
      KillTimer(window_, kTimer1Id);
      window_ = nullptr;
      if (quitOnDestroy_) {
        PostQuitMessage(exitStatus_);
      }
      return 0;
    default:
      break;
  }
  return DefWindowProcW(window_, message, wParam, lParam);
}

void Form14021::boxChanged(int index) {
  if (heldBoxes_.puttingBack()) {
    return;
  }
  const auto i = static_cast<std::size_t>(index);
  if (!engine_.boxChanged(static_cast<std::int16_t>(index), narrow(windowText(boxes_[i])))) {
    heldBoxes_.putBack(i);
  }
}

LRESULT Form14021::boxColours(HDC dc, HWND box) {
  const std::size_t index = box == boxes_[1] ? 1 : 0;
  SetTextColor(dc, design::kText1[index].textBgr);
  SetBkColor(dc, design::kText1[index].backBgr);
  return reinterpret_cast<LRESULT>(boxBrushes_[index]);
}

// The voice stops at once and no tick runs the reminder again; the window goes, which ends the
// event loop with status 0, also from within the voice's wait.
void Form14021::close() {
  engine_.close();
  if (window_ != nullptr) {
    DestroyWindow(window_);
  }
}

// The session ends as soon as every program has answered this, and the system then ends from
// outside whatever still runs: so the program ends here, with status 0, once the voice has
// stopped (or, stuck, had its grace). The window goes with the process.
void Form14021::endWithSession() {
  engine_.close();
  if (voiceFinished_ != nullptr) {
    pump_.waitFor(*voiceFinished_, VoiceOnWorker::kStopGrace);
  }
  std::fflush(nullptr);
  std::_Exit(0);
}

// A later start asked for this window: restored if minimised, shown in front and active. The
// later start allowed this process the foreground; where the system still refuses it, the
// taskbar button flashes instead.
void Form14021::comeForward() {
  if (IsIconic(window_)) {
    ShowWindow(window_, SW_RESTORE);
  }
  ShowWindow(window_, SW_SHOW);
  if (!SetForegroundWindow(window_)) {
    askForAttention();
  }
}

void Form14021::pumpUntil(const std::atomic<bool>& finished) noexcept {
  heldBoxes_.hold();
  voiceFinished_ = &finished;
  pump_.pumpUntil(finished, window_);
  voiceFinished_ = nullptr;
  if (window_ != nullptr) {
    heldBoxes_.release();
  }
}

void Form14021::wakePump() noexcept { pump_.wake(); }

// Nothing at all could be played: the taskbar button flashes until the user brings the window up,
// so a reminder that could not be heard is still seen.
void Form14021::askForAttention() {
  if (window_ == nullptr) {
    return;
  }
  FLASHWINFO flash{};
  flash.cbSize = sizeof flash;
  flash.hwnd = window_;
  flash.dwFlags = FLASHW_ALL | FLASHW_TIMERNOFG;
  FlashWindowEx(&flash);
}

// A zero period ticks as soon as the loop is free: the system's shortest timer.
void Form14021::startTimer1(std::chrono::milliseconds period) {
  if (window_ != nullptr) {
    SetTimer(window_, kTimer1Id, static_cast<UINT>(period.count()), nullptr);
  }
}

void Form14021::stopTimer1() {
  if (window_ != nullptr) {
    KillTimer(window_, kTimer1Id);
  }
}

void Form14021::endProgram(int status) {
  exitStatus_ = status;
  if (window_ != nullptr) {
    DestroyWindow(window_);  // its WM_DESTROY posts the quit with this status
  } else {
    PostQuitMessage(status);
  }
}

int Form14021::run() {
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    // Tab and Shift+Tab move between the boxes, as in a dialog.
    if (window_ != nullptr && IsDialogMessageW(window_, &message)) {
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return message.message == WM_QUIT ? static_cast<int>(message.wParam) : exitStatus_;
}

}  // namespace tonvela::win32
