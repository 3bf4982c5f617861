#include "ombrix/bytes/detail/byte_array_view.h"

namespace ombrix::detail {

std::shared_ptr<ArrayBounds> ByteArrayView::Bounds() const {
  return ArrayBounds::Make(low_index_, Count());
}

bool ByteArrayView::Check(const IByteArray&) const {
  Raise(errors::kLibrary, messages::kNotImplemented);
}

// Whole reads go through a fresh array sized to the view's Count, so a
// negative count fails there with the array's own error.
std::shared_ptr<ByteArray> ByteArrayView::Copy() const {
  auto copy = ByteArray::New();
  copy->Copy(*this);
  return copy;
}

std::string ByteArrayView::Text() const { return Copy()->Text(); }

Variant ByteArrayView::Value() const { return Copy()->Value(); }

// Whole writes decode into a fresh array first, so a decoding error leaves
// the parent untouched, then take it through the view's own Copy let.
void ByteArrayView::Text(std::string_view Value) {
  auto decoded = ByteArray::New();
  decoded->Text(Value);
  Copy(*decoded);
}

void ByteArrayView::Value(const Variant& V) {
  auto decoded = ByteArray::New();
  decoded->Value(V);
  Copy(*decoded);
}

void ByteArrayView::WriteBytes(SafeArray<uint8_t>& Destination, int32_t DestinationIndex,
                               int32_t SourceIndex, int32_t Count) const {
  parent_->WriteBytesAt(Position(SourceIndex), Destination, DestinationIndex, Count);
}

int32_t ByteArrayView::Skip(uint8_t Pattern, int32_t Start) const {
  return parent_->SkipAt(Pattern, Position(Start));
}

}  // namespace ombrix::detail
