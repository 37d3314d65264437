// A count and a failure code do not turn into each other unasked: each way round must be written out.
#include <concepts>
#include <cstdint>
#include <type_traits>

#include "modbus/ResultCode.h"

namespace varnetik {
namespace {

static_assert(!std::is_convertible_v<int64_t, ResultCode>);
static_assert(!std::is_convertible_v<int, ResultCode>);
static_assert(!std::is_convertible_v<ResultCode, int64_t>);
static_assert(!std::is_convertible_v<ResultCode, bool>);
static_assert(!std::equality_comparable_with<ResultCode, int64_t>);
static_assert(!std::totally_ordered_with<ResultCode, int>);

}  // namespace
}  // namespace varnetik
