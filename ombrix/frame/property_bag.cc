#include "ombrix/frame/property_bag.h"

namespace ombrix {

Variant PropertyBag::ReadProperty(const std::string& Name, const Variant& Default) const {
  const Variant* value = Find(Name);
  return value != nullptr ? *value : Default;
}

Variant PropertyBag::ReadProperty(const std::string& Name) const {
  const Variant* value = Find(Name);
  if (value == nullptr) Raise(errors::kInvalidArgument);
  return *value;
}

void PropertyBag::WriteProperty(const std::string& Name, const Variant& Value,
                                const Variant& Default) {
  if (Value == Default) {
    Erase(Name);
  } else {
    Store(Name, Value);
  }
}

void PropertyBag::WriteProperty(const std::string& Name, const Variant& Value) {
  Store(Name, Value);
}

std::string IndexedKey(std::string_view Word, size_t Index) {
  return std::string(Word) + std::to_string(Index);
}

}  // namespace ombrix
