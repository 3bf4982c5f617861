// MemoryMap, MemoryImage, CRC and the enumerator that NewEnum hands out, as
// late binding calls them.
#include "ombrix/automation/arguments_internal.h"
#include "ombrix/automation/members_internal.h"

namespace ombrix::automation::detail {
namespace {

constexpr Type kMap{TypeKind::Object, "MemoryMap"};
constexpr Type kEnumerator{TypeKind::Object, "Enumerator"};

constexpr Parameter kStretch[] = {{"StartAddress", kLongType}, {"Count", kLongType}};
constexpr Parameter kSegment[] = {{"S", Type{TypeKind::Object, "ArrayBounds"}}};
constexpr Parameter kOtherMap[] = {{"MM", kMap}};
constexpr Parameter kIndex[] = {{"Index", kLongType}};
constexpr Parameter kOptionalPattern[] = {{"Pattern", Type{TypeKind::Byte}, true, 0}};
constexpr Parameter kArrayArgument[] = {{"B", kByteArrayType}};
constexpr Parameter kMapOut[] = {{"M", kMap, false, 0, true}};
constexpr Parameter kCount[] = {{"Count", kLongType}};

MemoryMap& Map(const Object& self) { return Self<MemoryMap>(self); }
MemoryImage& Image(const Object& self) { return Self<MemoryImage>(self); }

template <typename Collection>
Value EnumeratorOver(const Collection& collection) {
  std::vector<Value> items;
  for (const auto& item : collection) items.emplace_back(Object(item));
  return Value(Object(std::make_shared<ObjectEnumerator>(std::move(items))));
}

const MemoryMap& MapOf(const Value& value) {
  const auto map = ObjectOf(value).As<MemoryMap>();
  if (!map) Raise(errors::kTypeMismatch);
  return *map;
}

constexpr Member kMemoryMapMembers[] = {
    {"Add",
     MemberKind::Method,
     kStretch,
     {},
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       Map(self).Add(LongOf(a[0]), LongOf(a[1]));
       return None();
     }},
    {"Check", MemberKind::Method, kSegment, kBooleanType, "", MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       const auto segment = ObjectOf(a[0]).As<ArrayBounds>();
       if (!segment) Raise(errors::kTypeMismatch);
       return Boolean(Map(self).Check(*segment));
     }},
    {"Clear",
     MemberKind::Method,
     {},
     {},
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value>) {
       Map(self).Clear();
       return None();
     }},
    {"Count",
     MemberKind::Get,
     {},
     kLongType,
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value>) { return Long(Map(self).Count()); }},
    {"Exclude", MemberKind::Method, kOtherMap, kMap, "", MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       return Value(Object(Map(self).Exclude(MapOf(a[0]))));
     }},
    {"Item", MemberKind::Get, kIndex, Type{TypeKind::Object, "ArrayBounds"}, "", MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       return Value(Object(Map(self).Item(LongOf(a[0]))));
     }},
    {"MemoryImage", MemberKind::Method, kOptionalPattern, Type{TypeKind::Object, "MemoryImage"}, "",
     MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       return Value(Object(Map(self).MemoryImage(ByteOf(a[0]))));
     }},
    {"NewEnum",
     MemberKind::Method,
     {},
     kEnumerator,
     "",
     MemberRole::Enumerator,
     [](const Object& self, std::span<Value>) { return EnumeratorOver(Map(self)); }},
    {"Remove",
     MemberKind::Method,
     kStretch,
     {},
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       Map(self).Remove(LongOf(a[0]), LongOf(a[1]));
       return None();
     }},
    {"BytesCount",
     MemberKind::Get,
     {},
     kLongType,
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value>) { return Long(Map(self).BytesCount()); }},
};

constexpr Member kMemoryImageMembers[] = {
    {"Count",
     MemberKind::Get,
     {},
     kLongType,
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value>) { return Long(Image(self).Count()); }},
    {"BytesCount",
     MemberKind::Get,
     {},
     kLongType,
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value>) { return Long(Image(self).BytesCount()); }},
    {"Add",
     MemberKind::Method,
     kArrayArgument,
     {},
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       Image(self).Add(*ByteArrayOf(a[0]));
       return None();
     }},
    {"Clear",
     MemberKind::Method,
     {},
     {},
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value>) {
       Image(self).Clear();
       return None();
     }},
    {"Map",
     MemberKind::Get,
     {},
     kMap,
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value>) { return Value(Object(Image(self).Map())); }},
    {"GetMap",
     MemberKind::Method,
     kMapOut,
     {},
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       // An out parameter: whatever the caller passed is replaced.
       std::shared_ptr<MemoryMap> map;
       Image(self).GetMap(map);
       a[0] = Value(Object(std::move(map)));
       return None();
     }},
    {"MemoryRead", MemberKind::Method, kStretch, kByteArrayType, "", MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       return Value(Object(Image(self).MemoryRead(LongOf(a[0]), LongOf(a[1]))));
     }},
    {"MemoryWrite",
     MemberKind::Method,
     kArrayArgument,
     {},
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       Image(self).MemoryWrite(*ByteArrayOf(a[0]));
       return None();
     }},
    {"Item", MemberKind::Get, kIndex, kByteArrayType, "", MemberRole::Default,
     [](const Object& self, std::span<Value> a) {
       return Value(Object(Image(self).Item(LongOf(a[0]))));
     }},
    {"NewEnum",
     MemberKind::Method,
     {},
     kEnumerator,
     "",
     MemberRole::Enumerator,
     [](const Object& self, std::span<Value>) { return EnumeratorOver(Image(self)); }},
};

constexpr Member kCrcMembers[] = {
    {"Append",
     MemberKind::Method,
     kArrayArgument,
     {},
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       Self<CRC>(self).Append(*ByteArrayOf(a[0]));
       return None();
     }},
    {"Clear",
     MemberKind::Method,
     {},
     {},
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value>) {
       Self<CRC>(self).Clear();
       return None();
     }},
    {"Check",
     MemberKind::Get,
     {},
     kBooleanType,
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value>) { return Boolean(Self<CRC>(self).Check()); }},
    {"Send",
     MemberKind::Method,
     kArrayArgument,
     {},
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       Self<CRC>(self).Send(*ByteArrayOf(a[0]));
       return None();
     }},
};

constexpr Member kEnumeratorMembers[] = {
    {"Next",
     MemberKind::Method,
     {},
     Type{TypeKind::Variant},
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value>) {
       // One item, or Empty past the last (the items are never Empty).
       auto items = Self<ObjectEnumerator>(self).Next(1);
       return items.empty() ? None() : std::move(items.front());
     }},
    {"Skip", MemberKind::Method, kCount, kBooleanType, "", MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       return Boolean(Self<ObjectEnumerator>(self).Skip(LongOf(a[0])));
     }},
    {"Reset",
     MemberKind::Method,
     {},
     {},
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value>) {
       Self<ObjectEnumerator>(self).Reset();
       return None();
     }},
    {"Clone",
     MemberKind::Method,
     {},
     kEnumerator,
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value>) {
       return Value(Object(Self<ObjectEnumerator>(self).Clone()));
     }},
};

}  // namespace

const Interface kMemoryMapInterface{"MemoryMap", kMemoryMapMembers};
const Interface kMemoryImageInterface{"MemoryImage", kMemoryImageMembers};
const Interface kCrcInterface{"CRC", kCrcMembers};
const Interface kEnumeratorInterface{"Enumerator", kEnumeratorMembers};

}  // namespace ombrix::automation::detail
