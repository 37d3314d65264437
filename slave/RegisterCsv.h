// Holding registers to and from a CSV file in the format the window's "Tabelle als CSV speichern..."
// writes: the header "Adresse;Adresse dez.;Hex;Dezimal", then "0x000A;10;$00FF;255" per register, ";"
// between the fields, CR LF after every line. So a table read from a device can start a slave, and what
// a slave held can be looked at like an export.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace varnetik::slave {

// Sets the registers a file lists; the others keep their values. A line may end in LF alone. On failure
// returns false with the file name, the line number and what is wrong in error.
bool LoadRegisterCsv(const std::string& path, std::vector<uint16_t>& holding, std::string& error);

// Writes every register that is not 0, in address order, replacing the file only once the whole new one
// is written. On failure returns false with the reason in error.
bool SaveRegisterCsv(const std::string& path, const std::vector<uint16_t>& holding, std::string& error);

}  // namespace varnetik::slave
