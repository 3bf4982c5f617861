// Internal: a double as the shortest decimal text that reads back to the
// same double ("0.01", "-40", "1e+300"), as data files write numbers.
#pragma once

#include <string>

namespace ombrix::detail {

/// The shortest text std::from_chars reads back to `value`; "inf", "-inf"
/// or "nan" for those.
std::string ShortestNumber(double value);

/// The decimals of ShortestNumber(value) in fixed notation ("0.25" has 2,
/// "1e+20" none), at most 15.
int DecimalsOf(double value);

}  // namespace ombrix::detail
