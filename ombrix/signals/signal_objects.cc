#include "ombrix/signals/signal_objects.h"

#include <limits>

#include "ombrix/fields/big_endian.h"
#include "ombrix/fields/little_endian.h"
#include "ombrix/frame/error.h"

namespace ombrix::signals {
namespace {

uint32_t SkippedBits(const Signal& signal) noexcept {
  return signal.Order == ByteOrder::Intel ? IntelSkippedBits(signal.StartBit)
                                          : MotorolaSkippedBits(signal.StartBit);
}

}  // namespace

bool FitsAField(const Signal& signal) noexcept {
  return signal.Type == ValueType::Integer && signal.Length >= 1 &&
         (signal.Length < 32 || (signal.Length == 32 && signal.Signed)) &&
         (SkippedBits(signal) % 8 + signal.Length + 7) / 8 <= 4;
}

std::shared_ptr<NumericItem> FieldOf(const Signal& signal, IByteArray& frame) {
  if (!FitsAField(signal)) {
    Raise(errors::kFieldGeometry, messages::kFieldTooWide);
  }
  std::shared_ptr<NumericItem> field;
  if (signal.Order == ByteOrder::Intel) {
    field = LittleEndian::New();
  } else {
    field = BigEndian::New();
  }
  field->RefersTo(frame, static_cast<int32_t>(SkippedBits(signal)),
                  static_cast<int32_t>(signal.Length), signal.Signed);
  return field;
}

std::shared_ptr<ScaledValue> ScaledValueOf(const Signal& signal, IByteArray& frame) {
  auto scaled = ScaledValue::New();
  scaled->RefersTo(FieldOf(signal, frame));
  scaled->CoeffA(signal.Factor);
  scaled->CoeffB(signal.Offset);
  scaled->CoeffC(1);
  scaled->Unit(signal.Unit);
  return scaled;
}

std::shared_ptr<Enumeration> EnumerationOf(const Signal& signal) {
  auto names = Enumeration::New();
  for (const auto& [value, text] : signal.Values) {
    if (value < std::numeric_limits<int32_t>::min() ||
        value > std::numeric_limits<int32_t>::max()) {
      Raise(errors::kOverflow);
    }
    names->Add(text, static_cast<int32_t>(value));
  }
  return names;
}

}  // namespace ombrix::signals
