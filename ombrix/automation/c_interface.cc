// The C interface of the component server, over the catalogue and late
// binding. Handles are boxes that each hold one counted reference; values
// given to the caller own a box holding what they point into.
#include <array>
#include <atomic>
#include <cstring>
#include <limits>
#include <new>
#include <string>

#include "ombrix/automation/late_binding.h"
#include "ombrix/frame/error.h"
#include "ombrix/ombrix_c.h"

struct ombrix_object {
  explicit ombrix_object(ombrix::automation::Object held) : object(std::move(held)) {}
  std::atomic<uint32_t> references{1};
  const ombrix::automation::Object object;
};

namespace ombrix::automation {
namespace {

// The last failure on this thread, as the C interface reports it.
struct LastError {
  int32_t number = 0;
  std::string source;
  std::string description;
};
LastError& ThreadError() {
  thread_local LastError last;
  return last;
}

// Runs `work`, turning what it throws into the thread's last error.
template <typename Work>
int32_t Guarded(Work&& work) noexcept {
  LastError& last = ThreadError();
  try {
    work();
    last.number = 0;
    return 0;
  } catch (const Error& error) {
    last.number = error.Number();
    try {
      last.source = error.Source();
      last.description = error.Description();
    } catch (...) {
      last.source.clear();
      last.description.clear();
    }
  } catch (const std::bad_alloc&) {
    last.number = errors::kOutOfMemory;
    last.source = "Ombrix";
    last.description = StandardDescription(errors::kOutOfMemory);
  } catch (...) {
    last.number = 51;
    last.source = "Ombrix";
    last.description = "Internal error";
  }
  return last.number;
}

ombrix_object* NewHandle(Object object) {
  if (object.IsNothing()) return nullptr;
  return new ombrix_object(std::move(object));
}

// What a value given to the caller owns, besides an object reference.
struct Held {
  Value value;
  std::string text;
};

Value FromC(const ombrix_value& in) {
  switch (in.kind) {
    case OMBRIX_EMPTY:
      return {};
    case OMBRIX_NULL:
      return Value(Variant::Null());
    case OMBRIX_BOOLEAN:
      return Value(Variant(in.as.boolean != 0));
    case OMBRIX_BYTE:
      return Value(Variant(in.as.byte));
    case OMBRIX_INTEGER:
      return Value(Variant(in.as.integer));
    case OMBRIX_LONG:
      return Value(Variant(in.as.long_value));
    case OMBRIX_DOUBLE:
      return Value(Variant(in.as.number));
    case OMBRIX_DATE:
      return Value(Variant::Date(in.as.number));
    case OMBRIX_STRING:
      if (in.as.text.size > 0 && in.as.text.data == nullptr) Raise(errors::kInvalidArgument);
      return Value(
          Variant(std::string(in.as.text.data == nullptr ? "" : in.as.text.data, in.as.text.size)));
    case OMBRIX_BYTES: {
      if (in.as.bytes.size > static_cast<size_t>(std::numeric_limits<int32_t>::max()) ||
          (in.as.bytes.size > 0 && in.as.bytes.data == nullptr)) {
        Raise(errors::kInvalidArgument);
      }
      SafeArray<uint8_t> bytes(in.lower_bound, static_cast<int32_t>(in.as.bytes.size));
      if (in.as.bytes.size > 0) std::memcpy(bytes.data(), in.as.bytes.data, in.as.bytes.size);
      return Value(Variant(std::move(bytes)));
    }
    case OMBRIX_OBJECT:
      return Value(in.as.object == nullptr ? Object() : in.as.object->object);
    default:
      Raise(errors::kTypeMismatch);
  }
}

// `out` takes `value`; it owns what it points into.
void ToC(Value value, ombrix_value& out) {
  out = ombrix_value{};
  if (const Object* object = value.AsObject()) {
    out.kind = OMBRIX_OBJECT;
    out.as.object = NewHandle(*object);
    out.owned = out.as.object;
    return;
  }
  const Variant& variant = *value.AsVariant();
  switch (variant.GetKind()) {
    case Variant::Kind::Empty:
      return;
    case Variant::Kind::Null:
      out.kind = OMBRIX_NULL;
      return;
    case Variant::Kind::Boolean:
      out.kind = OMBRIX_BOOLEAN;
      out.as.boolean = variant == Variant(true) ? 1 : 0;
      return;
    case Variant::Kind::Byte:
      out.kind = OMBRIX_BYTE;
      out.as.byte = variant.ToByte();
      return;
    case Variant::Kind::Integer:
      out.kind = OMBRIX_INTEGER;
      out.as.integer = static_cast<int16_t>(variant.ToLong());
      return;
    case Variant::Kind::Long:
      out.kind = OMBRIX_LONG;
      out.as.long_value = variant.ToLong();
      return;
    case Variant::Kind::Double:
    case Variant::Kind::Date:
      out.kind = variant.IsDate() ? OMBRIX_DATE : OMBRIX_DOUBLE;
      out.as.number = variant.ToDouble();
      return;
    case Variant::Kind::String: {
      auto held = std::make_unique<Held>();
      held->text = variant.ToString();
      out.kind = OMBRIX_STRING;
      out.as.text.data = held->text.c_str();
      out.as.text.size = held->text.size();
      out.owned = held.release();
      return;
    }
    case Variant::Kind::ByteArray: {
      auto held = std::make_unique<Held>(Held{std::move(value), {}});
      const SafeArray<uint8_t>& bytes = *held->value.AsVariant()->ByteArray();
      out.kind = OMBRIX_BYTES;
      out.lower_bound = bytes.LBound();
      out.as.bytes.data = const_cast<uint8_t*>(bytes.data());
      out.as.bytes.size = static_cast<size_t>(bytes.Count());
      out.owned = held.release();
      return;
    }
    case Variant::Kind::VariantArray:
      break;
  }
  Raise(errors::kTypeMismatch);  // no member gives one
}

// Converts the arguments, calls, and gives back the result and what the
// member wrote into by-reference arguments.
template <typename Call>
int32_t InvokeFromC(ombrix_object* object, ombrix_value* arguments, size_t count,
                    ombrix_value* result, Call call) {
  return Guarded([&] {
    if (object == nullptr) Raise(errors::kObjectNotSet);
    if (count > 0 && arguments == nullptr) Raise(errors::kInvalidArgument);
    // No member takes more than four; a longer list is wrong whatever the member.
    constexpr size_t kMost = 4;
    if (count > kMost) Raise(errors::kWrongArgumentCount);
    std::array<Value, kMost> values;
    for (size_t k = 0; k < count; ++k) values[k] = FromC(arguments[k]);
    Value answer = call(object->object, std::span(values.data(), count));
    for (size_t k = 0; k < count; ++k) {
      ombrix_value& argument = arguments[k];
      if (const Object* replaced = values[k].AsObject()) {
        const bool same = argument.kind == OMBRIX_OBJECT &&
                          (argument.as.object == nullptr ? replaced->IsNothing()
                                                         : argument.as.object->object == *replaced);
        if (!same) ToC(values[k], argument);
      } else if (argument.kind == OMBRIX_BYTES && argument.as.bytes.size > 0) {
        // A byte array the member wrote comes back into the caller's memory;
        // memory the member left as it was is not written at all.
        const SafeArray<uint8_t>* written = values[k].AsVariant()->ByteArray();
        if (written != nullptr && static_cast<size_t>(written->Count()) == argument.as.bytes.size &&
            std::memcmp(argument.as.bytes.data, written->data(), argument.as.bytes.size) != 0) {
          std::memcpy(argument.as.bytes.data, written->data(), argument.as.bytes.size);
        }
      }
    }
    if (result != nullptr) ToC(std::move(answer), *result);
  });
}

const ClassInfo* ClassAt(int32_t index) {
  const auto classes = Classes();
  if (index < 0 || static_cast<size_t>(index) >= classes.size()) {
    Raise(errors::kSubscriptOutOfRange);
  }
  return &classes[static_cast<size_t>(index)];
}

const Member& MemberOf(const ClassInfo& info, int32_t member, const Interface** from) {
  if (member < 0 || static_cast<size_t>(member) >= info.MemberCount()) {
    Raise(errors::kSubscriptOutOfRange);
  }
  return info.MemberAt(static_cast<size_t>(member), from);
}

}  // namespace
}  // namespace ombrix::automation

using namespace ombrix::automation;

extern "C" {

void ombrix_value_clear(ombrix_value* value) {
  if (value == nullptr) return;
  if (value->owned != nullptr) {
    if (value->kind == OMBRIX_OBJECT) {
      ombrix_release(static_cast<ombrix_object*>(value->owned));
    } else {
      delete static_cast<Held*>(value->owned);
    }
  }
  *value = ombrix_value{};
}

int32_t ombrix_create(const char* name, ombrix_object** object) {
  return Guarded([&] {
    if (object == nullptr) ombrix::Raise(ombrix::errors::kInvalidArgument);
    *object = nullptr;
    if (name == nullptr) ombrix::Raise(ombrix::errors::kCannotCreateObject);
    *object = NewHandle(CreateObject(name));
  });
}

uint32_t ombrix_add_ref(ombrix_object* object) {
  if (object == nullptr) return 0;
  return object->references.fetch_add(1, std::memory_order_relaxed) + 1;
}

uint32_t ombrix_release(ombrix_object* object) {
  if (object == nullptr) return 0;
  const uint32_t left = object->references.fetch_sub(1, std::memory_order_acq_rel) - 1;
  if (left == 0) delete object;
  return left;
}

int ombrix_same_object(const ombrix_object* a, const ombrix_object* b) {
  if (a == nullptr || b == nullptr) return a == b ? 1 : 0;
  return a->object == b->object ? 1 : 0;
}

const char* ombrix_class_of(const ombrix_object* object) {
  if (object == nullptr) return "";
  return ClassOf(object->object.Class()).Name();
}

int32_t ombrix_member_number(const ombrix_object* object, const char* name, int32_t* number) {
  return Guarded([&] {
    if (object == nullptr) ombrix::Raise(ombrix::errors::kObjectNotSet);
    if (number == nullptr) ombrix::Raise(ombrix::errors::kInvalidArgument);
    *number = MemberNumber(object->object, name == nullptr ? "" : name);
  });
}

int32_t ombrix_invoke(ombrix_object* object, const char* name, uint32_t kinds,
                      ombrix_value* arguments, size_t count, ombrix_value* result) {
  const std::string_view member = name == nullptr ? "" : name;
  return InvokeFromC(object, arguments, count, result,
                     [&](const Object& self, std::span<Value> values) {
                       return Invoke(self, member, kinds, values);
                     });
}

int32_t ombrix_invoke_number(ombrix_object* object, int32_t number, uint32_t kinds,
                             ombrix_value* arguments, size_t count, ombrix_value* result) {
  return InvokeFromC(object, arguments, count, result,
                     [&](const Object& self, std::span<Value> values) {
                       return Invoke(self, number, kinds, values);
                     });
}

int32_t ombrix_next(ombrix_object* enumerator, size_t count, ombrix_value* items, size_t* fetched) {
  if (fetched != nullptr) *fetched = 0;
  return Guarded([&] {
    if (enumerator == nullptr) ombrix::Raise(ombrix::errors::kObjectNotSet);
    const auto walk = enumerator->object.As<ObjectEnumerator>();
    if (!walk) ombrix::Raise(ombrix::errors::kNoSuchMember);
    if (count > 0 && items == nullptr) ombrix::Raise(ombrix::errors::kInvalidArgument);
    const auto want = static_cast<int32_t>(
        std::min<size_t>(count, static_cast<size_t>(std::numeric_limits<int32_t>::max())));
    std::vector<Value> next = walk->Next(want);
    for (size_t k = 0; k < next.size(); ++k) ToC(std::move(next[k]), items[k]);
    if (fetched != nullptr) *fetched = next.size();
  });
}

int32_t ombrix_error_number(void) { return ThreadError().number; }
const char* ombrix_error_source(void) { return ThreadError().source.c_str(); }
const char* ombrix_error_description(void) { return ThreadError().description.c_str(); }

const char* ombrix_library_description(void) { return kLibraryDescription; }

int32_t ombrix_class_count(void) { return static_cast<int32_t>(Classes().size()); }

int32_t ombrix_class_info_at(int32_t index, ombrix_class_info* info) {
  return Guarded([&] {
    const ClassInfo* found = ClassAt(index);
    if (info == nullptr) ombrix::Raise(ombrix::errors::kInvalidArgument);
    info->name = found->Name();
    info->description = found->Description();
    info->creatable = found->Creatable() ? 1 : 0;
    info->persisted = found->Persisted() ? 1 : 0;
    info->also_answers = found->AlsoAnswers() != nullptr ? found->AlsoAnswers()->Name : "";
    info->member_count = static_cast<int32_t>(found->MemberCount());
  });
}

int32_t ombrix_find_class(const char* name) {
  const ClassInfo* found = FindClass(name == nullptr ? "" : name);
  return found == nullptr ? -1 : static_cast<int32_t>(found - Classes().data());
}

int32_t ombrix_member_info_at(int32_t index, int32_t member, ombrix_member_info* info) {
  return Guarded([&] {
    const ClassInfo* found = ClassAt(index);
    const Interface* from = nullptr;
    const Member& m = MemberOf(*found, member, &from);
    if (info == nullptr) ombrix::Raise(ombrix::errors::kInvalidArgument);
    // A member's number is that of the first member of its name.
    int32_t number = member + 1;
    while (number > 1 &&
           std::strcmp(found->MemberAt(static_cast<size_t>(number - 2)).Name, m.Name) == 0) {
      --number;
    }
    info->number = number;
    info->name = m.Name;
    info->interface_name = from->Name;
    info->kind = static_cast<uint32_t>(m.Kind);
    info->result_type = TypeName(m.Result);
    info->help = m.Help;
    info->role = static_cast<int32_t>(m.Role);
    info->parameter_count = static_cast<int32_t>(m.Parameters.size());
  });
}

int32_t ombrix_parameter_info_at(int32_t index, int32_t member, int32_t parameter,
                                 ombrix_parameter_info* info) {
  return Guarded([&] {
    const Member& m = MemberOf(*ClassAt(index), member, nullptr);
    if (parameter < 0 || static_cast<size_t>(parameter) >= m.Parameters.size()) {
      ombrix::Raise(ombrix::errors::kSubscriptOutOfRange);
    }
    if (info == nullptr) ombrix::Raise(ombrix::errors::kInvalidArgument);
    const Parameter& p = m.Parameters[static_cast<size_t>(parameter)];
    info->name = p.Name;
    info->type = TypeName(p.Of);
    info->optional = p.Optional ? 1 : 0;
    info->default_value = p.Default;
    info->by_reference = p.ByReference ? 1 : 0;
  });
}

}  // extern "C"
