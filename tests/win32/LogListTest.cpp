// The log in a real top-level window under Wine, driven by real mouse clicks and key presses (SendInput):
// which line is selected and shown as lines arrive, the reader's place kept while the log has the focus
// on an older line, the sideways scroll range up to the widest line in the current font, Ctrl+C of the
// selected line as Unicode text, and clearing.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "win32/LogList.h"

namespace varnetik::win32 {
namespace {

constexpr int kLogId = 1030;
constexpr wchar_t kParentClass[] = L"VarnetikLogTestParent";

LogList* forwardedLog = nullptr;

// The parent forwards the log's notifications, as the main window does.
LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NOTIFY && forwardedLog != nullptr) {
    LRESULT result = 0;
    if (forwardedLog->HandleNotify(*reinterpret_cast<const NMHDR*>(lParam), result)) return result;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Input goes through the X server and comes back; the messages are served until the expected state is
// there (or a generous limit has passed, which only a fault reaches).
template <typename Condition>
bool ServeUntil(Condition condition) {
  for (int round = 0; round < 1000; ++round) {
    Pump();
    if (condition()) return true;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return condition();
}

void SendKeys(const std::vector<WORD>& keys) {
  std::vector<INPUT> inputs;
  for (WORD key : keys) {
    for (DWORD flags : {DWORD{0}, DWORD{KEYEVENTF_KEYUP}}) {
      INPUT input{};
      input.type = INPUT_KEYBOARD;
      input.ki.wVk = key;
      input.ki.dwFlags = flags;
      inputs.push_back(input);
    }
  }
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void SendCtrlC() {
  std::vector<INPUT> inputs(4);
  const WORD keys[] = {VK_CONTROL, 'C', 'C', VK_CONTROL};
  for (size_t i = 0; i < inputs.size(); ++i) {
    inputs[i].type = INPUT_KEYBOARD;
    inputs[i].ki.wVk = keys[i];
    inputs[i].ki.dwFlags = i < 2 ? 0 : KEYEVENTF_KEYUP;
  }
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void ClickAt(HWND window, POINT point) {
  ClientToScreen(window, &point);
  SetCursorPos(point.x, point.y);
  INPUT inputs[2]{};
  inputs[0].type = inputs[1].type = INPUT_MOUSE;
  inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, inputs, sizeof(INPUT));
}

std::wstring Wide(const std::string& utf8) {
  std::wstring wide(utf8.size(), L'\0');
  wide.resize(static_cast<size_t>(
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), static_cast<int>(wide.size()))));
  return wide;
}

std::wstring ClipboardText() {
  if (!OpenClipboard(nullptr)) return L"<clipboard busy>";
  std::wstring text = L"<no text>";
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = chars;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

// The request of a 125-register read as the log shows it: far wider than the log and than the 260
// characters a list view hands out at a time.
std::string LongDump() {
  std::string line = "[12:00:00] RX:";
  for (int i = 0; i < 255; ++i) line += " A5";
  return line;
}

class LogListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSW parentClass{};
    parentClass.lpfnWndProc = &ParentProc;
    parentClass.hInstance = GetModuleHandleW(nullptr);
    parentClass.lpszClassName = kParentClass;
    parentClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    RegisterClassW(&parentClass);  // fails harmlessly once registered
    parent_ = CreateWindowExW(0, kParentClass, L"Log", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 520, 320, nullptr,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(parent_, nullptr);
    other_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 10, 10, 200, 24, parent_,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
    log_ = std::make_unique<LogList>(parent_, kLogId);
    forwardedLog = log_.get();
    SetWindowPos(log_->Handle(), nullptr, 10, 44, 480, 220, SWP_NOZORDER);
    SetForegroundWindow(parent_);
    SetFocus(other_);
    Pump();
  }

  void TearDown() override {
    DestroyWindow(parent_);
    forwardedLog = nullptr;
    log_.reset();
    Pump();
  }

  HWND List() const { return log_->Handle(); }
  int TopIndex() const { return ListView_GetTopIndex(List()); }
  bool InView(int64_t line) const {
    return line >= TopIndex() && line < TopIndex() + ListView_GetCountPerPage(List());
  }

  void ClickLine(int64_t line) {
    RECT row{};
    row.left = LVIR_BOUNDS;
    ASSERT_TRUE(SendMessageW(List(), LVM_GETITEMRECT, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(&row)));
    // Alternate places, so that two clicks on the same line never make a double click.
    clickShift_ = clickShift_ == 0 ? 40 : 0;
    ClickAt(List(), POINT{row.left + 20 + clickShift_, (row.top + row.bottom) / 2});
    ASSERT_TRUE(ServeUntil([&] { return GetFocus() == List() && log_->SelectedLine() == line; }))
        << "line " << line << ", selected " << log_->SelectedLine() << ", focus on the log " << (GetFocus() == List())
        << ", top " << TopIndex() << ", row " << row.top << "-" << row.bottom;
  }

  // Width of the text in the font the list has now, measured apart from the log.
  int TextWidth(const std::string& line) const {
    HDC dc = GetDC(List());
    HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(List(), WM_GETFONT, 0, 0)));
    const std::wstring wide = Wide(line);
    SIZE size{};
    GetTextExtentPoint32W(dc, wide.data(), static_cast<int>(wide.size()), &size);
    SelectObject(dc, old);
    ReleaseDC(List(), dc);
    return size.cx;
  }

  void ExpectScrollRangeFor(const std::string& widest, const char* when) {
    const int width = TextWidth(widest);
    EXPECT_EQ(log_->WidestLine(), width) << when;
    EXPECT_EQ(ListView_GetColumnWidth(List(), 0), width + 2 * LogList::kTextMargin) << when;
    RECT client{};
    GetClientRect(List(), &client);
    if (width + 2 * LogList::kTextMargin > client.right) {
      SCROLLINFO range{};
      range.cbSize = sizeof range;
      range.fMask = SIF_RANGE | SIF_PAGE;
      ASSERT_TRUE(GetScrollInfo(List(), SB_HORZ, &range)) << when;
      EXPECT_GE(range.nMax + 1, width + 2 * LogList::kTextMargin) << when;
    }
  }

  HWND parent_ = nullptr;
  HWND other_ = nullptr;
  std::unique_ptr<LogList> log_;
  int clickShift_ = 0;
};

TEST_F(LogListTest, NewLinesAreSelectedUnlessTheReaderIsOnAnOlderOne) {
  constexpr int64_t kBefore = 40;  // more than the log shows at once
  constexpr int64_t kNewest = kBefore - 1;
  constexpr int64_t kAfter = kBefore + 2;
  struct Case {
    const char* name;
    bool clickNewest;            // the log gets the focus by a click on its newest line
    std::vector<WORD> keys;      // then these keys
    bool focusElsewhereAfter;    // then a click into the other control
    int64_t selectedBefore;
    int64_t selectedAfter;       // once three more lines have arrived
  };
  const std::vector<Case> cases{
      {"focus elsewhere", false, {}, false, kNewest, kAfter},
      {"focus on the newest line", true, {}, false, kNewest, kAfter},
      {"focus on an older line", true, {VK_UP}, false, kNewest - 1, kNewest - 1},
      {"focus on the first line", true, {VK_HOME}, false, 0, 0},
      {"back at the end", true, {VK_HOME, VK_END}, false, kNewest, kAfter},
      {"a typed letter searches nothing", true, {'A', VK_UP}, false, kNewest - 1, kNewest - 1},
      {"an older line selected, focus elsewhere", true, {VK_UP}, true, kNewest - 1, kAfter},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    log_->Clear();
    for (int64_t line = 0; line < kBefore; ++line) log_->Append("[12:00:00] Zeile " + std::to_string(line));
    Pump();
    ASSERT_EQ(log_->SelectedLine(), kNewest);
    ASSERT_TRUE(InView(kNewest));
    if (c.clickNewest) ClickLine(kNewest);
    SendKeys(c.keys);
    ASSERT_TRUE(ServeUntil([&] { return log_->SelectedLine() == c.selectedBefore; })) << log_->SelectedLine();
    if (c.focusElsewhereAfter) {
      ClickAt(other_, POINT{20, 12});
      ASSERT_TRUE(ServeUntil([&] { return GetFocus() == other_; }));
    }
    const int topBefore = TopIndex();
    for (int64_t line = kBefore; line <= kAfter; ++line) log_->Append("[12:00:01] Neu " + std::to_string(line));
    Pump();
    EXPECT_EQ(log_->LineCount(), kAfter + 1);
    EXPECT_EQ(log_->SelectedLine(), c.selectedAfter);
    if (c.selectedAfter == kAfter) {
      EXPECT_TRUE(InView(kAfter));
    } else {
      EXPECT_EQ(TopIndex(), topBefore);  // the reader's view stays where it was
    }
    SetFocus(other_);
  }
}

TEST_F(LogListTest, ScrollRangeReachesTheWidestLineInTheCurrentFont) {
  const std::string dump = LongDump();
  struct Step {
    std::string line;
    std::string widestSoFar;
  };
  const std::vector<Step> steps{
      {"[12:00:00] Bereit.", "[12:00:00] Bereit."},
      {dump, dump},
      {"[12:00:02] OK: FC03 \xE2\x80\x93 125 Register ab 0x0000 (0)", dump},
  };
  for (const Step& step : steps) {
    log_->Append(step.line);
    Pump();
    ExpectScrollRangeFor(step.widestSoFar, step.line.substr(0, 30).c_str());
  }
  const int before = log_->WidestLine();
  HFONT larger = CreateFontW(-24, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Tahoma");
  SendMessageW(List(), WM_SETFONT, reinterpret_cast<WPARAM>(larger), TRUE);
  Pump();
  EXPECT_GT(log_->WidestLine(), before);
  ExpectScrollRangeFor(dump, "after the font change");
  log_->Clear();
  ExpectScrollRangeFor("", "after clearing");
  log_.reset();
  forwardedLog = nullptr;
  DeleteObject(larger);
}

TEST_F(LogListTest, CtrlCCopiesTheSelectedLineWhole) {
  const std::vector<std::string> lines{"[12:00:00] Bereit.",
                                       "[12:00:01] Verbindung ge\xC3\xB6" "ffnet \xE2\x80\x93 COM5, 19200 Baud",
                                       LongDump()};
  for (const std::string& line : lines) log_->Append(line);
  Pump();
  for (int64_t index = 0; index < static_cast<int64_t>(lines.size()); ++index) {
    SCOPED_TRACE(index);
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
    ClickLine(index);
    SendCtrlC();
    const std::wstring expected = Wide(lines[static_cast<size_t>(index)]);
    EXPECT_TRUE(ServeUntil([&] { return ClipboardText() == expected; })) << "clipboard holds other text";
    // What a screen reader reads through the list view: the whole line when it asks with room enough.
    wchar_t text[2048] = L"";
    ListView_GetItemText(List(), static_cast<int>(index), 0, text, 2048);
    EXPECT_EQ(std::wstring(text), expected);
  }
}

TEST_F(LogListTest, ClearRemovesEveryLineAndTheNextLineIsSelectedAgain) {
  for (int line = 0; line < 30; ++line) log_->Append("[12:00:00] Zeile " + std::to_string(line));
  Pump();
  ClickLine(29);
  SendKeys({VK_UP});
  ASSERT_TRUE(ServeUntil([&] { return log_->SelectedLine() == 28; }));
  log_->Clear();
  Pump();
  EXPECT_EQ(log_->LineCount(), 0);
  EXPECT_EQ(ListView_GetItemCount(List()), 0);
  EXPECT_EQ(log_->SelectedLine(), -1);
  EXPECT_EQ(log_->Line(0), "");
  log_->Append("[12:00:05] Neu");
  Pump();
  EXPECT_EQ(log_->LineCount(), 1);
  EXPECT_EQ(log_->SelectedLine(), 0);
  EXPECT_EQ(log_->Line(0), "[12:00:05] Neu");
}

}  // namespace
}  // namespace varnetik::win32
