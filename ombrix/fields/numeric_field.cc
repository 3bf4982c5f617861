#include "ombrix/fields/detail/numeric_field.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <span>
#include <string>

#include "ombrix/bytes/hex_text_internal.h"
#include "ombrix/frame/wrap_internal.h"

namespace ombrix::detail {

void NumericField::RefersTo(IByteArray& I, int32_t SkippedBits, int32_t NumBits, bool S) {
  if (SkippedBits < 0 || NumBits < 1) Raise(errors::kInvalidArgument);
  const int32_t bit_offset = SkippedBits % 8;
  const int64_t byte_count = (static_cast<int64_t>(bit_offset) + NumBits - 1) / 8 + 1;
  if (byte_count > 4) Raise(errors::kFieldGeometry, messages::kFieldTooWide);
  if (NumBits == 32 && !S) Raise(errors::kFieldGeometry, messages::kUnsigned32);

  const auto count = static_cast<int32_t>(byte_count);
  std::shared_ptr<IByteArray> view = I.Interval(WrapAdd(I.LowIndex(), SkippedBits / 8), count);
  if (!view) Raise(errors::kObjectNotSet);
  // The library's own views are read in place; a client's through Item.
  const StoreWindow window = ByteAccess::WindowOf(*view);
  array_ = window.array;
  array_generation_ = array_ != nullptr ? ByteAccess::GenerationAddress(*array_) : &kNoGeneration;
  offset_ = window.origin + view->LowIndex();
  window_key_ = 0;
  view_ = std::move(view);
  byte_count_ = count;
  // Intel counts the skipped bits from the low end of the first byte, so the
  // field's lowest bit sits bit_offset up; Motorola counts from the top.
  const auto span = static_cast<uint32_t>(bit_offset + NumBits);
  shift_ = order_ == ByteOrder::kIntel ? static_cast<uint32_t>(bit_offset)
                                       : 8 * static_cast<uint32_t>(count) - span;
  value_mask_ = NumBits == 32 ? 0xFFFFFFFFu : (1u << NumBits) - 1;
  if (NumBits == 32) {
    min_ = std::numeric_limits<int32_t>::min();
    max_ = std::numeric_limits<int32_t>::max();
  } else {
    max_ = static_cast<int32_t>(S ? value_mask_ / 2 : value_mask_);
    min_ = S ? ~max_ : 0;
  }
  sign_bit_ = static_cast<uint32_t>(min_) & value_mask_;
}

uint8_t* NumericField::Reach() const {
  if (array_ == nullptr) {
    if (!view_) RaiseUnbound();
    return nullptr;
  }
  uint8_t* bytes = ByteAccess::Reach(*array_, offset_, byte_count_);  // error 9 first
  // Four bytes from the field's first, or the store's last four when it
  // ends sooner; none in a store of fewer than four.
  const int64_t first = std::min<int64_t>(offset_, int64_t{array_->Count()} - 4);
  const std::span<const uint8_t> window = ByteAccess::Available(*array_, first, 4);
  if (window.size() == 4) {
    window_ = bytes - (offset_ - first);
    const auto before = static_cast<uint32_t>(offset_ - first);  // window bytes before the field
    const uint32_t window_shift =
        order_ == ByteOrder::kIntel
            ? shift_ + 8 * before
            : shift_ + 8 * (4 - before - static_cast<uint32_t>(byte_count_));
    window_mask_ = value_mask_ << window_shift;
    // The mask as the window's bytes in memory hold it, native order.
    const bool swapped =
        (order_ == ByteOrder::kIntel) != (std::endian::native == std::endian::little);
    if (swapped) window_mask_ = __builtin_bswap32(window_mask_);
    window_key_ = ByteAccess::Generation(*array_) | window_shift;
  }
  return bytes;
}

void NumericField::ReadItems(uint8_t* bytes) const {
  const int32_t low = view_->LowIndex();
  for (int32_t k = 0; k < byte_count_; ++k) {
    bytes[k] = static_cast<uint8_t>(view_->Item(WrapAdd(low, k)));
  }
}

void NumericField::WriteItems(const uint8_t* bytes) const {
  const int32_t low = view_->LowIndex();
  for (int32_t k = 0; k < byte_count_; ++k) view_->Item(WrapAdd(low, k), bytes[k]);
}

std::string NumericField::MaskText(const uint8_t* bytes) const {
  std::string text(2 * static_cast<size_t>(byte_count_), '\0');
  EncodeHex(bytes, static_cast<size_t>(byte_count_), text.data());
  return text;
}

void NumericField::RaiseUnbound() { Raise(errors::kObjectNotSet); }

void NumericField::RaiseOutOfRange(int32_t V) const {
  if (!view_) RaiseUnbound();
  RaiseWithDetail(errors::kFieldRange, V < min_ ? messages::kValueTooSmall : messages::kValueTooBig,
                  std::to_string(V) + " is outside the field's limits " + std::to_string(min_) +
                      ".." + std::to_string(max_));
}

}  // namespace ombrix::detail
