#include "ombrix/checksum/crc.h"

#include <limits>

#include "ombrix/bytes/detail/byte_access.h"
#include "ombrix/checksum/crc_internal.h"
#include "ombrix/frame/wrap_internal.h"

namespace ombrix {

std::shared_ptr<CRC> CRC::New() { return std::make_shared<CRC>(Private{}); }

namespace {

// A client's own array, byte by byte through its interface.
[[gnu::noinline]] uint16_t RunItems(uint16_t crc, const IByteArray& B, int32_t low, int64_t count) {
  for (int64_t i = low; i < low + count; ++i) {
    const auto b = static_cast<uint8_t>(B.Item(static_cast<int32_t>(i)));
    crc = detail::Crc16Table(crc, &b, 1);
  }
  return crc;
}

// Raises the error that B's own check gives for its byte at `index`.
[[noreturn, gnu::noinline]] void RaiseMissing(const IByteArray& B, int64_t index) {
  B.Item(static_cast<int32_t>(index));
  Raise(errors::kSubscriptOutOfRange);
}

}  // namespace

void CRC::Append(const IByteArray& B) {
  const detail::StoreWindow window = detail::ByteAccess::WindowOf(B);
  if (window.array == nullptr) [[unlikely]] {
    const int32_t low = B.LowIndex();
    AppendRange(B, window, low, static_cast<int64_t>(B.HighIndex()) - low + 1);
  } else {
    AppendRange(B, window, window.low, static_cast<int64_t>(window.high) - window.low + 1);
  }
}

inline void CRC::AppendRange(const IByteArray& B, const detail::StoreWindow& window, int32_t low,
                             int64_t count) {
  if (count <= 0) return;
  // The library's own arrays and views are read in one block, up to the
  // first byte their array lacks; a client's own array byte by byte.
  if (window.array == nullptr) [[unlikely]] {
    register_ = RunItems(register_, B, low, count);
    return;
  }
  const std::span<const uint8_t> bytes =
      detail::ByteAccess::Available(*window.array, window.origin + low, count);
  register_ = detail::Crc16(register_, bytes.data(), bytes.size());
  if (static_cast<int64_t>(bytes.size()) < count) [[unlikely]] {
    RaiseMissing(B, low + static_cast<int64_t>(bytes.size()));
  }
}

uint16_t CRC::Of(std::span<const uint8_t> Bytes) noexcept {
  return static_cast<uint16_t>(~detail::Crc16(0xFFFF, Bytes.data(), Bytes.size()));
}

void CRC::Stamp(IByteArray& Frame) {
  const int32_t count = Frame.Count();
  if (count > std::numeric_limits<int32_t>::max() - 2) Raise(errors::kOutOfMemory);
  Frame.Count(count + 2);
  try {
    CRC crc{Private{}};
    crc.AppendRange(Frame, detail::ByteAccess::WindowOf(Frame), Frame.LowIndex(), count);
    crc.Send(Frame);
  } catch (...) {
    Frame.Count(count);
    throw;
  }
}

bool CRC::Intact(const IByteArray& Frame) {
  CRC crc{Private{}};
  crc.Append(Frame);
  return crc.Check();
}

void CRC::Send(IByteArray& B) const {
  const auto fcs = static_cast<uint16_t>(~register_);
  B.Item(detail::WrapSub(B.HighIndex(), 1), fcs & 0xFF);
  B.Item(B.HighIndex(), fcs >> 8);
}

}  // namespace ombrix
