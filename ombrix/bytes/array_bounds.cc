#include "ombrix/bytes/array_bounds.h"

#include "ombrix/bytes/byte_array.h"
#include "ombrix/frame/wrap_internal.h"

namespace ombrix {

std::shared_ptr<ArrayBounds> ArrayBounds::Make() {
  return std::make_shared<ArrayBounds>(Private{});
}

std::shared_ptr<ArrayBounds> ArrayBounds::Make(int32_t low_index, int32_t count) {
  auto bounds = Make();
  bounds->SetLowIndex(low_index);
  bounds->SetCount(count);
  return bounds;
}

int32_t ArrayBounds::HighIndex() const noexcept { return detail::WrapHigh(low_index_, count_); }

void ArrayBounds::SetHighIndex(int32_t Value) noexcept {
  count_ = detail::WrapAdd(detail::WrapSub(Value, low_index_), 1);
}

std::shared_ptr<ombrix::ByteArray> ArrayBounds::ByteArray(uint8_t Pattern) const {
  auto array = ombrix::ByteArray::New();
  array->Count(count_);
  array->LowIndex(low_index_);
  array->Fill(Pattern);
  return array;
}

}  // namespace ombrix
