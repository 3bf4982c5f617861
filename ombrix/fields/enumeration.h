// Enumeration: an ordered list of text/value pairs, looked up in both
// directions; the first match wins. Creatable and persistable.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "ombrix/frame/enumerator.h"
#include "ombrix/frame/property_bag.h"

namespace ombrix {

/// Text and value pairs, looked up either way.
class Enumeration final {
  struct Private {
    explicit Private() = default;
  };

 public:
  /// Made by New(): the tag keeps other code from making one.
  explicit Enumeration(Private) {}
  Enumeration(const Enumeration&) = delete;
  Enumeration& operator=(const Enumeration&) = delete;

  /// A new, empty list.
  static std::shared_ptr<Enumeration> New();
  /// A new list read from Bag (see ReadProperties).
  static std::shared_ptr<Enumeration> Load(const PropertyBag& Bag);

  /// The number of pairs.
  int32_t Count() const noexcept { return static_cast<int32_t>(texts_.size()); }
  /// The text of pair Index (1..Count); error 9 otherwise.
  ///@{
  const std::string& Item(int32_t Index) const;
  const std::string& operator[](int32_t Index) const { return Item(Index); }
  ///@}
  /// Removes pair Index; later pairs move down. Error 9 outside 1..Count.
  void Remove(int32_t Index);
  /// Removes every pair.
  void Clear() noexcept;
  /// An enumerator over the texts, in order, as they are now.
  std::shared_ptr<Enumerator<std::string>> NewEnum() const;
  /// Range-for over the texts, as they are when the loop starts
  /// (hold the collection in a variable: `for (x : *f())` loses f's result first).
  ///@{
  Enumerator<std::string>::Iterator begin() const;
  std::default_sentinel_t end() const noexcept { return {}; }
  ///@}
  /// Appends a pair; repeats and empty texts are accepted.
  void Add(std::string Text, int32_t Value);
  /// The text of the first pair with this value; error 9 when none has it.
  const std::string& Text(int32_t Value) const;
  /// The value of the first pair with exactly this text; error 9 when none has it.
  int32_t Value(const std::string& Text) const;
  /// The text of the first pair with this value, or none.
  std::optional<std::string> FindText(int32_t Value) const;
  /// The value of the first pair with exactly this text, or none.
  std::optional<int32_t> FindValue(const std::string& Text) const;

  /// Gives a new list its initial state: no pairs.
  void InitProperties() noexcept { Clear(); }
  /// Reads "Count" then "Text1", "Value1", ... from Bag, adding each pair;
  /// a missing key (error 5) or a bad value (6, 13) stops the load, keeping
  /// the pairs read before it.
  void ReadProperties(const PropertyBag& Bag);
  /// Writes "Count" (left out when 0) and every pair's "TextN" and "ValueN".
  void WriteProperties(PropertyBag& Bag) const;

 private:
  // The first position (0-based) of each value and of each text: lookups
  // give exactly what a scan from position 1 gives, without scanning. Add
  // keeps it; Remove shifts positions, so it is rebuilt on the next lookup.
  struct FirstPositions {
    std::unordered_map<int32_t, size_t> by_value;
    std::unordered_map<std::string, size_t> by_text;
  };
  const FirstPositions& Index() const;
  // The 0-based position of the first pair with this value or text, if any.
  std::optional<size_t> FirstWithValue(int32_t value) const;
  std::optional<size_t> FirstWithText(const std::string& text) const;

  std::vector<std::string> texts_;
  std::vector<int32_t> values_;
  mutable FirstPositions index_;
  mutable bool index_stale_ = false;
};

}  // namespace ombrix
