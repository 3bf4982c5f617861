// The store through which persistable objects save and load their state:
// named values, read back with the kind they were written with.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "ombrix/frame/variant.h"

namespace ombrix {

/// The bag's contract; a concrete bag says where the values live by
/// implementing Find, Store and Erase.
class PropertyBag {
 public:
  virtual ~PropertyBag() = default;

  /// The value stored under Name, or Default when the bag has no such key.
  Variant ReadProperty(const std::string& Name, const Variant& Default) const;
  /// The value stored under Name; error 5 when the bag has no such key.
  Variant ReadProperty(const std::string& Name) const;
  /// Stores Value under Name; a Value equal to Default is not stored (any
  /// older value under Name goes), so a read with that Default gives it back.
  void WriteProperty(const std::string& Name, const Variant& Value, const Variant& Default);
  /// Stores Value under Name.
  void WriteProperty(const std::string& Name, const Variant& Value);

 protected:
  /// The value under Name, or nullptr when there is none.
  virtual const Variant* Find(const std::string& Name) const = 0;
  /// Stores Value under Name, replacing what was there.
  virtual void Store(const std::string& Name, const Variant& Value) = 0;
  /// Removes Name and its value, if present.
  virtual void Erase(const std::string& Name) = 0;
};

/// The key of the index-th item of a collection: the word, then the index
/// in decimal ("Start0", "Text1"), as every persistable collection names them.
std::string IndexedKey(std::string_view Word, size_t Index);

}  // namespace ombrix
