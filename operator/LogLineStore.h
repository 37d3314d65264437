// The lines of the window's log, kept compactly: their UTF-8 bytes one after the other in large chunks and,
// per line, where it starts and how long it is, in blocks of a fixed size. Nothing already stored is ever
// moved or copied again, so an append costs the same for the millionth line as for the first, and memory
// stays close to the bytes of the lines (a log of a million 200-byte dumps takes about 212 MB, not the
// 500 MB and more of a string object per line). Lines are removed only all at once. Plain C++, so that the
// Qt window and the Win32 window keep their logs alike.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace varnetik {

class LogLineStore {
 public:
  LogLineStore() = default;
  LogLineStore(const LogLineStore&) = delete;
  LogLineStore& operator=(const LogLineStore&) = delete;

  void Append(std::string_view utf8Line);
  void Clear();
  int64_t Count() const { return count_; }
  // The bytes of line `index` (0 <= index < Count()); valid until Clear().
  std::string_view Line(int64_t index) const;

 private:
  struct Place {
    uint32_t chunk;
    uint32_t offset;
    uint32_t length;
  };
  static constexpr size_t kChunkBytes = size_t{1} << 20;
  static constexpr int64_t kPlacesPerBlock = 1 << 16;

  char* Reserve(size_t length, Place& place);

  std::vector<std::unique_ptr<char[]>> chunks_;
  size_t lastChunkSize_ = 0;  // capacity of chunks_.back(): a line longer than a chunk gets one of its own
  size_t lastChunkUsed_ = 0;
  std::vector<std::unique_ptr<Place[]>> places_;
  int64_t count_ = 0;
};

}  // namespace varnetik
