// The ByteArray interface (shared by the array and its two views) and
// ArrayBounds, as late binding calls them.
#include "ombrix/automation/arguments_internal.h"
#include "ombrix/automation/members_internal.h"

namespace ombrix::automation::detail {
namespace {

constexpr Parameter kLongValue[] = {{"", kLongType}};
constexpr Parameter kIndex[] = {{"Index", kLongType}};
constexpr Parameter kIndexAndValue[] = {{"Index", kLongType}, {"", kLongType}};
constexpr Parameter kInterval[] = {{"Index", kLongType}, {"Count", kLongType, true, 0}};
constexpr Parameter kV[] = {{"V", kByteArrayType}};
constexpr Parameter kArrayValue[] = {{"", kByteArrayType}};
constexpr Parameter kWriteBytes[] = {{"Destination", Type{TypeKind::Bytes}, false, 0, true},
                                     {"DestinationIndex", kLongType},
                                     {"SourceIndex", kLongType},
                                     {"Count", kLongType}};
constexpr Parameter kStringValue[] = {{"", kStringType}};
constexpr Parameter kVariantValue[] = {{"", kVariantType, false, 0, true}};
constexpr Parameter kSkip[] = {{"Pattern", kByteType}, {"Start", kLongType}};
constexpr Parameter kPattern[] = {{"Pattern", kByteType}};
constexpr Parameter kOptionalPattern[] = {{"Pattern", kByteType, true, 0}};

constexpr const char* kCountHelp = "Nombre d'octets";
constexpr const char* kHighIndexHelp = "Plus grande valeur légale de l'index";
constexpr const char* kItemHelp = "Accès à un octet individuel";
constexpr const char* kLowIndexHelp =
    "Plus petite valeur de l'index. Initialisé à 1. L'affectation ne change pas la valeur des "
    "octets du tableau";
constexpr const char* kCopyHelp =
    "En lecture, obtient une copie de l'objet ByteArray.\nEn écriture, modifie le contenu en "
    "recopiant les données de l'objet affecté.";
constexpr const char* kTextHelp = "Texte en hexadécimal";
constexpr const char* kValueHelp = "Variant de type tableau d'octets (basé en 0)";

IByteArray& Array(const Object& self) { return *self.ByteArrayInterface(); }

Value WriteBytes(const Object& self, std::span<Value> a) {
  // The caller's array is written in place: a copy in, the result back.
  const SafeArray<uint8_t>* destination = VariantOf(a[0]).ByteArray();
  if (destination == nullptr) Raise(errors::kTypeMismatch);
  SafeArray<uint8_t> written = *destination;
  Array(self).WriteBytes(written, LongOf(a[1]), LongOf(a[2]), LongOf(a[3]));
  a[0] = Value(Variant(std::move(written)));
  return None();
}

constexpr Member kByteArrayMembers[] = {
    {"Bounds",
     MemberKind::Get,
     {},
     Type{TypeKind::Object, "ArrayBounds"},
     "Obtient un objet ArrayBounds correspondant au ByteArray",
     MemberRole::None,
     [](const Object& self, std::span<Value>) { return Value(Object(Array(self).Bounds())); }},
    {"Count",
     MemberKind::Get,
     {},
     kLongType,
     kCountHelp,
     MemberRole::None,
     [](const Object& self, std::span<Value>) { return Long(Array(self).Count()); }},
    {"Count",
     MemberKind::Let,
     kLongValue,
     {},
     kCountHelp,
     MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       Array(self).Count(LongOf(a[0]));
       return None();
     }},
    {"HighIndex",
     MemberKind::Get,
     {},
     kLongType,
     kHighIndexHelp,
     MemberRole::None,
     [](const Object& self, std::span<Value>) { return Long(Array(self).HighIndex()); }},
    {"HighIndex",
     MemberKind::Let,
     kLongValue,
     {},
     kHighIndexHelp,
     MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       Array(self).HighIndex(LongOf(a[0]));
       return None();
     }},
    {"Interval", MemberKind::Method, kInterval, kByteArrayType,
     "Référence à un sous ensemble du tableau", MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       return Value(Object::Of(Array(self).Interval(LongOf(a[0]), LongOf(a[1]))));
     }},
    {"Item", MemberKind::Get, kIndex, kLongType, kItemHelp, MemberRole::Default,
     [](const Object& self, std::span<Value> a) { return Long(Array(self).Item(LongOf(a[0]))); }},
    {"Item",
     MemberKind::Let,
     kIndexAndValue,
     {},
     kItemHelp,
     MemberRole::Default,
     [](const Object& self, std::span<Value> a) {
       Array(self).Item(LongOf(a[0]), LongOf(a[1]));
       return None();
     }},
    {"LowIndex",
     MemberKind::Get,
     {},
     kLongType,
     kLowIndexHelp,
     MemberRole::None,
     [](const Object& self, std::span<Value>) { return Long(Array(self).LowIndex()); }},
    {"LowIndex",
     MemberKind::Let,
     kLongValue,
     {},
     kLowIndexHelp,
     MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       Array(self).LowIndex(LongOf(a[0]));
       return None();
     }},
    {"Check", MemberKind::Method, kV, kBooleanType, "", MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       return Boolean(Array(self).Check(*ByteArrayOf(a[0])));
     }},
    {"Copy",
     MemberKind::Get,
     {},
     kByteArrayType,
     kCopyHelp,
     MemberRole::None,
     [](const Object& self, std::span<Value>) { return Value(Object(Array(self).Copy())); }},
    {"Copy",
     MemberKind::Let,
     kArrayValue,
     {},
     kCopyHelp,
     MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       Array(self).Copy(*ByteArrayOf(a[0]));
       return None();
     }},
    {"Sum",
     MemberKind::Method,
     {},
     kLongType,
     "Somme des octets du tableau",
     MemberRole::None,
     [](const Object& self, std::span<Value>) { return Long(Array(self).Sum()); }},
    {"WriteBytes",
     MemberKind::Method,
     kWriteBytes,
     {},
     "Lecture d'un intervalle vers un tableau d'octets",
     MemberRole::None,
     WriteBytes},
    {"Text",
     MemberKind::Get,
     {},
     kStringType,
     kTextHelp,
     MemberRole::None,
     [](const Object& self, std::span<Value>) { return String(Array(self).Text()); }},
    {"Text",
     MemberKind::Let,
     kStringValue,
     {},
     kTextHelp,
     MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       Array(self).Text(StringOf(a[0]));
       return None();
     }},
    {"Value",
     MemberKind::Get,
     {},
     kVariantType,
     kValueHelp,
     MemberRole::None,
     [](const Object& self, std::span<Value>) { return Value(Array(self).Value()); }},
    {"Value",
     MemberKind::Let,
     kVariantValue,
     {},
     kValueHelp,
     MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       Array(self).Value(VariantOf(a[0]));
       return None();
     }},
    {"Skip", MemberKind::Method, kSkip, kLongType, "Recherche d'un octet dans le tableau",
     MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       return Long(Array(self).Skip(ByteOf(a[0]), LongOf(a[1])));
     }},
    {"Fill",
     MemberKind::Method,
     kPattern,
     {},
     "Remplit le tableau avec la valeur indiquée",
     MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       Array(self).Fill(ByteOf(a[0]));
       return None();
     }},
};

constexpr Member kArrayBoundsMembers[] = {
    {"Count",
     MemberKind::Get,
     {},
     kLongType,
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value>) { return Long(Self<ArrayBounds>(self).Count()); }},
    {"LowIndex",
     MemberKind::Get,
     {},
     kLongType,
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value>) { return Long(Self<ArrayBounds>(self).LowIndex()); }},
    {"HighIndex",
     MemberKind::Get,
     {},
     kLongType,
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value>) {
       return Long(Self<ArrayBounds>(self).HighIndex());
     }},
    {"ByteArray", MemberKind::Method, kOptionalPattern, kByteArrayType, "", MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       return Value(Object(Self<ArrayBounds>(self).ByteArray(ByteOf(a[0]))));
     }},
};

}  // namespace

const Interface kByteArrayInterface{"ByteArray", kByteArrayMembers};
const Interface kArrayBoundsInterface{"ArrayBounds", kArrayBoundsMembers};

}  // namespace ombrix::automation::detail
