#include "win32/HandlerGate.h"

#include "modbus/WaitHook.h"

namespace varnetik::win32 {

HandlerGate::~HandlerGate() {
  if (Running()) SetWaitHook({});
  EndWait();
}

void HandlerGate::Run(std::optional<ControlId> source, std::function<void()> handler) {
  if (Running()) {
    pending_.push_back({source, std::move(handler)});
    return;
  }
  running_ = true;
  SetWaitHook([this] { ServeWindow(); });
  Pending first{source, std::move(handler)};
  RunOne(first);
  while (!pending_.empty()) {
    Pending next = std::move(pending_.front());
    pending_.pop_front();
    RunOne(next);
  }
  SetWaitHook({});
  running_ = false;
  EndWait();
  if (closeHeld_) {
    closeHeld_ = false;
    // On the loop's next turn, as if the request had only just arrived.
    ::PostMessageW(window_, WM_CLOSE, 0, 0);
  }
}

void HandlerGate::RunOne(Pending& next) {
  source_ = next.source;
  // A wait shorter than one slice passes unnoticed: no messages, no busy cursor flickering at every read.
  lastServedMs_ = ::GetTickCount64();
  next.handler();
  source_.reset();
}

void HandlerGate::EndWait() {
  if (!busyCursor_) return;
  busyCursor_ = false;
  ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
}

void HandlerGate::ServeWindow() {
  const uint64_t now = ::GetTickCount64();
  if (serving_ || now - lastServedMs_ < static_cast<uint64_t>(kWaitSliceMs)) return;
  lastServedMs_ = now;
  if (!busyCursor_) {
    busyCursor_ = true;
    ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
  }
  serving_ = true;
  // Everything but input: the filter leaves mouse and keyboard messages in the queue for afterwards.
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT | PM_QS_SENDMESSAGE | PM_QS_POSTMESSAGE)) {
    if (msg.message == WM_QUIT) {
      // Not ours to take: the main loop ends on it after the handler.
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  serving_ = false;
}

}  // namespace varnetik::win32
