#include "ombrix/fields/big_endian.h"
#include "ombrix/fields/little_endian.h"

namespace ombrix {

std::shared_ptr<LittleEndian> LittleEndian::New() {
  return std::make_shared<LittleEndian>(Private{});
}

std::shared_ptr<BigEndian> BigEndian::New() { return std::make_shared<BigEndian>(Private{}); }

}  // namespace ombrix
