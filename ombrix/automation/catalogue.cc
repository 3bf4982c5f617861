#include "ombrix/automation/catalogue.h"

#include <array>

#include "ombrix/automation/arguments_internal.h"
#include "ombrix/automation/members_internal.h"

namespace ombrix::automation {
namespace {

using namespace detail;

constexpr Member kNoMembers[1] = {};
const Interface kIntervalInterface{"ByteArrayInterval", std::span(kNoMembers, 0)};
const Interface kTrailInterface{"ByteArrayTrail", std::span(kNoMembers, 0)};

template <typename T>
Object Make() {
  return Object(T::New());
}
Object NotCreatable() { return {}; }

const std::array<ClassInfo, 12> kClasses{{
    {ClassId::ByteArray, "ByteArray", "Gestion des tableaux d'octets", true, true,
     &kByteArrayInterface, nullptr, Make<ByteArray>},
    {ClassId::ByteArrayInterval, "ByteArrayInterval", "Intervalle d'un ByteArray", false, false,
     &kIntervalInterface, &kByteArrayInterface, NotCreatable},
    {ClassId::ByteArrayTrail, "ByteArrayTrail", "", false, false, &kTrailInterface,
     &kByteArrayInterface, NotCreatable},
    {ClassId::ArrayBounds, "ArrayBounds", "", false, false, &kArrayBoundsInterface, nullptr,
     NotCreatable},
    {ClassId::NumericItem, "NumericItem",
     "Classe générique pour l'accès numérique à un champ de bits", false, false,
     &kNumericItemInterface, nullptr, NotCreatable},
    {ClassId::LittleEndian, "LittleEndian",
     "Implémente NumericItem.\nDonnée numérique format Intel (poids faible à l'adresse basse)",
     true, false, &kLittleEndianInterface, &kNumericItemInterface, Make<LittleEndian>},
    {ClassId::BigEndian, "BigEndian",
     "Implémente NumericItem.\nDonnée numérique format Motorola (poids fort à l'adresse basse)",
     true, false, &kBigEndianInterface, &kNumericItemInterface, Make<BigEndian>},
    {ClassId::ScaledValue, "ScaledValue",
     "Donnée numérique avec fonction de conversion et format d'affichage", true, false,
     &kScaledValueInterface, nullptr, Make<ScaledValue>},
    {ClassId::Enumeration, "Enumeration", "", true, true, &kEnumerationInterface, nullptr,
     Make<Enumeration>},
    {ClassId::MemoryMap, "MemoryMap", "", true, true, &kMemoryMapInterface, nullptr,
     Make<MemoryMap>},
    {ClassId::MemoryImage, "MemoryImage", "", true, true, &kMemoryImageInterface, nullptr,
     Make<MemoryImage>},
    {ClassId::CRC, "CRC", "", true, false, &kCrcInterface, nullptr, Make<CRC>},
}};

const ClassInfo kEnumerator{ClassId::Enumerator,   "Enumerator", "",          false, false,
                            &kEnumeratorInterface, nullptr,      NotCreatable};

}  // namespace

size_t ClassInfo::MemberCount() const noexcept {
  return own_->Members.size() + (also_ != nullptr ? also_->Members.size() : 0);
}

const Member& ClassInfo::MemberAt(size_t index, const Interface** from) const noexcept {
  const Interface* in = index < own_->Members.size() ? own_ : also_;
  if (in == also_) index -= own_->Members.size();
  if (from != nullptr) *from = in;
  return in->Members[index];
}

std::span<const ClassInfo> Classes() noexcept { return kClasses; }

const ClassInfo& EnumeratorClass() noexcept { return kEnumerator; }

const ClassInfo& ClassOf(ClassId id) noexcept {
  return id == ClassId::Enumerator ? kEnumerator : kClasses[static_cast<size_t>(id)];
}

const ClassInfo* FindClass(std::string_view name) noexcept {
  constexpr std::string_view kPrefix = "Ombrix.";
  if (name.size() > kPrefix.size() && SameName(name.substr(0, kPrefix.size()), "Ombrix.")) {
    name.remove_prefix(kPrefix.size());
  }
  for (const ClassInfo& info : kClasses) {
    if (SameName(name, info.Name())) return &info;
  }
  return nullptr;
}

const char* TypeName(const Type& type) noexcept {
  switch (type.Kind) {
    case TypeKind::None:
      return "";
    case TypeKind::Long:
      return "Long";
    case TypeKind::Byte:
      return "Byte";
    case TypeKind::Boolean:
      return "Boolean";
    case TypeKind::Double:
      return "Double";
    case TypeKind::String:
      return "String";
    case TypeKind::Variant:
      return "Variant";
    case TypeKind::Bytes:
      return "Byte()";
    case TypeKind::Object:
      return type.Class;
  }
  return "";
}

const char* KindName(MemberKind kind) noexcept {
  switch (kind) {
    case MemberKind::Method:
      return "method";
    case MemberKind::Get:
      return "get";
    case MemberKind::Let:
      return "let";
    case MemberKind::Set:
      return "set";
  }
  return "";
}

}  // namespace ombrix::automation
