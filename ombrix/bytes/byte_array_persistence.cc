// ByteArray's state in a property bag: "LowIndex" and the bytes as "Text".
#include "ombrix/bytes/byte_array.h"

namespace ombrix {
namespace {

constexpr const char* kLowIndexKey = "LowIndex";
constexpr const char* kTextKey = "Text";

Variant DefaultLowIndex() { return Variant(int16_t{1}); }
Variant DefaultText() { return Variant(""); }

}  // namespace

void ByteArray::InitProperties() {
  low_index_ = 1;
  Count(0);
}

void ByteArray::ReadProperties(const PropertyBag& Bag) {
  low_index_ = Bag.ReadProperty(kLowIndexKey, DefaultLowIndex()).ToLong();
  Text(Bag.ReadProperty(kTextKey, DefaultText()).ToString());
}

void ByteArray::WriteProperties(PropertyBag& Bag) const {
  Bag.WriteProperty(kLowIndexKey, Variant(low_index_), DefaultLowIndex());
  Bag.WriteProperty(kTextKey, Variant(Text()), DefaultText());
}

std::shared_ptr<ByteArray> ByteArray::Load(const PropertyBag& Bag) {
  auto array = std::make_shared<ByteArray>(Private{});
  array->ReadProperties(Bag);
  return array;
}

}  // namespace ombrix
