// The class catalogue: every class the library serves, its description,
// who may create it, and every member of its interfaces in slot order with
// kind, parameters, result and help text, as a tool lists them and as late
// binding calls them.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "ombrix/automation/object.h"

namespace ombrix::automation {

/// How a member is called; the values combine as flags in a call.
enum class MemberKind : uint8_t {
  Method = 1,  ///< a method
  Get = 2,     ///< a property read
  Let = 4,     ///< a property assignment of a value
  Set = 8,     ///< a property assignment of an object reference
};

/// What a member is to its class besides its name.
enum class MemberRole : uint8_t {
  None,        ///< an ordinary member
  Default,     ///< the member used when a client indexes the object itself
  Enumerator,  ///< the hidden member that hands out an enumerator
};

/// The automation types of parameters and results.
enum class TypeKind : uint8_t {
  None,     ///< no result
  Long,     ///< 32-bit signed integer
  Byte,     ///< unsigned 8-bit integer
  Boolean,  ///< true or false
  Double,   ///< IEEE double
  String,   ///< text
  Variant,  ///< any value
  Bytes,    ///< the caller's array of bytes
  Object,   ///< a reference to an object of the class or interface named beside it
};

/// A parameter's or result's type.
struct Type {
  TypeKind Kind = TypeKind::None;  ///< the kind of value
  const char* Class = "";          ///< for an object: the class or interface it must answer
};

/// One parameter of a member.
struct Parameter {
  const char* Name;          ///< as the interface names it; "" for an assigned value
  Type Of;                   ///< its type
  bool Optional = false;     ///< may be left out, then Default is given
  int32_t Default = 0;       ///< the value of a left-out optional parameter
  bool ByReference = false;  ///< passed by reference (the callee may write it)
};

class ClassInfo;

/// What late binding calls: the member's work on `self` with its arguments
/// (every parameter present, optional ones filled, the assigned value last).
using Invoker = Value (*)(const Object& self, std::span<Value> arguments);

/// One member of an interface.
struct Member {
  const char* Name;                       ///< its name
  MemberKind Kind;                        ///< how it is called
  std::span<const Parameter> Parameters;  ///< in order; a let's or set's value last
  Type Result;                            ///< TypeKind::None for no result
  const char* Help;                       ///< its help text; "" when it has none
  MemberRole Role = MemberRole::None;     ///< default or enumerator member
  Invoker Call = nullptr;                 ///< the call itself
};

/// An interface: a name and its members in slot order.
struct Interface {
  const char* Name;                 ///< the interface's name
  std::span<const Member> Members;  ///< in slot order
};

/// One class of the catalogue.
class ClassInfo {
 public:
  /// The class's data, as the catalogue lists it.
  constexpr ClassInfo(ClassId id, const char* name, const char* description, bool creatable,
                      bool persisted, const Interface* own, const Interface* also,
                      Object (*create)())
      : id_(id),
        name_(name),
        description_(description),
        creatable_(creatable),
        persisted_(persisted),
        own_(own),
        also_(also),
        create_(create) {}

  /// Which class it is.
  ClassId Id() const noexcept { return id_; }
  /// The class's name.
  const char* Name() const noexcept { return name_; }
  /// Its description (lines apart by "\n"); "" when it has none.
  const char* Description() const noexcept { return description_; }
  /// Whether a client may create it by name.
  bool Creatable() const noexcept { return creatable_; }
  /// Whether it saves itself to a property bag.
  bool Persisted() const noexcept { return persisted_; }
  /// Its own interface.
  const Interface& Own() const noexcept { return *own_; }
  /// The other class's interface it also answers, or null.
  const Interface* AlsoAnswers() const noexcept { return also_; }
  /// Every member a call by name reaches: the own interface's, then the other's.
  size_t MemberCount() const noexcept;
  /// Member `index` (0-based) of that list, with the interface it belongs to.
  const Member& MemberAt(size_t index, const Interface** from = nullptr) const noexcept;
  /// A new object of the class; only for a creatable class.
  Object Create() const { return create_(); }

 private:
  ClassId id_;
  const char* name_;
  const char* description_;
  bool creatable_;
  bool persisted_;
  const Interface* own_;
  const Interface* also_;
  Object (*create_)();
};

/// The library's own description.
inline constexpr const char* kLibraryDescription = "Utilitaires de gestion de tableaux d'octets V2";

/// The twelve classes of the catalogue, in its order.
std::span<const ClassInfo> Classes() noexcept;
/// The enumerator NewEnum hands out (Next, Skip, Reset); not in the catalogue.
const ClassInfo& EnumeratorClass() noexcept;
/// The class of `id`.
const ClassInfo& ClassOf(ClassId id) noexcept;
/// The class named `name` (case-insensitive, "Ombrix." before it allowed), or null.
const ClassInfo* FindClass(std::string_view name) noexcept;

/// The name of a type as a tool shows it: "Long", "ByteArray", "Byte()".
const char* TypeName(const Type& type) noexcept;
/// The name of a member kind: "get", "let", "set", "method".
const char* KindName(MemberKind kind) noexcept;

}  // namespace ombrix::automation
