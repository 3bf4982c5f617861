// A property bag kept in memory and saved to or loaded from a JSON file:
// one object whose members are the bag's keys, in the order they were
// written. Integers stay integers and texts stay texts.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "ombrix/frame/memory_property_bag.h"

namespace ombrix::formats {

/// A property bag read from and written to JSON text.
class JsonPropertyBag final : public MemoryPropertyBag {
 public:
  /// Made by New(): the tag keeps other code from making one.
  explicit JsonPropertyBag(Private tag) : MemoryPropertyBag(tag) {}

  /// The deepest that values may nest (objects and arrays within the
  /// top-level object); deeper text is refused, as no property needs it.
  static constexpr int kMaxDepth = 100;

  /// A new, empty bag.
  static std::shared_ptr<JsonPropertyBag> New();
  /// The bag saved in the file; FileError, with the line where it can be
  /// told, for text that is not JSON, a JSON value that is not an object of
  /// properties, or values nested deeper than kMaxDepth.
  static std::shared_ptr<JsonPropertyBag> Load(const std::string& path);
  /// The same from a text; `name` is the file named in errors.
  static std::shared_ptr<JsonPropertyBag> Parse(std::string_view text, const std::string& name);

  /// The bag as JSON text.
  std::string Text() const;
  /// Writes the bag to the file atomically.
  void Save(const std::string& path) const;
};

}  // namespace ombrix::formats
