#include "ombrix/automation/late_binding.h"

#include <array>
#include <cstring>
#include <new>

#include "ombrix/automation/arguments_internal.h"
#include "ombrix/frame/error.h"

namespace ombrix::automation {
namespace {

// The most parameters a member has, the assigned value included.
constexpr size_t kMostParameters = 4;

// Names compare without case: the hash is of their letters folded.
uint64_t FoldedHash(std::string_view name) noexcept {
  uint64_t hash = 14695981039346656037u;  // FNV-1a
  for (const char c : name)
    hash = (hash ^ static_cast<unsigned char>(detail::Folded(c))) * 1099511628211u;
  return hash;
}

// Each class's member names by their hash, made once: a lookup compares
// integers and then checks the one name whose hash matches.
struct NameEntry {
  uint64_t hash;
  int32_t number;
};
const std::vector<NameEntry>& NamesOf(const ClassInfo& info) {
  static const auto kTables = [] {
    std::array<std::vector<NameEntry>, static_cast<size_t>(ClassId::Enumerator) + 1> tables;
    for (size_t id = 0; id < tables.size(); ++id) {
      const ClassInfo& of = ClassOf(static_cast<ClassId>(id));
      for (size_t k = 0; k < of.MemberCount(); ++k) {
        const char* name = of.MemberAt(k).Name;
        if (k == 0 || std::strcmp(of.MemberAt(k - 1).Name, name) != 0) {
          tables[id].push_back({FoldedHash(name), static_cast<int32_t>(k + 1)});
        }
      }
    }
    return tables;
  }();
  return kTables[static_cast<size_t>(info.Id())];
}

const ClassInfo& ClassOfObject(const Object& object) {
  if (object.IsNothing()) Raise(errors::kObjectNotSet);
  return ClassOf(object.Class());
}

// The member of the group starting at `first` (members of one name lie
// side by side) or of the default member, that answers one of `kinds`: a
// method or a get before an assignment.
const Member* Choose(const ClassInfo& info, int32_t number, CallKinds kinds) {
  const size_t count = info.MemberCount();
  const auto answers = [&](const Member& member) {
    return number == kDefaultMember
               ? member.Role == MemberRole::Default
               : std::strcmp(member.Name, info.MemberAt(static_cast<size_t>(number - 1)).Name) == 0;
  };
  const size_t from = number == kDefaultMember ? 0 : static_cast<size_t>(number - 1);
  bool named = false;
  for (const MemberKind kind :
       {MemberKind::Method, MemberKind::Get, MemberKind::Let, MemberKind::Set}) {
    if ((kinds & Kinds(kind)) == 0) continue;
    for (size_t k = from; k < count; ++k) {
      const Member& member = info.MemberAt(k);
      if (!answers(member)) {
        if (number != kDefaultMember) break;
        continue;
      }
      named = true;
      if (member.Kind == kind) return &member;
    }
  }
  // A name that exists but cannot be assigned so is an invalid assignment.
  const bool assigning = (kinds & (Kinds(MemberKind::Let) | Kinds(MemberKind::Set))) != 0;
  Raise(named && assigning ? errors::kWrongArgumentCount : errors::kNoSuchMember);
}

Value Call(const Object& object, const Member& member, std::span<Value> arguments) {
  const std::span<const Parameter> parameters = member.Parameters;
  if (arguments.size() > parameters.size()) Raise(errors::kWrongArgumentCount);
  size_t required = 0;
  for (const Parameter& parameter : parameters) required += parameter.Optional ? 0 : 1;
  if (arguments.size() < required) Raise(errors::kArgumentNotOptional);
  if (arguments.size() == parameters.size()) return member.Call(object, arguments);
  // Optional parameters left out take their defaults; what the member
  // writes back reaches the caller's arguments.
  std::array<Value, kMostParameters> all;
  for (size_t k = 0; k < arguments.size(); ++k) all[k] = std::move(arguments[k]);
  for (size_t k = arguments.size(); k < parameters.size(); ++k) {
    all[k] = Value(Variant(parameters[k].Default));
  }
  struct MoveBack {
    std::span<Value> to;
    std::array<Value, kMostParameters>& from;
    ~MoveBack() {
      for (size_t k = 0; k < to.size(); ++k) to[k] = std::move(from[k]);
    }
  } move_back{arguments, all};
  return member.Call(object, std::span(all.data(), parameters.size()));
}

}  // namespace

Object CreateObject(std::string_view name) {
  const ClassInfo* info = FindClass(name);
  if (info == nullptr || !info->Creatable()) Raise(errors::kCannotCreateObject);
  try {
    return info->Create();
  } catch (const std::bad_alloc&) {
    Raise(errors::kOutOfMemory);
  }
}

int32_t MemberNumber(const Object& object, std::string_view name) {
  const ClassInfo& info = ClassOfObject(object);
  const size_t count = info.MemberCount();
  if (name.empty()) {
    for (size_t k = 0; k < count; ++k) {
      if (info.MemberAt(k).Role == MemberRole::Default) return kDefaultMember;
    }
    Raise(errors::kNoSuchMember);
  }
  const uint64_t hash = FoldedHash(name);
  for (const NameEntry& entry : NamesOf(info)) {
    if (entry.hash == hash &&
        detail::SameName(name, info.MemberAt(static_cast<size_t>(entry.number - 1)).Name)) {
      return entry.number;
    }
  }
  Raise(errors::kNoSuchMember);
}

Value Invoke(const Object& object, int32_t member, CallKinds kinds, std::span<Value> arguments) {
  const ClassInfo& info = ClassOfObject(object);
  if (member < kDefaultMember || static_cast<size_t>(member) > info.MemberCount()) {
    Raise(errors::kNoSuchMember);
  }
  const Member* chosen = Choose(info, member, kinds);
  try {
    return Call(object, *chosen, arguments);
  } catch (const std::bad_alloc&) {
    Raise(errors::kOutOfMemory);
  }
}

Value Invoke(const Object& object, std::string_view name, CallKinds kinds,
             std::span<Value> arguments) {
  return Invoke(object, MemberNumber(object, name), kinds, arguments);
}

}  // namespace ombrix::automation
