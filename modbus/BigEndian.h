// The byte order of every 16-bit field in a Modbus frame: high byte first.
#pragma once

#include <cstdint>

namespace varnetik {

inline void PutU16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value >> 8);
  at[1] = static_cast<uint8_t>(value & 0xFF);
}

inline uint16_t GetU16(const uint8_t* at) { return static_cast<uint16_t>((at[0] << 8) | at[1]); }

}  // namespace varnetik
