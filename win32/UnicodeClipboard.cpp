#include "win32/UnicodeClipboard.h"

#include <cstring>

#include "win32/WideText.h"

namespace varnetik::win32 {

namespace {

// Another program (a clipboard viewer or history) may hold the clipboard for a moment after a change.
bool OpenClipboardSoon(HWND owner) {
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (OpenClipboard(owner)) return true;
    Sleep(10);
  }
  return false;
}

}  // namespace

void SetClipboardText(HWND owner, const std::string& utf8) {
  const std::wstring text = Wide(utf8);
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);  // with its terminating zero
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (memory == nullptr) return;
  void* target = GlobalLock(memory);
  if (target == nullptr) {
    GlobalFree(memory);
    return;
  }
  std::memcpy(target, text.c_str(), bytes);
  GlobalUnlock(memory);
  if (!OpenClipboardSoon(owner)) {
    GlobalFree(memory);
    return;
  }
  EmptyClipboard();
  // Once taken, the memory belongs to the clipboard.
  if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) GlobalFree(memory);
  CloseClipboard();
}

std::string ClipboardText(HWND owner) {
  if (!OpenClipboardSoon(owner)) return {};
  std::string text;
  if (HANDLE memory = GetClipboardData(CF_UNICODETEXT); memory != nullptr) {
    if (const auto* wide = static_cast<const wchar_t*>(GlobalLock(memory)); wide != nullptr) {
      text = Utf8(wide);
      GlobalUnlock(memory);
    }
  }
  CloseClipboard();
  return text;
}

}  // namespace varnetik::win32
