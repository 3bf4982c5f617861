// The public surface of the Ombrix library in one header.
//
// Threads: an object is used by one thread at a time, its const members
// included (a MemoryImage builds its read index as it is read); objects tied
// by references count as one (a view and its array, a field and its array, a
// scaled value and its field, an image and the arrays it handed out, until
// the image is gone); distinct objects may be used on distinct threads at
// once. The library starts no threads and keeps no global state.
#pragma once

#include "ombrix/bytes/array_bounds.h"
#include "ombrix/bytes/byte_array.h"
#include "ombrix/bytes/byte_array_interval.h"
#include "ombrix/bytes/byte_array_trail.h"
#include "ombrix/bytes/hex_codec.h"
#include "ombrix/bytes/i_byte_array.h"
#include "ombrix/checksum/crc.h"
#include "ombrix/fields/big_endian.h"
#include "ombrix/fields/enumeration.h"
#include "ombrix/fields/little_endian.h"
#include "ombrix/fields/numeric_item.h"
#include "ombrix/fields/scaled_value.h"
#include "ombrix/frame/enumerator.h"
#include "ombrix/frame/error.h"
#include "ombrix/frame/memory_property_bag.h"
#include "ombrix/frame/property_bag.h"
#include "ombrix/frame/regional_settings.h"
#include "ombrix/frame/safe_array.h"
#include "ombrix/frame/variant.h"
#include "ombrix/memory/memory_image.h"
#include "ombrix/memory/memory_map.h"
