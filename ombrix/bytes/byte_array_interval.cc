#include "ombrix/bytes/byte_array_interval.h"

#include <utility>

#include "ombrix/frame/wrap_internal.h"

namespace ombrix {

std::shared_ptr<ByteArrayInterval> ByteArrayInterval::Make(std::shared_ptr<ByteArray> parent,
                                                           int32_t offset, int32_t count) {
  auto view = std::make_shared<ByteArrayInterval>(Private{});
  view->Attach(std::move(parent), offset, count);
  return view;
}

void ByteArrayInterval::Attach(std::shared_ptr<ByteArray> Parent, int32_t Offset, int32_t Count) {
  parent_ = std::move(Parent);
  offset_ = Offset;
  count_ = Count;
}

void ByteArrayInterval::Count(int32_t) { Raise(errors::kLibrary, {}, messages::kCountReadOnly); }

int32_t ByteArrayInterval::HighIndex() const { return detail::WrapHigh(low_index_, count_); }

void ByteArrayInterval::HighIndex(int32_t) {
  Raise(errors::kLibrary, {}, messages::kHighIndexReadOnly);
}

std::shared_ptr<IByteArray> ByteArrayInterval::Interval(int32_t Index, int32_t Count) {
  const int32_t relative = detail::WrapSub(Index, low_index_);
  const int32_t count = Count != 0 ? Count : detail::WrapSub(count_, relative);
  return Make(parent_, detail::WrapAdd(offset_, relative), count);
}

void ByteArrayInterval::Copy(const IByteArray& V) {
  if (V.Count() != count_) Raise(errors::kLibrary, messages::kWrongLength);
  parent_->ReadBytes(V, V.LowIndex(), offset_, count_);
}

int32_t ByteArrayInterval::Sum() const {
  // The parent reads a count of 0 as "to the end"; an empty view sums nothing.
  if (count_ == 0) return 0;
  return parent_->SumRange(offset_, count_);
}

void ByteArrayInterval::Fill(uint8_t Pattern) { parent_->FillRange(Pattern, offset_, count_); }

}  // namespace ombrix
