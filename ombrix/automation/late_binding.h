// Creation by name and late binding: what a client in another language
// reaches through the component server. Names match case-insensitively;
// failures are the library's errors or the platform's standard ones (429,
// 438, 449, 450, 13, 91), each an ombrix::Error.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "ombrix/automation/catalogue.h"

namespace ombrix::automation {

/// The member number of the default member (Item), where a class has one.
inline constexpr int32_t kDefaultMember = 0;

/// The kinds a call accepts, as flags.
using CallKinds = uint32_t;
/// The flag of one kind.
constexpr CallKinds Kinds(MemberKind kind) noexcept { return static_cast<CallKinds>(kind); }

/// A new object of the class named `name` ("ByteArray", "Ombrix.ByteArray",
/// any case); error 429 for an unknown class or one a client may not create.
Object CreateObject(std::string_view name);

/// The number of the member called `name` on `object`'s class, for the
/// faster call by number: kDefaultMember for "", else 1 and up. Error 438
/// when the class has no such member, 91 for Nothing.
int32_t MemberNumber(const Object& object, std::string_view name);

/// Calls member `name` of `object` as one of `kinds` (a let's or set's
/// value last among `arguments`). Optional parameters left out take their
/// defaults; a by-reference argument may be replaced. Errors: 438 no such
/// member or kind, 450 a wrong number of arguments or an assignment to what
/// cannot be assigned, 449 a required argument left out, 13 a mismatched
/// type, 91 Nothing; the member's own errors as they are.
Value Invoke(const Object& object, std::string_view name, CallKinds kinds,
             std::span<Value> arguments);
/// The same by member number.
Value Invoke(const Object& object, int32_t member, CallKinds kinds, std::span<Value> arguments);

}  // namespace ombrix::automation
