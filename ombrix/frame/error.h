// Errors raised by every member of the library: a number, a source and a
// description, thrown as ombrix::Error.
#pragma once

#include <cstdint>
#include <exception>
#include <iosfwd>
#include <string>

namespace ombrix {

/// The failure of a member: number, source text and description text.
class Error : public std::exception {
 public:
  /// An error with the given number; an empty description becomes the
  /// standard one for the number, an empty source becomes "Ombrix".
  explicit Error(int32_t number, std::string description = {}, std::string source = {});
  /// The same, with `detail` (the values concerned) added to what() alone.
  Error(int32_t number, std::string description, std::string source, std::string detail);

  /// The error number (9, 1000, ...).
  int32_t Number() const noexcept { return number_; }
  /// Where the error comes from; "Ombrix" unless the member gave a text.
  const std::string& Source() const noexcept { return source_; }
  /// What went wrong: the member's own text, or the standard description.
  const std::string& Description() const noexcept { return description_; }
  /// "error 9: Subscript out of range", then ": detail" when there is one,
  /// then " (Source)" when the source is not "Ombrix".
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  int32_t number_;
  std::string source_;
  std::string description_;
  std::string what_;
};

/// Writes what(): the number, the description and a source other than "Ombrix".
std::ostream& operator<<(std::ostream& out, const Error& error);

/// The standard description of an error number ("Subscript out of range"
/// for 9, the application-defined message for numbers without one).
const char* StandardDescription(int32_t number) noexcept;

/// Throws Error(number) with the standard description; out of line, so
/// that a hot caller builds no strings.
[[noreturn]] void Raise(int32_t number);
/// Throws Error(number, description).
[[noreturn]] void Raise(int32_t number, const char* description);
/// Throws Error(number, description, source).
[[noreturn]] void Raise(int32_t number, std::string description, std::string source = {});
/// Throws Error(number, description) whose what() adds `detail`.
[[noreturn]] void RaiseWithDetail(int32_t number, const char* description, std::string detail);

/// Error numbers the library raises.
namespace errors {
/// The numbers, named.
///@{
inline constexpr int32_t kFieldGeometry = 1;
inline constexpr int32_t kInvalidArgument = 5;
inline constexpr int32_t kOverflow = 6;
inline constexpr int32_t kOutOfMemory = 7;
inline constexpr int32_t kSubscriptOutOfRange = 9;
inline constexpr int32_t kArrayLocked = 10;
inline constexpr int32_t kTypeMismatch = 13;
inline constexpr int32_t kObjectNotSet = 91;
inline constexpr int32_t kInvalidUseOfNull = 94;
inline constexpr int32_t kNotAnInstance = 97;
inline constexpr int32_t kCannotCreateObject = 429;   ///< creation by name refused
inline constexpr int32_t kNoSuchMember = 438;         ///< late binding: no such member
inline constexpr int32_t kArgumentNotOptional = 449;  ///< late binding: argument left out
inline constexpr int32_t kWrongArgumentCount = 450;   ///< late binding: too many, or bad assignment
inline constexpr int32_t kLibrary = 1000;
inline constexpr int32_t kFieldRange = 2000;
///@}
}  // namespace errors

/// The library's own texts, exactly as callers see them.
namespace messages {
/// The texts, named.
///@{
inline constexpr const char* kNegativeCount =
    "La propriété ByteAray.Count ne peut pas être négative";
inline constexpr const char* kOddText = "la propriété Text doit être de longueur paire";
inline constexpr const char* kWrongLength = "Longueur de tableau incorrecte sur la propriété mid";
inline constexpr const char* kCountReadOnly = "Propriété Count en lecture seule";
inline constexpr const char* kHighIndexReadOnly = "Propriété HighIndex en lecture seule";
inline constexpr const char* kNotImplemented = "non encore implémenté";
inline constexpr const char* kOverlap = "Segments mémoire en recouvrement";
inline constexpr const char* kFieldTooWide = "Invalid data position, can't be over 5 bytes";
inline constexpr const char* kUnsigned32 = "32 bits unsigned not supported";
inline constexpr const char* kValueTooSmall = "Value too small";
inline constexpr const char* kValueTooBig = "Value too big";
///@}
}  // namespace messages

}  // namespace ombrix
