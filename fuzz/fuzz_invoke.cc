// Late binding driven by arbitrary bytes: objects created by name, members
// called by random names (the catalogue's, in any case, or none of them)
// and kinds with random arguments (numbers, texts, byte arrays, Null,
// objects from the pool, Nothing). Every failure must be a numbered error
// with a description; results that are objects join the pool.
#include <array>
#include <cctype>
#include <cmath>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "ombrix/automation/late_binding.h"

using namespace ombrix;
using namespace ombrix::automation;

namespace {

// The errors late binding may give: the library's and the platform's.
const std::set<int32_t> kNumbers = {1, 5, 6, 7, 9, 13, 91, 94, 97, 429, 438, 449, 450, 1000, 2000};

// Numbers stay small enough that no member allocates beyond a few hundred
// kilobytes, with the edges of 32 bits for the checks that must hold there.
int32_t Number(fuzz::Input& in) {
  switch (in.Byte() % 8) {
    case 0:
      return std::numeric_limits<int32_t>::min();
    case 1:
      return -1;
    case 2:
      return in.Between(-1000, 70000);
    default:
      return in.Between(-20, 300);
  }
}

std::string Name(fuzz::Input& in, const Object& object) {
  const ClassInfo& info = ClassOf(object.Class());
  const uint8_t pick = in.Byte();
  if (pick < 16) return std::string(1 + pick % 4, static_cast<char>('a' + pick % 26));
  if (pick < 24) return "";
  std::string name = info.MemberAt(pick % info.MemberCount()).Name;
  if (in.Byte() % 4 == 0) {
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return name;
}

Value Argument(fuzz::Input& in, const std::vector<Object>& pool) {
  switch (in.Byte() % 10) {
    case 0:
      return {};
    case 1:
      return Value(Variant::Null());
    case 2:
      return Value(Variant(in.Byte() % 2 == 1));
    case 3:
      return Value(Variant(static_cast<double>(Number(in)) / 4));
    case 4: {
      // Short, and without D or E, which would make "1E9" or "9D9" a number
      // of a billion: a text too must not ask for an array of gigabytes.
      static constexpr char kCharacters[] = "0123456789ABCFxz,.- ";
      std::string text;
      for (int k = in.Between(0, 5); k > 0; --k) {
        text += kCharacters[in.Byte() % (sizeof kCharacters - 1)];
      }
      return Value(Variant(text));
    }
    case 5: {
      SafeArray<uint8_t> bytes(in.Between(-3, 3), in.Between(0, 16));
      for (int32_t k = 0; k < bytes.Count(); ++k) bytes.data()[k] = in.Byte();
      return Value(Variant(std::move(bytes)));
    }
    case 6:
      return Value(Object());
    case 7:
    case 8:
      return Value(pool[in.Byte() % pool.size()]);
    default:
      return Value(Variant(Number(in)));
  }
}

// The number a member reads from `argument` (texts and Booleans read as
// numbers too), if it reads one.
std::optional<double> NumberIn(const Value& argument) {
  const Variant* variant = argument.AsVariant();
  if (variant == nullptr) return std::nullopt;
  try {
    return variant->ToDouble();
  } catch (const Error&) {
    return std::nullopt;  // the member refuses it before it sizes anything
  }
}

// The object's LowIndex, or 0 when it has none.
double LowIndexOf(const Object& self) {
  try {
    return NumberIn(Invoke(self, "LowIndex", Kinds(MemberKind::Get), {})).value_or(0);
  } catch (const Error&) {
    return 0;
  }
}

// A count, a high index or an interval may size an array (or a view's
// parent) at up to 2 GiB: valid, but a test of the machine's memory, not
// the one this target makes, so such calls are not made. A count is a
// size; the index a high index or an interval starts from is as far from
// the store's start as from the low index, which may itself sit at an
// edge of 32 bits. Every other member still gets the edges.
bool SizesGigabytes(const Object& self, const std::string& name,
                    const std::vector<Value>& arguments) {
  constexpr double kFar = 1 << 20;
  std::string lower = name;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower != "count" && lower != "highindex" && lower != "interval") return false;
  for (size_t k = 0; k < arguments.size(); ++k) {
    const double origin = k == 0 && lower != "count" ? LowIndexOf(self) : 0;
    if (std::abs(NumberIn(arguments[k]).value_or(origin) - origin) > kFar) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::Input in(data, size);
  std::vector<Object> pool;
  for (const ClassInfo& info : Classes()) {
    if (info.Creatable()) pool.push_back(CreateObject(info.Name()));
  }
  for (int steps = 0; steps < 64 && !in.empty(); ++steps) {
    const Object self = pool[in.Byte() % pool.size()];
    const std::string name = Name(in, self);
    const CallKinds kinds = in.Byte() % 16;
    std::vector<Value> arguments(in.Byte() % 6);
    for (Value& argument : arguments) argument = Argument(in, pool);
    if (SizesGigabytes(self, name, arguments)) continue;
    try {
      const Value result = Invoke(self, name, kinds, arguments);
      if (const Object* object = result.AsObject(); object && !object->IsNothing()) {
        if (pool.size() < 24) pool.push_back(*object);
      }
    } catch (const Error& error) {
      FUZZ_CHECK(kNumbers.count(error.Number()) == 1);
      FUZZ_CHECK(!error.Description().empty());
    }
  }
  return 0;
}
