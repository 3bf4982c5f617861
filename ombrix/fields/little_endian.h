// LittleEndian: a numeric field stored low-order byte first (Intel order),
// its bits numbered from the least significant bit of the first byte.
#pragma once

#include <memory>

#include "ombrix/fields/detail/numeric_field.h"

namespace ombrix {

/// A numeric field stored low-order byte first (Intel order).
class LittleEndian final : public detail::OrderedField<detail::ByteOrder::kIntel> {
  struct Private {
    explicit Private() = default;
  };

 public:
  /// Made by New(): the tag keeps other code from making one.
  explicit LittleEndian(Private) {}
  /// A new, unbound item.
  static std::shared_ptr<LittleEndian> New();
};

}  // namespace ombrix
