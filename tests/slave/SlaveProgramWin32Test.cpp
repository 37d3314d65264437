// varnetik-slave.exe as a program of its own under Windows: serving a COM port of the null-modem pair
// that scripts/test-windows provides, and a listener that no other program can share.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "modbus/RtuTransactions.h"
#include "serial/RtuLink.h"
#include "tcp/Socket.h"
#include "tests/serial/ComPeerWin32.h"

namespace varnetik {
namespace {

// The slave with its standard output on a pipe and standard input on a pipe that is never written.
// Ended with the test.
class SlaveProgram {
 public:
  explicit SlaveProgram(const std::string& arguments) {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE outputWrite = nullptr;
    HANDLE inputRead = nullptr;
    if (!::CreatePipe(&output_, &outputWrite, &inheritable, 0)) return;
    if (!::CreatePipe(&inputRead, &input_, &inheritable, 0)) return;
    ::SetHandleInformation(output_, HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(input_, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inputRead;
    startup.hStdOutput = outputWrite;
    startup.hStdError = outputWrite;
    std::string command = std::string("\"") + VARNETIK_SLAVE_BINARY + "\" " + arguments;
    ::CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process_);
    ::CloseHandle(outputWrite);
    ::CloseHandle(inputRead);
  }
  SlaveProgram(const SlaveProgram&) = delete;
  SlaveProgram& operator=(const SlaveProgram&) = delete;
  ~SlaveProgram() {
    if (process_.hProcess != nullptr) {
      ::TerminateProcess(process_.hProcess, 0);
      ::WaitForSingleObject(process_.hProcess, 5000);
      ::CloseHandle(process_.hProcess);
      ::CloseHandle(process_.hThread);
    }
    ::CloseHandle(input_);
    ::CloseHandle(output_);
  }

  // The first line of its output that begins with prefix, without the line end; empty when none came
  // within 20 s (the first program of a run waits for Wine's services).
  std::string LineStartingWith(const std::string& prefix) {
    const ULONGLONG end = ::GetTickCount64() + 20000;
    for (;;) {
      for (size_t at = text_.find('\n'); at != std::string::npos; at = text_.find('\n')) {
        std::string line = text_.substr(0, at);
        text_.erase(0, at + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind(prefix, 0) == 0) return line;
      }
      DWORD waiting = 0;
      if (!::PeekNamedPipe(output_, nullptr, 0, nullptr, &waiting, nullptr) || ::GetTickCount64() > end) return "";
      if (waiting == 0) {
        ::Sleep(10);
        continue;
      }
      char piece[256];
      DWORD got = 0;
      if (!::ReadFile(output_, piece, sizeof piece, &got, nullptr)) return "";
      text_.append(piece, got);
    }
  }

 private:
  PROCESS_INFORMATION process_{};
  HANDLE input_ = nullptr;
  HANDLE output_ = nullptr;
  std::string text_;
};

// The slave opens its port 8-bit clean (the value holds XON and XOFF) and its reads return at once with
// the bytes that are there.
TEST(SlaveProgramWin32, ServesAComPort) {
  testing::ComPair pair;
  ASSERT_TRUE(testing::ComPairFromEnvironment(pair)) << "VARNETIK_COM_PAIR names no COM port pair";
  SlaveProgram slave("--port " + pair.peer);
  // The banner goes on with the silence that ends a request, which depends on the baud rate.
  const std::string banner = slave.LineStartingWith("RTU ");
  ASSERT_EQ(banner.rfind("RTU " + pair.peer + " 9600 8N1, unit 1, gap ", 0), 0u) << banner;
  RtuLink link;
  link.portName = pair.link;
  ASSERT_TRUE(link.RtuOpenPort());
  RtuTransactionContext context = link.TransactionContext(1);
  ASSERT_EQ(RtuWriteSingleRegister(context, RtuPrepareWriteSingle(context, 7, 0x1311)),
            ResultCode::Success(1));
  std::vector<uint16_t> registers;
  ASSERT_EQ(RtuReadRegisters(context, RtuPrepareRead(context, 0x03, 7, 1), registers),
            ResultCode::Success(1));
  EXPECT_EQ(registers[0], 0x1311);
}

// Without SO_EXCLUSIVEADDRUSE, Windows lets another program bind the slave's address with SO_REUSEADDR
// and take connections meant for the slave.
TEST(SlaveProgramWin32, ListenerCannotBeTakenOver) {
  SlaveProgram slave("--listen 127.0.0.1:0 --quiet");
  const std::string line = slave.LineStartingWith("listening on 127.0.0.1:");
  ASSERT_FALSE(line.empty());
  ASSERT_TRUE(StartSocketLayer());
  const SOCKET intruder = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  ASSERT_NE(intruder, INVALID_SOCKET);
  const BOOL reuse = TRUE;
  ::setsockopt(intruder, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<u_short>(std::stoi(line.substr(line.rfind(':') + 1))));
  EXPECT_NE(::bind(intruder, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ::closesocket(intruder);
}

}  // namespace
}  // namespace varnetik
