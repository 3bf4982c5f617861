// NumericItem and its two byte orders, ScaledValue and Enumeration, as late
// binding calls them.
#include "ombrix/automation/arguments_internal.h"
#include "ombrix/automation/members_internal.h"

namespace ombrix::automation::detail {
namespace {

constexpr Type kItem{TypeKind::Object, "NumericItem"};

constexpr Parameter kLongValue[] = {{"", kLongType}};
constexpr Parameter kDoubleValue[] = {{"", kDoubleType}};
constexpr Parameter kStringValue[] = {{"", kStringType}};
constexpr Parameter kItemValue[] = {{"", kItem}};
constexpr Parameter kRefersTo[] = {{"I", Type{TypeKind::Object, "ByteArray"}, false, 0, true},
                                   {"SkippedBits", kLongType},
                                   {"NumBits", kLongType},
                                   {"S", kBooleanType}};
constexpr Parameter kIndex[] = {{"Index", kLongType}};
constexpr Parameter kAdd[] = {{"Text", kStringType, false, 0, true}, {"Value", kLongType}};
constexpr Parameter kValueArgument[] = {{"Value", kLongType}};
constexpr Parameter kTextArgument[] = {{"Text", kStringType, false, 0, true}};

NumericItem& Field(const Object& self) { return *self.NumericItemInterface(); }

Value RefersTo(const Object& self, std::span<Value> a) {
  const auto array = ByteArrayOf(a[0]);
  Field(self).RefersTo(*array, LongOf(a[1]), LongOf(a[2]), BooleanOf(a[3]));
  return None();
}

constexpr Member kNumericItemMembers[] = {
    {"Max",
     MemberKind::Get,
     {},
     kLongType,
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value>) { return Long(Field(self).Max()); }},
    {"Min",
     MemberKind::Get,
     {},
     kLongType,
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value>) { return Long(Field(self).Min()); }},
    {"Value",
     MemberKind::Let,
     kLongValue,
     {},
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       Field(self).Value(LongOf(a[0]));
       return None();
     }},
    {"Value",
     MemberKind::Get,
     {},
     kLongType,
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value>) { return Long(Field(self).Value()); }},
    {"RefersTo", MemberKind::Method, kRefersTo, {}, "", MemberRole::None, RefersTo},
    {"Mask",
     MemberKind::Get,
     {},
     kStringType,
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value>) { return String(Field(self).Mask()); }},
};

constexpr Member kOrderedFieldMembers[] = {
    {"NumericItem_RefersTo",
     MemberKind::Method,
     kRefersTo,
     {},
     "Détermine le champ de bits associé à l'objet",
     MemberRole::None,
     RefersTo},
};

ScaledValue& Scaled(const Object& self) { return Self<ScaledValue>(self); }

constexpr Member kScaledValueMembers[] = {
    {"RefersTo",
     MemberKind::Get,
     {},
     kItem,
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value>) {
       return Value(Object::Of(Scaled(self).RefersTo()));
     }},
    {"RefersTo",
     MemberKind::Set,
     kItemValue,
     {},
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       // Nothing unbinds the scaled value; any other object must be a field.
       const Object* object = a[0].AsObject();
       if (object == nullptr) Raise(errors::kTypeMismatch);
       auto item = object->NumericItemInterface();
       if (!item && !object->IsNothing()) Raise(errors::kTypeMismatch);
       Scaled(self).RefersTo(std::move(item));
       return None();
     }},
    {"CoeffA",
     MemberKind::Get,
     {},
     kDoubleType,
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value>) { return Double(Scaled(self).CoeffA()); }},
    {"CoeffA",
     MemberKind::Let,
     kDoubleValue,
     {},
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       Scaled(self).CoeffA(DoubleOf(a[0]));
       return None();
     }},
    {"CoeffB",
     MemberKind::Get,
     {},
     kDoubleType,
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value>) { return Double(Scaled(self).CoeffB()); }},
    {"CoeffB",
     MemberKind::Let,
     kDoubleValue,
     {},
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       Scaled(self).CoeffB(DoubleOf(a[0]));
       return None();
     }},
    {"CoeffC",
     MemberKind::Get,
     {},
     kDoubleType,
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value>) { return Double(Scaled(self).CoeffC()); }},
    {"CoeffC",
     MemberKind::Let,
     kDoubleValue,
     {},
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       Scaled(self).CoeffC(DoubleOf(a[0]));
       return None();
     }},
    {"Precision",
     MemberKind::Get,
     {},
     kLongType,
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value>) { return Long(Scaled(self).Precision()); }},
    {"Precision",
     MemberKind::Let,
     kLongValue,
     {},
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       Scaled(self).Precision(LongOf(a[0]));
       return None();
     }},
    {"Unit",
     MemberKind::Get,
     {},
     kStringType,
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value>) { return String(Scaled(self).Unit()); }},
    {"Unit",
     MemberKind::Let,
     kStringValue,
     {},
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       Scaled(self).Unit(StringOf(a[0]));
       return None();
     }},
    {"Min",
     MemberKind::Get,
     {},
     kDoubleType,
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value>) { return Double(Scaled(self).Min()); }},
    {"Max",
     MemberKind::Get,
     {},
     kDoubleType,
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value>) { return Double(Scaled(self).Max()); }},
    {"Text",
     MemberKind::Get,
     {},
     kStringType,
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value>) { return String(Scaled(self).Text()); }},
    {"Text",
     MemberKind::Let,
     kStringValue,
     {},
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       Scaled(self).Text(StringOf(a[0]));
       return None();
     }},
    {"Value",
     MemberKind::Get,
     {},
     kDoubleType,
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value>) { return Double(Scaled(self).Value()); }},
    {"Value",
     MemberKind::Let,
     kDoubleValue,
     {},
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       Scaled(self).Value(DoubleOf(a[0]));
       return None();
     }},
};

Enumeration& List(const Object& self) { return Self<Enumeration>(self); }

constexpr Member kEnumerationMembers[] = {
    {"Count",
     MemberKind::Get,
     {},
     kLongType,
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value>) { return Long(List(self).Count()); }},
    {"Item", MemberKind::Get, kIndex, kStringType, "", MemberRole::Default,
     [](const Object& self, std::span<Value> a) { return String(List(self).Item(LongOf(a[0]))); }},
    {"Remove",
     MemberKind::Method,
     kIndex,
     {},
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       List(self).Remove(LongOf(a[0]));
       return None();
     }},
    {"Clear",
     MemberKind::Method,
     {},
     {},
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value>) {
       List(self).Clear();
       return None();
     }},
    {"NewEnum",
     MemberKind::Method,
     {},
     Type{TypeKind::Object, "Enumerator"},
     "",
     MemberRole::Enumerator,
     [](const Object& self, std::span<Value>) {
       std::vector<Value> texts;
       for (const std::string& text : List(self)) texts.emplace_back(Variant(text));
       return Value(Object(std::make_shared<ObjectEnumerator>(std::move(texts))));
     }},
    {"Add",
     MemberKind::Method,
     kAdd,
     {},
     "",
     MemberRole::None,
     [](const Object& self, std::span<Value> a) {
       List(self).Add(StringOf(a[0]), LongOf(a[1]));
       return None();
     }},
    {"Text", MemberKind::Get, kValueArgument, kStringType, "", MemberRole::None,
     [](const Object& self, std::span<Value> a) { return String(List(self).Text(LongOf(a[0]))); }},
    {"Value", MemberKind::Get, kTextArgument, kLongType, "", MemberRole::None,
     [](const Object& self, std::span<Value> a) { return Long(List(self).Value(StringOf(a[0]))); }},
};

}  // namespace

const Interface kNumericItemInterface{"NumericItem", kNumericItemMembers};
const Interface kLittleEndianInterface{"LittleEndian", kOrderedFieldMembers};
const Interface kBigEndianInterface{"BigEndian", kOrderedFieldMembers};
const Interface kScaledValueInterface{"ScaledValue", kScaledValueMembers};
const Interface kEnumerationInterface{"Enumeration", kEnumerationMembers};

}  // namespace ombrix::automation::detail
