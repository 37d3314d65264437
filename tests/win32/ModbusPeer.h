// A Modbus TCP server on 127.0.0.1 for the window's tests, on a thread of its own so that the window's
// thread can wait for it as it waits for a device. Its registers hold 3 x address at start; writes change
// them. A request for an address from kExceptionAddress up is answered with exception 2; a request for
// kSilentAddress is never answered.
#pragma once

#include <array>
#include <atomic>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/tcp/LoopbackPeer.h"

namespace varnetik::testing {

class ModbusPeer {
 public:
  static constexpr uint16_t kExceptionAddress = 60000;
  static constexpr uint16_t kSilentAddress = 50000;

  ModbusPeer() {
    StartSocketLayer();
    listener_.Reset(static_cast<SocketHandle>(::socket(AF_INET, SOCK_STREAM, 0)));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    ::bind(Native(listener_.Get()), reinterpret_cast<sockaddr*>(&address), length);
    ::listen(Native(listener_.Get()), 4);
    ::getsockname(Native(listener_.Get()), reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    for (size_t a = 0; a < registers_.size(); ++a) registers_[a] = static_cast<uint16_t>(3 * a);
    thread_ = std::thread([this] { Serve(); });
  }
  ~ModbusPeer() {
    stop_ = true;
    thread_.join();
  }
  uint16_t Port() const { return port_; }
  uint16_t Register(uint16_t address) {
    std::lock_guard<std::mutex> lock(mutex_);
    return registers_[address];
  }

 private:
  void Serve() {
    std::vector<std::unique_ptr<ScopedFd>> connections;
    while (!stop_) {
      PollEntry listen{Native(listener_.Get()), POLLIN, 0};
      if (PollSockets(&listen, 10) == 1) {
        connections.push_back(std::make_unique<ScopedFd>(AcceptNative(listener_.Get())));
      }
      for (auto& connection : connections) ServeOne(*connection);
    }
  }

  void ServeOne(ScopedFd& connection) {
    if (connection.Get() == kNoSocket) return;
    PollEntry watch{Native(connection.Get()), POLLIN, 0};
    if (PollSockets(&watch, 0) != 1) return;
    uint8_t header[7];
    if (!ReceiveExact(connection.Get(), header, 7)) {
      connection.Close();
      return;
    }
    const int length = header[4] << 8 | header[5];
    std::vector<uint8_t> pdu(static_cast<size_t>(std::max(0, length - 1)));
    if (!pdu.empty() && !ReceiveExact(connection.Get(), pdu.data(), static_cast<int>(pdu.size()))) {
      connection.Close();
      return;
    }
    const std::vector<uint8_t> answer = Answer(pdu);
    if (answer.empty()) return;
    std::vector<uint8_t> frame{header[0], header[1], 0, 0, static_cast<uint8_t>((answer.size() + 1) >> 8),
                               static_cast<uint8_t>(answer.size() + 1), header[6]};
    frame.insert(frame.end(), answer.begin(), answer.end());
    SendBytes(connection.Get(), frame);
  }

  static bool ReceiveExact(SocketHandle socket, uint8_t* bytes, int count) {
    int done = 0;
    while (done < count) {
      const int got = ::recv(Native(socket), reinterpret_cast<char*>(bytes + done), count - done, 0);
      if (got <= 0) return false;
      done += got;
    }
    return true;
  }

  std::vector<uint8_t> Answer(const std::vector<uint8_t>& pdu) {
    if (pdu.size() < 5) return {};
    const uint8_t function = pdu[0];
    const uint16_t address = static_cast<uint16_t>(pdu[1] << 8 | pdu[2]);
    const uint16_t quantity = static_cast<uint16_t>(pdu[3] << 8 | pdu[4]);
    if (address == kSilentAddress) return {};
    if (address >= kExceptionAddress) return {static_cast<uint8_t>(function | 0x80), 2};
    std::lock_guard<std::mutex> lock(mutex_);
    switch (function) {
      case 3:
      case 4: {
        std::vector<uint8_t> out{function, static_cast<uint8_t>(2 * quantity)};
        for (uint16_t k = 0; k < quantity; ++k) {
          const uint16_t value = registers_[static_cast<uint16_t>(address + k)];
          out.push_back(static_cast<uint8_t>(value >> 8));
          out.push_back(static_cast<uint8_t>(value));
        }
        return out;
      }
      case 6:
        registers_[address] = quantity;
        return std::vector<uint8_t>(pdu.begin(), pdu.begin() + 5);
      case 16:
        for (size_t k = 0; k < quantity && 7 + 2 * k < pdu.size(); ++k) {
          registers_[static_cast<uint16_t>(address + k)] = static_cast<uint16_t>(pdu[6 + 2 * k] << 8 | pdu[7 + 2 * k]);
        }
        return std::vector<uint8_t>(pdu.begin(), pdu.begin() + 5);
      default: return {static_cast<uint8_t>(function | 0x80), 1};
    }
  }

  ScopedFd listener_;
  uint16_t port_ = 0;
  std::array<uint16_t, 65536> registers_{};
  std::mutex mutex_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace varnetik::testing
