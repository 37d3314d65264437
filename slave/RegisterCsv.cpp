#include "slave/RegisterCsv.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace varnetik::slave {

namespace {

constexpr char kHeader[] = "Adresse;Adresse dez.;Hex;Dezimal";
constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
// A field longer than this is shown cut, so that a line of garbage does not flood the message.
constexpr size_t kShownFieldLength = 40;

bool ParseUnsigned(const std::string& text, int base, uint32_t& number) {
  const char* end = text.data() + text.size();
  auto [at, failure] = std::from_chars(text.data(), end, number, base);
  return failure == std::errc() && at == end && !text.empty() && number <= 0xFFFF;
}

std::string Shown(const std::string& field) {
  if (field.size() <= kShownFieldLength) return "'" + field + "'";
  return "'" + field.substr(0, kShownFieldLength) + "...'";
}

// One pair of columns, e.g. "0x000A" / "10": the prefixed hexadecimal and the decimal field must say the
// same number, so that a file edited in one column only is not read with a guess.
bool ParsePair(const std::string& hex, const std::string& decimal, const char* prefix, const char* what,
               const char* columns, uint16_t& number, std::string& error) {
  const std::string digits = hex.rfind(prefix, 0) == 0 ? hex.substr(std::strlen(prefix)) : std::string();
  uint32_t hexNumber = 0, decimalNumber = 0;
  const bool hexRead = !digits.empty() && ParseUnsigned(digits, 16, hexNumber);
  const bool decimalRead = ParseUnsigned(decimal, 10, decimalNumber);
  if (!hexRead) {
    error = std::string(what) + " " + Shown(hex) + " is not " + prefix + " and 1 to 4 hexadecimal digits (0 to 65535)";
  } else if (!decimalRead) {
    error = std::string(what) + " " + Shown(decimal) + " is not a decimal number from 0 to 65535";
  } else if (hexNumber != decimalNumber) {
    char said[16];
    std::snprintf(said, sizeof said, "%s%04X", prefix, hexNumber);
    error = std::string(what) + " " + Shown(hex) + " / " + Shown(decimal) + ": " + columns + " disagree (" + said +
            " is " + std::to_string(hexNumber) + ")";
  } else {
    number = static_cast<uint16_t>(decimalNumber);
    return true;
  }
  return false;
}

// "0x000A;10;$00FF;255"
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
  return ParsePair(fields[0], fields[1], "0x", "address", "Adresse and Adresse dez.", address, what) &&
         ParsePair(fields[2], fields[3], "$", "value", "Hex and Dezimal", value, what);
}

std::string Row(uint16_t address, uint16_t value) {
  char line[48];
  std::snprintf(line, sizeof line, "0x%04X;%u;$%04X;%u\r\n", address, address, value, value);
  return line;
}

bool WriteWhole(const std::string& path, const std::string& bytes, std::string& error) {
  const std::string temporary = path + ".part";
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  bool written = file != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  const int writeError = errno;
  if (file != nullptr) written = std::fclose(file) == 0 && written;
  // std::filesystem's rename replaces an existing file on Windows too, where std::rename refuses.
  std::error_code renameFailure;
  if (written) std::filesystem::rename(temporary, path, renameFailure);
  if (written && !renameFailure) return true;
  error = path + ": " + (written ? renameFailure.message() : std::strerror(writeError));
  if (file != nullptr) std::remove(temporary.c_str());
  return false;
}

}  // namespace

bool ParseRegisterCsv(const std::string& text, std::vector<uint16_t>& holding, size_t& rows, std::string& error,
                      uint16_t maxValue) {
  rows = 0;
  std::istringstream lines(text);
  std::string line;
  int blankLine = 0;  // the first blank line met, refused unless nothing but blank lines follows
  int number = 1;
  for (; std::getline(lines, line); ++number) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (number == 1 && line.rfind(kByteOrderMark, 0) == 0) line.erase(0, std::strlen(kByteOrderMark));
    if (number == 1) {
      if (line == kHeader) continue;
      error = "line 1: the header \"" + std::string(kHeader) + "\" expected";
      return false;
    }
    if (line.empty()) {
      if (blankLine == 0) blankLine = number;
      continue;
    }
    std::string what = "an empty line; only the last one may be";
    uint16_t address = 0;
    uint16_t value = 0;
    const bool read = blankLine == 0 && ParseRow(line, address, value, what);
    if (read && value > maxValue) {
      what = "value " + std::to_string(value) + " is not 0 or 1, as a coil or discrete input holds";
    } else if (read) {
      holding[address] = value;
      ++rows;
      continue;
    }
    error = "line " + std::to_string(blankLine != 0 ? blankLine : number) + ": " + what;
    return false;
  }
  if (number == 1) {
    error = "the file is empty; it must start with the header \"" + std::string(kHeader) + "\"";
    return false;
  }
  return true;
}

bool LoadRegisterCsv(const std::string& path, std::vector<uint16_t>& holding, size_t& rows, std::string& error,
                     uint16_t maxValue) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) {
    error = path + ": is a directory, not a register file";
    return false;
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = path + ": " + std::strerror(errno);
    return false;
  }
  std::ostringstream text;
  text << file.rdbuf();
  if (!ParseRegisterCsv(text.str(), holding, rows, error, maxValue)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

bool CheckSavePath(const std::string& path, std::string& error) {
  std::error_code ignored;
  if (std::filesystem::is_directory(path, ignored)) {
    error = path + ": is a directory";
    return false;
  }
  // The file itself is left as it is: --load and --save may name the same one.
  const std::string temporary = path + ".part";
  std::FILE* file = std::fopen(temporary.c_str(), "ab");
  if (file == nullptr) {
    error = path + ": cannot be written (" + std::strerror(errno) + ")";
    return false;
  }
  std::fclose(file);
  std::remove(temporary.c_str());
  return true;
}

std::string RegisterCsvText(const std::vector<uint16_t>& holding, size_t& rows) {
  rows = 0;
  std::string bytes = std::string(kHeader) + "\r\n";
  for (size_t address = 0; address < holding.size(); ++address) {
    if (holding[address] == 0) continue;
    bytes += Row(static_cast<uint16_t>(address), holding[address]);
    ++rows;
  }
  return bytes;
}

bool SaveRegisterCsv(const std::string& path, const std::vector<uint16_t>& holding, std::string& error) {
  size_t rows = 0;
  return WriteWhole(path, RegisterCsvText(holding, rows), error);
}

std::string SaveRegisterCsvCopy(const std::string& path, const std::vector<uint16_t>& holding, std::string& error) {
  size_t rows = 0;
  const std::string bytes = RegisterCsvText(holding, rows);
  const std::string beside = path + ".unsaved";
  std::string besideError;
  if (WriteWhole(beside, bytes, besideError)) return beside;
  std::error_code noTemporary;
  const std::filesystem::path folder = std::filesystem::temp_directory_path(noTemporary);
  const std::string name = std::filesystem::path(path).filename().string() + ".unsaved";
  const std::string inTemporary = (folder / name).string();
  std::string temporaryError = noTemporary ? noTemporary.message() : "";
  if (!noTemporary && WriteWhole(inTemporary, bytes, temporaryError)) return inTemporary;
  error = besideError + "; " + temporaryError;
  return "";
}

}  // namespace varnetik::slave
