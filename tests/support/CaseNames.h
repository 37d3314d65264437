// The one namer of table rows: a parameterised case is named after the name field of its row (give the
// row a PrintTo printing that name too), so that one row can be run alone, e.g. --gtest_filter=*/Values124.
#pragma once

#include <string>

namespace varnetik::testing {

inline constexpr auto ByName = [](const auto& info) { return std::string(info.param.name); };

}  // namespace varnetik::testing
