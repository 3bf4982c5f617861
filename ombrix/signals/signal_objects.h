// A signal as the library's own objects, live on a frame: its field
// (LittleEndian or BigEndian), a ScaledValue over it, and an Enumeration of
// its value names, for programs that already work with those classes.
#pragma once

#include <memory>

#include "ombrix/bytes/i_byte_array.h"
#include "ombrix/fields/enumeration.h"
#include "ombrix/fields/numeric_item.h"
#include "ombrix/fields/scaled_value.h"
#include "ombrix/signals/signal_database.h"

namespace ombrix::signals {

/// Whether the library's fields can hold the signal: an integer of at most
/// 32 bits (32 only when signed) spanning at most four bytes.
bool FitsAField(const Signal& signal) noexcept;

/// The signal's field bound to `frame`, LittleEndian for Intel and BigEndian
/// for Motorola order; reading it gives the raw value that decoding gives.
/// Error 1 (the fields' geometry error) when the signal does not fit a field.
std::shared_ptr<NumericItem> FieldOf(const Signal& signal, IByteArray& frame);

/// A ScaledValue over FieldOf: CoeffA the factor, CoeffB the offset, CoeffC
/// 1, and the signal's unit; its Value is the decoded physical value.
std::shared_ptr<ScaledValue> ScaledValueOf(const Signal& signal, IByteArray& frame);

/// The signal's value names as an Enumeration, in the file's order; error 6
/// for a value beyond 32 bits.
std::shared_ptr<Enumeration> EnumerationOf(const Signal& signal);

}  // namespace ombrix::signals
