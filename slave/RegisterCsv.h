// A table of registers (or of coils or discrete inputs, with values 0 and 1) to and from a CSV file in the
// format the window's "Tabelle als CSV speichern..." writes: the header "Adresse;Adresse dez.;Hex;Dezimal",
// then "0x000A;10;$00FF;255" per register, ";" between the fields, CR LF after every line. So a table read
// from a device can start a slave, and what a slave held can be looked at like an export.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varnetik::slave {

// Sets the registers the text of such a file lists; the others keep their values. A line may end in LF
// alone, a UTF-8 byte-order mark may stand before the header and the last line may be blank; a text
// without the header (an empty one too) is refused. On failure returns false with the line number and
// what is wrong in error, a field shown cut to 40 characters. rows: how many registers it set. A value
// above maxValue (1 for a table of bits) is refused.
bool ParseRegisterCsv(const std::string& text, std::vector<uint16_t>& holding, size_t& rows, std::string& error,
                      uint16_t maxValue = 0xFFFF);

// The same from a file; a directory or an empty file is refused. error starts with the path.
bool LoadRegisterCsv(const std::string& path, std::vector<uint16_t>& holding, size_t& rows, std::string& error,
                     uint16_t maxValue = 0xFFFF);

// Whether path can take the file at exit, tried without touching a file already there: not a directory,
// and its folder lets a file be created beside it (the save writes PATH.part and renames it).
bool CheckSavePath(const std::string& path, std::string& error);

// The text SaveRegisterCsv writes: every register that is not 0, in address order. rows: how many.
std::string RegisterCsvText(const std::vector<uint16_t>& holding, size_t& rows);

// Writes RegisterCsvText, replacing the file only once the whole new one is written. On failure returns
// false with the reason in error.
bool SaveRegisterCsv(const std::string& path, const std::vector<uint16_t>& holding, std::string& error);

// Where the registers go when path cannot take them at exit: PATH.unsaved beside it, or else a file of
// that name in the temporary folder. The path written, or "" with the reasons in error.
std::string SaveRegisterCsvCopy(const std::string& path, const std::vector<uint16_t>& holding, std::string& error);

}  // namespace varnetik::slave
