// BigEndian: a numeric field stored high-order byte first (Motorola order),
// its bits numbered from the most significant bit of the first byte.
#pragma once

#include <memory>

#include "ombrix/fields/detail/numeric_field.h"

namespace ombrix {

/// A numeric field stored high-order byte first (Motorola order).
class BigEndian final : public detail::OrderedField<detail::ByteOrder::kMotorola> {
  struct Private {
    explicit Private() = default;
  };

 public:
  /// Made by New(): the tag keeps other code from making one.
  explicit BigEndian(Private) {}
  /// A new, unbound item.
  static std::shared_ptr<BigEndian> New();
};

}  // namespace ombrix
