// The public surface of the Ombrix library in one header.
#pragma once

#include "ombrix/bytes/array_bounds.h"
#include "ombrix/bytes/byte_array.h"
#include "ombrix/bytes/byte_array_interval.h"
#include "ombrix/bytes/byte_array_trail.h"
#include "ombrix/bytes/i_byte_array.h"
#include "ombrix/fields/big_endian.h"
#include "ombrix/fields/little_endian.h"
#include "ombrix/fields/numeric_item.h"
#include "ombrix/fields/scaled_value.h"
#include "ombrix/frame/error.h"
#include "ombrix/frame/memory_property_bag.h"
#include "ombrix/frame/property_bag.h"
#include "ombrix/frame/regional_settings.h"
#include "ombrix/frame/safe_array.h"
#include "ombrix/frame/variant.h"
