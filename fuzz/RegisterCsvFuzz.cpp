// The --load reader with any file content. A file it takes must come back the same through the --save
// writer; a file it refuses must be named by its line or as empty, in a message of bounded length
// (fields are shown cut to 40 characters).
//
// Input: the file's bytes.
#include <algorithm>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "slave/RegisterCsv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace varnetik;
  static std::vector<uint16_t> holding(65536);
  const std::string text(reinterpret_cast<const char*>(data), size);
  size_t rows = 0;
  std::string error;
  if (slave::ParseRegisterCsv(text, holding, rows, error)) {
    FUZZ_CHECK(error.empty() && rows <= static_cast<size_t>(std::count(text.begin(), text.end(), '\n')));
    size_t saved = 0;
    const std::string again = slave::RegisterCsvText(holding, saved);
    std::vector<uint16_t> reread(65536);
    size_t rereadRows = 0;
    FUZZ_CHECK(slave::ParseRegisterCsv(again, reread, rereadRows, error) && rereadRows == saved);
    FUZZ_CHECK(reread == holding);
  } else {
    FUZZ_CHECK(error.rfind("line ", 0) == 0 || error.rfind("the file is empty", 0) == 0);
    FUZZ_CHECK(error.size() < 300);
  }
  // Rows read before a refusal stay set too.
  if (rows > 0) std::fill(holding.begin(), holding.end(), 0);
  return 0;
}
