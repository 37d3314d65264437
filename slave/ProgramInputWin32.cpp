#include <winsock2.h>
#include <ws2tcpip.h>

#include <atomic>
#include <deque>
#include <iostream>
#include <memory>
#include <mutex>
#include <thread>

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

  void Wake() {
    ::sendto(wake, "w", 1, 0, reinterpret_cast<const sockaddr*>(&address), sizeof address);
  }
};

Mailbox* mailbox = nullptr;

BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
  mailbox->stop = true;
  mailbox->Wake();
  return TRUE;
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

void ReadStandardInput(Mailbox* box) {
  for (std::string line; std::getline(std::cin, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    {
      std::lock_guard<std::mutex> lock(box->mutex);
      box->lines.push_back(std::move(line));
    }
    box->Wake();
  }
}

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
  std::thread(ReadStandardInput, mailbox).detach();
  return true;
}

}  // namespace varnetik::slave
