// Internal: the interfaces of the catalogue, each defined beside the calls
// of its members.
#pragma once

#include "ombrix/automation/catalogue.h"

namespace ombrix::automation::detail {

extern const Interface kByteArrayInterface;
extern const Interface kArrayBoundsInterface;
extern const Interface kNumericItemInterface;
extern const Interface kLittleEndianInterface;
extern const Interface kBigEndianInterface;
extern const Interface kScaledValueInterface;
extern const Interface kEnumerationInterface;
extern const Interface kMemoryMapInterface;
extern const Interface kMemoryImageInterface;
extern const Interface kCrcInterface;
extern const Interface kEnumeratorInterface;

}  // namespace ombrix::automation::detail
