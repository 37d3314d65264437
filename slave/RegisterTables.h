// The four tables of a unit by the short names the command line and the commands use for them: hr
// (holding registers), ir (input registers), co (coils), di (discrete inputs).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "slave/SlaveFrames.h"

namespace varnetik::slave {

enum class Table { Holding, Input, Coils, DiscreteInputs };

// "hr", "ir", "co", "di"
const char* TableName(Table table);
// "registers", "input registers", "coils", "discrete inputs": what a count of its entries is called.
const char* TableEntries(Table table);
// False for any other text than the four short names.
bool ParseTableName(const std::string& text, Table& table);

// The highest value an entry can hold: 65535, or 1 for a bit.
uint16_t TableMaxValue(Table table);

std::vector<uint16_t>& TableValues(RegisterMap& registers, Table table);
const std::vector<uint16_t>& TableValues(const RegisterMap& registers, Table table);

}  // namespace varnetik::slave
