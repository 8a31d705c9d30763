// The Win32 window under Wine: its layout from the design table, its events reaching the
// reminder, its messages while the voice plays on a worker, its closes, and its one exception
// boundary. The clock and the sound are fakes; the window, its controls and its message loops
// are Windows' own.
// windows.h first: the other Windows headers build on its types.
#include <windows.h>

#include <gtest/gtest.h>
#include <oleacc.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/voice_file.h"
#include "platform/runtime_error.h"
#include "platform/win_text.h"
#include "tests/support/blocking_sound.h"
#include "tests/support/fake_clock.h"
#include "tests/support/recording_error_report.h"
#include "tests/support/recording_sound.h"
#include "window/event_boundary.h"
#include "window/form_design.h"
#include "window/win32/dpi_scale.h"
#include "window/win32/form14021.h"

namespace tonvela::win32 {
namespace {

using tonvela::fakes::FakeClock;
using tonvela::fakes::RecordingErrorReport;
using tonvela::fakes::RecordingSound;

std::wstring textOf(HWND control) {
  wchar_t buffer[256] = {};
  GetWindowTextW(control, buffer, 256);
  return buffer;
}

LOGFONTW fontOf(HWND control) {
  LOGFONTW font{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
  return font;
}

// Runs the form's message loop until the window is gone, closing it from a timer of our own
// after closeAfterMs unless an error ends it first.
int runFor(Form14021& form, UINT closeAfterMs) {
  const UINT_PTR closer = SetTimer(nullptr, 0, closeAfterMs, [](HWND, UINT, UINT_PTR, DWORD) {
    if (HWND window = FindWindowW(L"Tonvela.Form14021", nullptr)) {
      PostMessageW(window, WM_CLOSE, 0, 0);
    }
  });
  const int status = form.run();
  KillTimer(nullptr, closer);
  return status;
}

class Win32Form : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(form.create(GetModuleHandleW(nullptr), SW_SHOWNORMAL)); }

  FakeClock clock;
  RecordingSound sound;
  RecordingErrorReport errors;
  Form14021 form{clock, sound, errors, std::chrono::milliseconds(100)};
};

// The design at the scales a display may have: 2865 x 1050 twips, fonts of 12 pt and 10.5 pt,
// rounded to the nearest pixel.
struct DesignAtDpi {
  int dpi;
  int clientWidth, clientHeight, labelFont, boxFont;
};
constexpr DesignAtDpi kDesignAtDpi[] = {
    {96, 191, 70, -16, -14},
    {120, 239, 88, -20, -18},
    {144, 287, 105, -24, -21},
    {192, 382, 140, -32, -28},
};

// The DPI the test prefix is set to (its LogPixels), as the test's runner says; 96 unless told.
int screenDpi() {
  const char* dpi = std::getenv("TONVELA_TEST_DPI");
  return dpi != nullptr ? std::atoi(dpi) : 96;
}

TEST(DpiScale, KeepsTheDesignsPhysicalSize) {
  for (const DesignAtDpi& c : kDesignAtDpi) {
    EXPECT_EQ(twipsToPixels(design::kClientWidthTwips, c.dpi), c.clientWidth) << c.dpi;
    EXPECT_EQ(twipsToPixels(design::kClientHeightTwips, c.dpi), c.clientHeight) << c.dpi;
    EXPECT_EQ(fontHeightForPoints(design::kLabelPointSize, c.dpi), c.labelFont) << c.dpi;
    EXPECT_EQ(fontHeightForPoints(design::kBoxPointSize, c.dpi), c.boxFont) << c.dpi;
  }
}

TEST_F(Win32Form, IsLaidOutFromTheDesign) {
  EXPECT_EQ(textOf(form.window()), widen(design::kCaption));
  RECT client{};
  GetClientRect(form.window(), &client);
  const int dpi = static_cast<int>(form.dpi());
  EXPECT_EQ(client.right, twipsToPixels(design::kClientWidthTwips, dpi));
  EXPECT_EQ(client.bottom, twipsToPixels(design::kClientHeightTwips, dpi));

  auto expectPlaced = [&](HWND control, const TwipsRect& rect) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, form.window(), reinterpret_cast<POINT*>(&r), 2);
    const PixelRect want = twipsToPixels(rect, dpi);
    EXPECT_EQ(r.left, want.left);
    EXPECT_EQ(r.top, want.top);
    EXPECT_EQ(r.right - r.left, want.width);
    EXPECT_EQ(r.bottom - r.top, want.height);
  };
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(textOf(form.label(i)), widen(design::kLabel1[i].text));
    expectPlaced(form.label(i), design::kLabel1[i].rect);
  }
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(textOf(form.box(i)), widen(design::kText1[i].text));
    expectPlaced(form.box(i), design::kText1[i].rect);
  }
  // Fonts at the window's DPI, in the design's face: the test prefix maps "宋体" onto a Chinese
  // font it has, so the first choice is found.
  const LOGFONTW labelFont = fontOf(form.label(1));
  const LOGFONTW boxFont = fontOf(form.box(1));
  EXPECT_EQ(std::wstring(boxFont.lfFaceName), widen(design::kFontFamily));
  EXPECT_EQ(boxFont.lfHeight, fontHeightForPoints(design::kBoxPointSize, dpi));
  EXPECT_EQ(boxFont.lfWeight, design::kBoxFontWeight);
  EXPECT_EQ(boxFont.lfCharSet, GB2312_CHARSET);
  EXPECT_EQ(labelFont.lfHeight, fontHeightForPoints(design::kLabelPointSize, dpi));
  EXPECT_EQ(labelFont.lfWeight, design::kLabelFontWeight);

  const LONG style = GetWindowLongW(form.window(), GWL_STYLE);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & WS_MAXIMIZEBOX);
  EXPECT_FALSE(style & WS_THICKFRAME);
}

// Drawn at the screen's scale, from the design table at that scale.
TEST_F(Win32Form, IsDrawnAtTheScreensDpi) {
  ASSERT_EQ(static_cast<int>(form.dpi()), screenDpi());
  const DesignAtDpi* design = nullptr;
  for (const DesignAtDpi& row : kDesignAtDpi) {
    design = row.dpi == screenDpi() ? &row : design;
  }
  ASSERT_NE(design, nullptr) << "no design row for " << screenDpi() << " dpi";
  RECT client{};
  GetClientRect(form.window(), &client);
  EXPECT_EQ(client.right, design->clientWidth);
  EXPECT_EQ(client.bottom, design->clientHeight);
  EXPECT_EQ(fontOf(form.label(0)).lfHeight, design->labelFont);
  EXPECT_EQ(fontOf(form.box(0)).lfHeight, design->boxFont);
}

// The extent of a control's text in its own font: its width, and the height of its characters
// (the font's cell less the leading above them, which holds no glyph).
SIZE textExtent(HWND control) {
  const std::wstring text = textOf(control);
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  SIZE extent{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  extent.cy = metrics.tmHeight - metrics.tmInternalLeading;
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return extent;
}

// Every text is seen whole at the screen's scale: each label's within the part of it that no box
// covers, each box's within the box's editing rectangle.
TEST_F(Win32Form, EveryTextFitsItsControl) {
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    HWND label = form.label(i);
    const SIZE text = textExtent(label);
    RECT seen{};
    GetClientRect(label, &seen);
    for (int b = 0; b < 2; ++b) {
      RECT box{};
      GetWindowRect(form.box(b), &box);
      MapWindowPoints(nullptr, label, reinterpret_cast<POINT*>(&box), 2);
      if (box.left > 0 && box.left < seen.right && box.top < seen.bottom && box.bottom > 0) {
        seen.right = box.left;
      }
    }
    std::printf("label %d: text %ldx%ld in %ldx%ld\n", i, text.cx, text.cy, seen.right,
                seen.bottom);
    EXPECT_LE(text.cx, seen.right);
    EXPECT_LE(text.cy, seen.bottom);
  }
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    const SIZE text = textExtent(form.box(i));
    RECT editing{};
    SendMessageW(form.box(i), EM_GETRECT, 0, reinterpret_cast<LPARAM>(&editing));
    std::printf("box %d: text %ldx%ld in %ldx%ld\n", i, text.cx, text.cy,
                editing.right - editing.left, editing.bottom - editing.top);
    EXPECT_LE(text.cx, editing.right - editing.left);
    EXPECT_LE(text.cy, editing.bottom - editing.top);
  }
}

TEST_F(Win32Form, FocusStartsInTheDayBoxAndTabGoesToTheNightBox) {
  EXPECT_EQ(GetFocus(), form.box(0));
  EXPECT_EQ(GetNextDlgTabItem(form.window(), form.box(0), FALSE), form.box(1));
  EXPECT_EQ(GetNextDlgTabItem(form.window(), form.box(1), FALSE), form.box(0));
}

// Whether sibling a lies above sibling b, nearer the top of their parent's z-order.
bool isAbove(HWND a, HWND b) {
  for (HWND w = GetWindow(b, GW_HWNDPREV); w != nullptr; w = GetWindow(w, GW_HWNDPREV)) {
    if (w == a) {
      return true;
    }
  }
  return false;
}

// Whether the label draws at a point of its parent's client area: within its window region if
// it has one, or else unless a sibling above it covers the point.
bool labelDrawsAt(HWND label, HWND box, POINT point) {
  MapWindowPoints(GetParent(label), label, &point, 1);
  HRGN region = CreateRectRgn(0, 0, 0, 0);
  const bool clipped = GetWindowRgn(label, region) != ERROR;
  const bool inRegion = PtInRegion(region, point.x, point.y) != FALSE;
  DeleteObject(region);
  return clipped ? inRegion : !isAbove(box, label);
}

// The long labels reach under the boxes: where they overlap, a box is what is seen and clicked.
TEST_F(Win32Form, BoxesLieOnTopOfTheLongLabels) {
  const int dpi = static_cast<int>(form.dpi());
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    const int label = design::kLabelOfBox[static_cast<std::size_t>(i)];
    const TwipsRect& box = design::kText1[static_cast<std::size_t>(i)].rect;
    const TwipsRect& under = design::kLabel1[static_cast<std::size_t>(label)].rect;
    // Inside both: just right of the box's left edge, halfway down the label.
    POINT point{twipsToPixels(box.left + 60, dpi),
                twipsToPixels(under.top + under.height / 2, dpi)};
    EXPECT_FALSE(labelDrawsAt(form.label(label), form.box(i), point));
    ClientToScreen(form.window(), &point);
    EXPECT_EQ(WindowFromPoint(point), form.box(i));
  }
}

// A screen reader names each box by the words of the label before it, as the accessibility layer
// finds that label: the nearest static control before the box among its siblings.
TEST_F(Win32Form, EachBoxIsNamedByItsLabelForScreenReaders) {
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    const std::wstring label =
        widen(design::kLabel1[static_cast<std::size_t>(design::kLabelOfBox[i])].text);
    IAccessible* accessible = nullptr;
    ASSERT_EQ(
        AccessibleObjectFromWindow(form.box(i), static_cast<DWORD>(OBJID_CLIENT),
                                   __uuidof(IAccessible), reinterpret_cast<void**>(&accessible)),
        S_OK);
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    EXPECT_EQ(accessible->get_accName(self, &name), S_OK);
    EXPECT_EQ(std::wstring(name != nullptr ? name : L""), label);
    SysFreeString(name);
    accessible->Release();
  }
  CoUninitialize();
}

TEST_F(Win32Form, EditsReachTheIntervalOfTheirBoxOnly) {
  struct Case {
    int box;
    const wchar_t* text;
    std::int16_t day, night;
  };
  const Case cases[] = {
      {0, L"10", 10, 25},   {1, L"３０", 10, 30},  // full-width digits from an input method
      {0, L"abc", 10, 30},                         // not a number: ignored
      {1, L"0", 10, 30},                           // below 1: ignored
      {0, L" 2.5 ", 2, 30},                        // rounds half to even
  };
  for (const Case& c : cases) {
    SetWindowTextW(form.box(c.box), c.text);
    EXPECT_EQ(form.reminder().state().DayInterval, c.day) << c.box;
    EXPECT_EQ(form.reminder().state().NightInterval, c.night) << c.box;
  }
}

TEST_F(Win32Form, TicksPlayTheVoiceWhenTheIntervalIsReached) {
  SetWindowTextW(form.box(0), L"2");
  clock.set(10, 0);  // day time
  // Each playback notes the count it came on; the second one ends the run, however late the
  // ticks of a busy machine come.
  std::vector<int> countAtPlay;
  sound.whilePlaying = [&](int playIndex) {
    countAtPlay.push_back(form.reminder().state().ElapsedMinutes);
    if (playIndex == 1) PostMessageW(form.window(), WM_CLOSE, 0, 0);
  };

  // Ticks of 100 ms: the closer ends only a run whose second playback never came.
  EXPECT_EQ(runFor(form, 10000), 0);

  // A day interval of 2: every second tick plays, so the count is 2 at each playback.
  EXPECT_EQ(countAtPlay, (std::vector<int>{2, 2}));
  for (const std::string& name : sound.fileNames()) {
    EXPECT_EQ(name, kVoiceFileName);
  }
  EXPECT_TRUE(errors.reported.empty());
}

TEST_F(Win32Form, AnErrorInAHandlerIsReportedAndEndsTheProgramWithStatus1) {
  SetWindowTextW(form.box(0), L"1");
  clock.set(10, 0);
  sound.whilePlaying = [](int) { raiseOverflow(); };

  // The first tick, due after 100 ms, raises; the closer ends only a run where none came.
  EXPECT_EQ(runFor(form, 10000), kUnhandledErrorExitStatus);

  EXPECT_EQ(errors.reported, std::vector<ErrorNumber>{ErrorNumber::Overflow});
  EXPECT_EQ(form.window(), nullptr);
  // The first tick raised the error; no further tick reached the reminder. (The fake keeps a
  // play only once it returns, so the one that raised is not among them.)
  EXPECT_TRUE(sound.plays.empty());
}


// Runs the window thread's messages while `notYet` holds, at most `limit`.
void pumpWhile(const std::function<bool()>& notYet, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (notYet() && std::chrono::steady_clock::now() < deadline) {
    MSG message{};
    if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    } else {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
  }
}

bool readOnly(HWND box) { return (GetWindowLongW(box, GWL_STYLE) & ES_READONLY) != 0; }

// The colour a box paints its background in, taken at its right end, where no digit is drawn.
COLORREF backgroundOf(HWND box) {
  RedrawWindow(box, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  RECT client{};
  GetClientRect(box, &client);
  HDC dc = GetDC(box);
  const COLORREF colour = GetPixel(dc, client.right - 3, client.bottom / 2);
  ReleaseDC(box, dc);
  return colour;
}

// The voice plays on a worker. Meanwhile the window answers other programs at once and paints,
// and its boxes stay as they were: a press held when the voice began is released, typing, clicks
// and another program's edit change nothing, and the boxes keep their colours though read-only.
// Afterwards they take typing again.
TEST_F(Win32Form, DuringTheVoiceTheWindowAnswersAndItsBoxesAreHeld) {
  HWND box = form.box(0);
  SetWindowTextW(box, L"1");
  clock.set(10, 0);
  SendMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));  // a drag-selection begins
  ASSERT_EQ(GetCapture(), box);
  struct {
    bool answered = false;
    std::wstring text;
    bool readOnly = false;
    COLORREF background = CLR_INVALID;
  } during;
  sound.whilePlaying = [&](int) {
    // The user's input and other programs' messages, sent from outside the window's thread.
    PostMessageW(box, WM_KEYDOWN, '7', 1);
    PostMessageW(box, WM_CHAR, L'7', 1);
    PostMessageW(box, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(2, 2));
    PostMessageW(box, WM_PASTE, 0, 0);
    wchar_t caption[64] = {};
    during.answered = SendMessageTimeoutW(form.window(), WM_GETTEXT, 64,
                                          reinterpret_cast<LPARAM>(caption), SMTO_BLOCK, 5000,
                                          nullptr) != 0;
    SendMessageTimeoutW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"9"), SMTO_BLOCK, 5000,
                        nullptr);
    Sleep(300);  // the posted input reaches the window's loop meanwhile
    during.text = textOf(box);
    during.readOnly = readOnly(box);
    during.background = backgroundOf(box);
    clock.set(22, 0);  // the night's 25 minutes: no other voice for a while
  };
  pumpWhile([&] { return sound.plays.empty(); }, std::chrono::seconds(10));

  ASSERT_EQ(sound.plays.size(), 1U);
  EXPECT_TRUE(during.answered);
  EXPECT_EQ(during.text, L"1");
  EXPECT_TRUE(during.readOnly);
  EXPECT_EQ(during.background, design::kText1[0].backBgr);
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(textOf(box), L"1");
  EXPECT_FALSE(readOnly(box));
  EXPECT_EQ(form.reminder().state().DayInterval, 1);
  EXPECT_TRUE(errors.reported.empty());

  SendMessageW(box, EM_SETSEL, 0, -1);
  SendMessageW(box, WM_CHAR, L'2', 1);
  EXPECT_EQ(textOf(box), L"2");
  EXPECT_EQ(form.reminder().state().DayInterval, 2);
}

// A window loaded with a day interval of 1 at 10:00, so its first tick plays a voice of 30 s
// unless stopped; `close` is done to it from another thread once the voice plays.
struct PlayingWindow {
  explicit PlayingWindow(std::function<void(HWND form, HWND box)> close)
      : close_(std::move(close)) {}

  bool create() {
    if (!form.create(GetModuleHandleW(nullptr), SW_SHOWNORMAL)) {
      return false;
    }
    SetWindowTextW(form.box(0), L"1");
    return true;
  }

  // Runs the window's loop, closing it during the voice; a close that was not taken is ended
  // late, so that the test fails rather than hangs.
  int run() {
    std::thread closer([this, window = form.window(), box = form.box(0)] {
      while (!sound.playing()) {
        Sleep(5);
      }
      close_(window, box);
      for (int i = 0; i < 1000 && IsWindow(window); ++i) {
        Sleep(10);
      }
      PostMessageW(window, WM_CLOSE, 0, 0);
    });
    started = std::chrono::steady_clock::now();
    const int status = form.run();
    closer.join();
    return status;
  }

  FakeClock clock{10};
  fakes::BlockingSound sound{std::chrono::seconds(30)};
  RecordingErrorReport errors;
  Form14021 form{clock, sound, errors, std::chrono::milliseconds(100)};
  std::chrono::steady_clock::time_point started;

 private:
  std::function<void(HWND, HWND)> close_;
};

// The ways Windows closes a window stop a voice at once and end the loop with status 0: the close
// message (title bar, taskbar, taskkill, the installer), and Alt+F4 typed into a box.
TEST(Win32FormClose, ACloseDuringTheVoiceStopsItAndEndsWithStatus0) {
  struct Case {
    const char* name;
    std::function<void(HWND form, HWND box)> close;
  };
  const Case cases[] = {
      {"WM_CLOSE", [](HWND form, HWND) { PostMessageW(form, WM_CLOSE, 0, 0); }},
      {"Alt+F4", [](HWND, HWND box) {
         constexpr LPARAM kAltDown = 1 << 29;
         PostMessageW(box, WM_SYSKEYDOWN, VK_F4, kAltDown | 1);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PlayingWindow window(c.close);
    ASSERT_TRUE(window.create());
    EXPECT_EQ(window.run(), 0);
    EXPECT_EQ(window.sound.started(), 1);
    EXPECT_EQ(window.sound.stopped(), 1);
    // Stopped, not waited out.
    EXPECT_LT(window.sound.lastEnd() - window.started, std::chrono::seconds(10));
    EXPECT_EQ(window.form.window(), nullptr);
    EXPECT_TRUE(window.errors.reported.empty());
  }
}

// At the end of the session the system ends every program still running once all have answered:
// the window agrees to the end and ends the program itself while answering, with status 0.
TEST(Win32FormCloseDeathTest, TheEndOfTheSessionEndsTheProgramWithStatus0) {
  EXPECT_EXIT(
      {
        PlayingWindow window([](HWND form, HWND) {
          DWORD_PTR mayEnd = FALSE;
          SendMessageTimeoutW(form, WM_QUERYENDSESSION, 0, 0, SMTO_BLOCK, 5000, &mayEnd);
          if (mayEnd != TRUE) {
            std::_Exit(4);
          }
          SendMessageTimeoutW(form, WM_ENDSESSION, TRUE, 0, SMTO_BLOCK, 5000, nullptr);
          std::_Exit(5);  // the answer came back: the program did not end while answering
        });
        if (window.create()) {
          window.run();
        }
        std::_Exit(3);
      },
      testing::ExitedWithCode(0), "");
}

// A later start posts the come-forward message: the window is restored and takes the foreground.
TEST_F(Win32Form, ComesForwardRestoredWhenALaterStartAsks) {
  ShowWindow(form.window(), SW_MINIMIZE);
  ASSERT_TRUE(IsIconic(form.window()));
  PostMessageW(form.window(), Form14021::comeForwardMessage(), 0, 0);
  pumpWhile([&] { return IsIconic(form.window()) != FALSE; }, std::chrono::seconds(5));
  EXPECT_FALSE(IsIconic(form.window()));
  EXPECT_EQ(GetForegroundWindow(), form.window());
}

}  // namespace
}  // namespace tonvela::win32
