// A property bag that keeps its keys and values in memory, in the order
// they were first written.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ombrix/frame/property_bag.h"

namespace ombrix {

/// A property bag held in memory.
class MemoryPropertyBag : public PropertyBag {
 protected:
  /// The tag that keeps construction to New() and to derived bags.
  struct Private {
    explicit Private() = default;
  };

 public:
  /// Made by New(): the tag keeps other code from making one.
  explicit MemoryPropertyBag(Private) {}
  /// A new, empty bag.
  static std::shared_ptr<MemoryPropertyBag> New();

  /// The keys held, in the order they were first written.
  std::vector<std::string> Keys() const;

 protected:
  const Variant* Find(const std::string& Name) const override;
  void Store(const std::string& Name, const Variant& Value) override;
  void Erase(const std::string& Name) override;

 private:
  struct Entry {
    Variant value;
    uint64_t order;  // when the key was first written
  };
  std::map<std::string, Entry> entries_;
  uint64_t next_order_ = 0;
};

}  // namespace ombrix
