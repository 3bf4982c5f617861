#include "ombrix/bytes/byte_array_trail.h"

#include <utility>

#include "ombrix/bytes/byte_array_interval.h"
#include "ombrix/frame/wrap_internal.h"

namespace ombrix {

std::shared_ptr<ByteArrayTrail> ByteArrayTrail::Make(std::shared_ptr<ByteArray> parent,
                                                     int32_t offset) {
  auto trail = std::make_shared<ByteArrayTrail>(Private{});
  trail->Attach(std::move(parent), offset);
  return trail;
}

void ByteArrayTrail::Attach(std::shared_ptr<ByteArray> Parent, int32_t Offset) {
  parent_ = std::move(Parent);
  offset_ = Offset;
}

int32_t ByteArrayTrail::Count() const { return detail::WrapSub(parent_->Count(), offset_); }

void ByteArrayTrail::Count(int32_t Value) { parent_->Count(detail::WrapAdd(offset_, Value)); }

int32_t ByteArrayTrail::HighIndex() const { return detail::WrapHigh(low_index_, Count()); }

void ByteArrayTrail::HighIndex(int32_t Value) {
  Count(detail::WrapAdd(detail::WrapSub(Value, low_index_), 1));
}

std::shared_ptr<IByteArray> ByteArrayTrail::Interval(int32_t Index, int32_t Count) {
  const int32_t offset = detail::WrapAdd(offset_, detail::WrapSub(Index, low_index_));
  if (Count != 0) return ByteArrayInterval::Make(parent_, offset, Count);
  return Make(parent_, offset);
}

void ByteArrayTrail::Copy(const IByteArray& V) {
  parent_->Count(detail::WrapAdd(offset_, V.Count()));
  // V may be a view of the same parent: its LowIndex and Count are read
  // again after the resize.
  parent_->ReadBytes(V, V.LowIndex(), offset_, V.Count());
}

int32_t ByteArrayTrail::Sum() const { return parent_->SumRange(offset_, 0); }

void ByteArrayTrail::Fill(uint8_t Pattern) {
  parent_->FillRange(Pattern, offset_, detail::WrapSub(parent_->Count(), offset_));
}

}  // namespace ombrix
