#include <winsock2.h>
#include <ws2tcpip.h>

#include <atomic>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <string>

#include "slave/ProgramInput.h"

namespace varnetik::slave {

namespace {

// Shared by the loop, the console control handler's thread and the reader of standard input; it lives
// as long as the process, since the reader may still be blocked in a read when the slave ends.
struct Mailbox {
  SOCKET wake = INVALID_SOCKET;  // UDP on 127.0.0.1, sending to itself
  sockaddr_in address{};
  std::atomic<bool> stop{false};
  std::mutex mutex;  // guards lines
  std::deque<std::string> lines;
  HANDLE reader = nullptr;  // the thread that reads standard input

  void Wake() {
    ::sendto(wake, "w", 1, 0, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  }
  void Stop() {
    stop = true;
    Wake();
  }
};

Mailbox* mailbox = nullptr;

BOOL WINAPI OnConsoleControl(DWORD event) {
  switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      mailbox->Stop();
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      // Windows ends the process as soon as this handler returns, and after about 5 s in any case. So
      // it does not return: the loop stops, --save is written and the slave ends the process itself,
      // this thread with it.
      mailbox->Stop();
      ::Sleep(INFINITE);
      return TRUE;
    default:
      return FALSE;
  }
}

bool OpenWakeSocket(Mailbox& box) {
  box.wake = ::WSASocketW(AF_INET, SOCK_DGRAM, IPPROTO_UDP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  box.address.sin_family = AF_INET;
  box.address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int size = sizeof box.address;
  u_long nonBlocking = 1;
  return box.wake != INVALID_SOCKET && ::ioctlsocket(box.wake, FIONBIO, &nonBlocking) == 0 &&
         ::bind(box.wake, reinterpret_cast<const sockaddr*>(&box.address), sizeof box.address) == 0 &&
         ::getsockname(box.wake, reinterpret_cast<sockaddr*>(&box.address), &size) == 0;
}

void Deliver(Mailbox& box, std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  {
    std::lock_guard<std::mutex> lock(box.mutex);
    box.lines.push_back(std::move(line));
  }
  box.Wake();
}

// Plain ReadFile on the console or pipe, not the C runtime's stdin: a read blocked there holds the
// runtime's stdin lock, which exit() wants as well, and the process would never end. A read still
// waiting at the end is cancelled (CancelReader).
DWORD WINAPI ReadStandardInput(void* context) {
  Mailbox& box = *static_cast<Mailbox*>(context);
  const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  std::string pending;
  char chunk[512];
  DWORD got = 0;
  while (::ReadFile(input, chunk, sizeof chunk, &got, nullptr) && got > 0) {
    pending.append(chunk, got);
    for (size_t end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
      Deliver(box, pending.substr(0, end));
      pending.erase(0, end + 1);
    }
  }
  // At the end of the input a last line without its line end counts too; a cancelled read ends quietly.
  if (!pending.empty() && ::GetLastError() != ERROR_OPERATION_ABORTED) Deliver(box, std::move(pending));
  return 0;
}

void CancelReader() { ::CancelSynchronousIo(mailbox->reader); }

// On the loop's thread: the wake-ups taken off the socket, then the stop or the lines they stand for.
void TakeMail(Mailbox& box, SlaveServer& server, const std::function<void(const std::string&)>& onLine) {
  char datagram[16];
  while (::recv(box.wake, datagram, sizeof datagram, 0) > 0) {
  }
  if (box.stop) {
    server.Stop();
    return;
  }
  std::deque<std::string> lines;
  {
    std::lock_guard<std::mutex> lock(box.mutex);
    lines.swap(box.lines);
  }
  for (const std::string& line : lines) onLine(line);
}

}  // namespace

bool WatchProgramInput(SlaveServer& server, std::function<void(const std::string& line)> onLine,
                       std::string& error) {
  mailbox = new Mailbox;  // see Mailbox
  if (!StartSockets() || !OpenWakeSocket(*mailbox)) {
    error = "cannot open the loopback socket that wakes the slave: " + SystemErrorText();
    return false;
  }
  if (!::SetConsoleCtrlHandler(OnConsoleControl, TRUE)) {
    error = "cannot take Ctrl+C: " + SystemErrorText();
    return false;
  }
  server.Watch(static_cast<Handle>(mailbox->wake),
               [&server, onLine = std::move(onLine)] { TakeMail(*mailbox, server, onLine); });
  mailbox->reader = ::CreateThread(nullptr, 0, ReadStandardInput, mailbox, 0, nullptr);
  if (mailbox->reader == nullptr) {
    error = "cannot read standard input: " + SystemErrorText();
    return false;
  }
  std::atexit(CancelReader);
  return true;
}

}  // namespace varnetik::slave
