// Takes the picture of the native window under Wine for the README (docs/screenshots): the window
// after ten holding registers were read back over Modbus TCP from a peer on 127.0.0.1. Not a test; run
// under Wine on an X server: win32_window_screenshot.exe <file.png>.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/win32/ModbusPeer.h"
#include "tests/win32/WindowDriver.h"
#include "win32/MainWindow.h"

namespace {

uint32_t Crc32(const uint8_t* bytes, size_t count, uint32_t crc = 0) {
  crc = ~crc;
  for (size_t i = 0; i < count; ++i) {
    crc ^= bytes[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void PutBig32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

void Chunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
  PutBig32(png, static_cast<uint32_t>(data.size()));
  std::vector<uint8_t> body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  png.insert(png.end(), body.begin(), body.end());
  PutBig32(png, Crc32(body.data(), body.size()));
}

// An RGB picture as PNG with stored (uncompressed) deflate blocks: no library needed, a little larger.
std::vector<uint8_t> Png(int width, int height, const std::vector<uint8_t>& rgbRows) {
  std::vector<uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  PutBig32(header, static_cast<uint32_t>(width));
  PutBig32(header, static_cast<uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});
  Chunk(png, "IHDR", header);
  std::vector<uint8_t> zlib{0x78, 0x01};
  uint32_t a = 1, b = 0;
  for (uint8_t byte : rgbRows) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  for (size_t at = 0; at < rgbRows.size(); at += 65535) {
    const size_t n = std::min<size_t>(65535, rgbRows.size() - at);
    zlib.push_back(at + n == rgbRows.size() ? 1 : 0);
    zlib.insert(zlib.end(), {static_cast<uint8_t>(n), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(~n),
                             static_cast<uint8_t>(~n >> 8)});
    zlib.insert(zlib.end(), rgbRows.begin() + static_cast<ptrdiff_t>(at), rgbRows.begin() + static_cast<ptrdiff_t>(at + n));
  }
  PutBig32(zlib, (b << 16) | a);
  Chunk(png, "IDAT", zlib);
  Chunk(png, "IEND", {});
  return png;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  using namespace varnetik;
  testing::ModbusPeer peer;
  AppState state;
  win32::MainWindow window(state, win32::WindowConfig{});
  testing::WindowDriver driver(window);
  driver.Settle();
  driver.Type(ControlId::TcpPortField, std::to_string(peer.Port()));
  driver.Click(window.Control(ControlId::TcpConnectButton));
  driver.ClickTab(2);
  driver.Type(ControlId::TcpReadCountField, "10");
  driver.Click(window.Control(ControlId::TcpReadButton));
  ::SetForegroundWindow(window.Handle());
  driver.Settle();
  ::Sleep(500);
  driver.Settle();

  RECT r{};
  ::GetWindowRect(window.Handle(), &r);
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = ::SelectObject(memory, bitmap);
  ::BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  ::GdiFlush();
  std::vector<uint8_t> rows;
  const auto* pixels = static_cast<const uint8_t*>(bits);
  for (int y = 0; y < height; ++y) {
    rows.push_back(0);  // no filter
    for (int x = 0; x < width; ++x) {
      const uint8_t* p = pixels + (static_cast<size_t>(y) * width + x) * 4;
      rows.insert(rows.end(), {p[2], p[1], p[0]});
    }
  }
  ::SelectObject(memory, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  state.tcp.Close();

  const std::vector<uint8_t> png = Png(width, height, rows);
  FILE* file = _wfopen(argv[1], L"wb");
  if (file == nullptr) return 1;
  std::fwrite(png.data(), 1, png.size(), file);
  std::fclose(file);
  return 0;
}
