#include "slave/RegisterCsv.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace varnetik::slave {

namespace {

constexpr char kHeader[] = "Adresse;Adresse dez.;Hex;Dezimal";

bool ParseUnsigned(const std::string& text, int base, uint32_t& number) {
  const char* end = text.data() + text.size();
  auto [at, failure] = std::from_chars(text.data(), end, number, base);
  return failure == std::errc() && at == end && !text.empty() && number <= 0xFFFF;
}

// "0x000A;10;$00FF;255": the hexadecimal and the decimal field of each pair must agree, so that a file
// edited in one column only is not read with a guess.
bool ParseRow(const std::string& line, uint16_t& address, uint16_t& value, std::string& what) {
  if (std::count(line.begin(), line.end(), ';') != 3) {
    what = "4 fields separated by ';' expected";
    return false;
  }
  std::array<std::string, 4> fields;
  for (size_t k = 0, begin = 0; k < fields.size(); ++k) {
    const size_t end = line.find(';', begin);
    fields[k] = line.substr(begin, end - begin);
    begin = end + 1;
  }
  uint32_t hexAddress = 0, decimalAddress = 0, hexValue = 0, decimalValue = 0;
  if (fields[0].rfind("0x", 0) != 0 || !ParseUnsigned(fields[0].substr(2), 16, hexAddress) ||
      !ParseUnsigned(fields[1], 10, decimalAddress) || hexAddress != decimalAddress) {
    what = "address '" + fields[0] + "' / '" + fields[1] + "' is not one address from 0 to 65535";
    return false;
  }
  if (fields[2].rfind('$', 0) != 0 || !ParseUnsigned(fields[2].substr(1), 16, hexValue) ||
      !ParseUnsigned(fields[3], 10, decimalValue) || hexValue != decimalValue) {
    what = "value '" + fields[2] + "' / '" + fields[3] + "' is not one value from 0 to 65535";
    return false;
  }
  address = static_cast<uint16_t>(decimalAddress);
  value = static_cast<uint16_t>(decimalValue);
  return true;
}

std::string Row(uint16_t address, uint16_t value) {
  char line[48];
  std::snprintf(line, sizeof line, "0x%04X;%u;$%04X;%u\r\n", address, address, value, value);
  return line;
}

}  // namespace

bool LoadRegisterCsv(const std::string& path, std::vector<uint16_t>& holding, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  std::string line;
  for (int number = 1; std::getline(file, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string what;
    if (number == 1) {
      if (line == kHeader) continue;
      what = std::string("the header \"") + kHeader + "\" expected";
    }
    uint16_t address = 0;
    uint16_t value = 0;
    if (what.empty() && ParseRow(line, address, value, what)) {
      holding[address] = value;
      continue;
    }
    error = path + ", line " + std::to_string(number) + ": " + what;
    return false;
  }
  return true;
}

bool SaveRegisterCsv(const std::string& path, const std::vector<uint16_t>& holding, std::string& error) {
  std::string bytes = std::string(kHeader) + "\r\n";
  for (size_t address = 0; address < holding.size(); ++address) {
    if (holding[address] != 0) bytes += Row(static_cast<uint16_t>(address), holding[address]);
  }
  const std::string temporary = path + ".part";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  bool written = file != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  if (file != nullptr) written = std::fclose(file) == 0 && written;
  // std::filesystem's rename replaces an existing file on Windows too, where std::rename refuses.
  std::error_code renameFailure;
  if (written) std::filesystem::rename(temporary, path, renameFailure);
  if (written && !renameFailure) return true;
  error = path + ": " + (written ? renameFailure.message() : std::strerror(errno));
  if (file != nullptr) std::remove(temporary.c_str());
  return false;
}

}  // namespace varnetik::slave
