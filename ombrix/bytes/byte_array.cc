#include "ombrix/bytes/byte_array.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "ombrix/bytes/byte_array_interval.h"
#include "ombrix/bytes/byte_array_trail.h"
#include "ombrix/bytes/byte_kernels_internal.h"
#include "ombrix/bytes/detail/byte_access.h"
#include "ombrix/frame/detail/allocation.h"
#include "ombrix/frame/text_encoding_internal.h"
#include "ombrix/frame/wrap_internal.h"

namespace ombrix {

std::shared_ptr<ByteArray> ByteArray::New() {
  auto array = std::make_shared<ByteArray>(Private{});
  array->InitProperties();
  return array;
}

std::shared_ptr<ByteArray> ByteArray::New(std::span<const uint8_t> Bytes, int32_t LowIndex) {
  if (Bytes.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max())) {
    Raise(errors::kInvalidArgument);
  }
  auto array = std::make_shared<ByteArray>(Private{});
  array->low_index_ = LowIndex;
  array->AssignBytes(Bytes.data(), static_cast<int32_t>(Bytes.size()));
  return array;
}

void ByteArray::RaiseOutOfRange() { Raise(errors::kSubscriptOutOfRange); }

std::shared_ptr<ArrayBounds> ByteArray::Bounds() const {
  return ArrayBounds::Make(low_index_, Count());
}

void ByteArray::Count(int32_t Value) {
  if (Value < 0) Raise(errors::kLibrary, messages::kNegativeCount);
  if (Value == Count()) return;
  if (pins_ != 0) Raise(errors::kArrayLocked);
  if (Value == 0) {
    store_.Release();
  } else {
    store_.Resize(Value);
  }
  StoreChanged();
}

int32_t ByteArray::HighIndex() const { return detail::WrapHigh(low_index_, Count()); }

void ByteArray::HighIndex(int32_t Value) {
  Count(detail::WrapAdd(detail::WrapSub(Value, low_index_), 1));
}

std::shared_ptr<IByteArray> ByteArray::Interval(int32_t Index, int32_t Count) {
  const int32_t offset = detail::WrapSub(Index, low_index_);
  if (Count != 0) return ByteArrayInterval::Make(shared_from_this(), offset, Count);
  return ByteArrayTrail::Make(shared_from_this(), offset);
}

bool ByteArray::Check(const IByteArray& V) const {
  const auto* other = dynamic_cast<const ByteArray*>(&V);
  if (other == nullptr) Raise(errors::kNotAnInstance);
  // The common indexes, in 64 bits so that arrays near the ends of the
  // 32-bit range compare what they really share.
  const int64_t low = std::max<int64_t>(low_index_, other->low_index_);
  const int64_t end = std::min<int64_t>(static_cast<int64_t>(low_index_) + Count(),
                                        static_cast<int64_t>(other->low_index_) + other->Count());
  if (end <= low) return true;
  return other->Compare(store_, static_cast<int32_t>(low - low_index_), static_cast<int32_t>(low),
                        static_cast<int32_t>(end - low));
}

std::shared_ptr<ByteArray> ByteArray::Copy() const {
  auto copy = New();
  copy->Copy(*this);
  return copy;
}

void ByteArray::Copy(const IByteArray& V) {
  Count(V.Count());
  ReadBytes(V, V.LowIndex(), 0, Count());
}

int32_t ByteArray::Sum() const { return SumRange(0, Count()); }

void ByteArray::WriteBytes(SafeArray<uint8_t>& Destination, int32_t DestinationIndex,
                           int32_t SourceIndex, int32_t Count) const {
  WriteBytesAt(static_cast<int64_t>(SourceIndex) - low_index_, Destination, DestinationIndex,
               Count);
}

void ByteArray::WriteBytesAt(int64_t position, SafeArray<uint8_t>& destination,
                             int32_t destination_index, int32_t count) const {
  if (count <= 0) return;
  if (position < 0) RaiseOutOfRange();
  if (position + count > Count()) RaiseOutOfRange();
  if (!destination.Allocated() || destination_index < destination.LBound()) RaiseOutOfRange();
  if (static_cast<int64_t>(destination_index) + count - 1 > destination.UBound()) {
    RaiseOutOfRange();
  }
  // Source and destination may be the same store (a view copied into its parent).
  std::memmove(
      destination.data() + (static_cast<int64_t>(destination_index) - destination.LBound()),
      store_.data() + position, static_cast<size_t>(count));
}

Variant ByteArray::Value() const {
  if (Count() == 0) return Variant();
  SafeArray<uint8_t> bytes(0, Count());
  std::memcpy(bytes.data(), store_.data(), static_cast<size_t>(Count()));
  return Variant(std::move(bytes));
}

void ByteArray::AssignBytes(const uint8_t* bytes, int32_t count) {
  // The same number of bytes go over the old ones: the store stays put.
  if (count == Count()) {
    if (count > 0) std::memmove(store_.data(), bytes, static_cast<size_t>(count));
    return;
  }
  if (pins_ != 0) Raise(errors::kArrayLocked);
  if (count == 0) {
    store_.Release();
    StoreChanged();
    return;
  }
  // Copied straight in, no zeroing first; a few bytes go inside the store.
  store_.Assign(bytes, count);
  StoreChanged();
}

void ByteArray::Value(const Variant& V) {
  switch (V.GetKind()) {
    case Variant::Kind::Empty:
    case Variant::Kind::Null:
      Count(0);
      return;
    case Variant::Kind::String: {
      const std::string bytes = detail::ToCodePage1252(V.ToString());
      if (bytes.size() > static_cast<size_t>(INT32_MAX)) Raise(errors::kOverflow);
      AssignBytes(reinterpret_cast<const uint8_t*>(bytes.data()),
                  static_cast<int32_t>(bytes.size()));
      return;
    }
    case Variant::Kind::ByteArray: {
      const SafeArray<uint8_t>& array = *V.ByteArray();
      AssignBytes(array.data(), array.Count());
      return;
    }
    case Variant::Kind::VariantArray: {
      const SafeArray<Variant>& array = *V.VariantArray();
      // The bytes are made apart first, so that running out of memory
      // (error 7) leaves the array as it was.
      std::vector<uint8_t> bytes = detail::OrOutOfMemory(
          [&] { return std::vector<uint8_t>(static_cast<size_t>(array.Count())); });
      for (int32_t k = 0; k < array.Count(); ++k) {
        try {
          bytes[static_cast<size_t>(k)] = array.data()[k].ToByte();
        } catch (const Error&) {
          // An element that does not convert leaves its 0.
        }
      }
      AssignBytes(bytes.data(), array.Count());
      return;
    }
    default:
      // The array keeps its first byte until the conversion succeeds.
      Count(1);
      store_.data()[0] = V.ToByte();
      return;
  }
}

int32_t ByteArray::Skip(uint8_t Pattern, int32_t Start) const {
  return SkipAt(Pattern, static_cast<int64_t>(Start) - low_index_);
}

int32_t ByteArray::SkipAt(uint8_t pattern, int64_t position) const {
  if (position < 0) RaiseOutOfRange();
  if (position >= Count()) return 0;
  return static_cast<int32_t>(detail::CountEqual(store_.data() + position,
                                                 static_cast<size_t>(Count() - position), pattern));
}

void ByteArray::Fill(uint8_t Pattern) { FillRange(Pattern, 0, Count()); }

void ByteArray::ReadBytes(const IByteArray& Source, int32_t SourceIndex, int32_t Offset,
                          int32_t Count) {
  if (detail::ByteAccess::WindowOf(Source).array != nullptr) {
    Source.WriteBytes(store_, Offset, SourceIndex, Count);
    return;
  }
  // A client's own WriteBytes fills a scratch array, never the store: the
  // store stays where the fields bound to this array last found it.
  if (Offset < 0 || Count < 0 || static_cast<int64_t>(Offset) + Count > this->Count()) {
    RaiseOutOfRange();
  }
  if (Count == 0) return;
  SafeArray<uint8_t> scratch(Offset, Count);
  Source.WriteBytes(scratch, Offset, SourceIndex, Count);
  if (scratch.LBound() != Offset || scratch.Count() != Count) RaiseOutOfRange();
  std::memcpy(store_.data() + Offset, scratch.data(), static_cast<size_t>(Count));
}

int32_t ByteArray::SumRange(int32_t Offset, int32_t Count) const {
  if (Offset < 0) RaiseOutOfRange();
  const int64_t end = Count == 0 ? this->Count() : static_cast<int64_t>(Offset) + Count;
  if (end > this->Count()) RaiseOutOfRange();
  if (end <= Offset) return 0;
  return static_cast<int32_t>(
      detail::SumBytes(store_.data() + Offset, static_cast<size_t>(end - Offset)));
}

bool ByteArray::Compare(const SafeArray<uint8_t>& Data, int32_t DataOffset, int32_t Index,
                        int32_t Count) const {
  if (Count <= 0) return true;
  const int64_t position = static_cast<int64_t>(Index) - low_index_;
  if (position < 0) RaiseOutOfRange();
  if (position + Count > this->Count()) RaiseOutOfRange();
  if (!Data.Allocated() || DataOffset < Data.LBound()) RaiseOutOfRange();
  if (static_cast<int64_t>(DataOffset) + Count - 1 > Data.UBound()) RaiseOutOfRange();
  return std::memcmp(Data.data() + (static_cast<int64_t>(DataOffset) - Data.LBound()),
                     store_.data() + position, static_cast<size_t>(Count)) == 0;
}

void ByteArray::FillRange(uint8_t Pattern, int32_t Offset, int32_t Count) {
  if (Offset < 0) RaiseOutOfRange();
  if (static_cast<int64_t>(Offset) + Count > this->Count()) RaiseOutOfRange();
  if (Count > 0) std::memset(store_.data() + Offset, Pattern, static_cast<size_t>(Count));
}

}  // namespace ombrix
