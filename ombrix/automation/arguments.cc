#include <algorithm>
#include <cctype>

#include "ombrix/automation/arguments_internal.h"

namespace ombrix::automation::detail {

bool SameName(std::string_view wanted, const char* name) noexcept {
  size_t k = 0;
  for (; k < wanted.size(); ++k) {
    if (name[k] == '\0' || Folded(wanted[k]) != Folded(name[k])) return false;
  }
  return name[k] == '\0';
}

const Variant& VariantOf(const Value& value) {
  const Variant* variant = value.AsVariant();
  if (variant == nullptr) Raise(errors::kTypeMismatch);
  return *variant;
}

int32_t LongOf(const Value& value) { return VariantOf(value).ToLong(); }

uint8_t ByteOf(const Value& value) { return VariantOf(value).ToByte(); }

bool BooleanOf(const Value& value) {
  const Variant& variant = VariantOf(value);
  if (variant.IsBoolean()) return variant == Variant(true);
  if (variant.IsString()) {
    std::string text = variant.ToString();
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (text == "true") return true;
    if (text == "false") return false;
  }
  return variant.ToDouble() != 0;
}

double DoubleOf(const Value& value) { return VariantOf(value).ToDouble(); }

std::string StringOf(const Value& value) { return VariantOf(value).ToString(); }

const Object& ObjectOf(const Value& value) {
  const Object* object = value.AsObject();
  if (object == nullptr) Raise(errors::kTypeMismatch);
  if (object->IsNothing()) Raise(errors::kObjectNotSet);
  return *object;
}

std::shared_ptr<IByteArray> ByteArrayOf(const Value& value) {
  auto array = ObjectOf(value).ByteArrayInterface();
  if (!array) Raise(errors::kTypeMismatch);
  return array;
}

}  // namespace ombrix::automation::detail
