// The state that copy and pickle give a persistable object (the properties
// it writes to a bag, as a dict of Python values), and what reprs share.
#include <string>

#include "ombrix/frame/memory_property_bag.h"
#include "python/bindings.h"

namespace ombrix::python {

py::dict SavedState(const std::function<void(PropertyBag&)>& write) {
  const auto bag = MemoryPropertyBag::New();
  write(*bag);
  py::dict state;
  for (const std::string& key : bag->Keys())
    state[py::str(key)] = FromVariant(bag->ReadProperty(key));
  return state;
}

std::shared_ptr<PropertyBag> BagOf(const py::dict& state) {
  auto bag = MemoryPropertyBag::New();
  for (const auto& [key, value] : state) {
    bag->WriteProperty(py::cast<std::string>(key), ToVariant(value, "state"));
  }
  return bag;
}

std::string RangesText(const std::vector<std::pair<int64_t, int64_t>>& ranges) {
  constexpr size_t kShown = 4;
  std::string text;
  for (size_t k = 0; k < ranges.size() && k < kShown; ++k) {
    const auto [low, count] = ranges[k];
    text += (k > 0 ? ", " : "") +
            py::str("{:08X}-{:08X}").format(low, low + count - 1).cast<std::string>();
  }
  if (ranges.size() > kShown) text += ", ...";
  return text;
}

}  // namespace ombrix::python
