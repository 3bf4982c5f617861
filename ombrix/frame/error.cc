#include "ombrix/frame/error.h"

#include <ostream>
#include <utility>

namespace ombrix {

Error::Error(int32_t number, std::string description, std::string source)
    : Error(number, std::move(description), std::move(source), std::string()) {}

Error::Error(int32_t number, std::string description, std::string source, std::string detail)
    : number_(number),
      source_(source.empty() ? std::string("Ombrix") : std::move(source)),
      description_(description.empty() ? std::string(StandardDescription(number))
                                       : std::move(description)),
      what_("error " + std::to_string(number_) + ": " + description_ +
            (detail.empty() ? std::string() : ": " + detail) +
            (source_ == "Ombrix" ? std::string() : " (" + source_ + ")")) {}

std::ostream& operator<<(std::ostream& out, const Error& error) { return out << error.what(); }

const char* StandardDescription(int32_t number) noexcept {
  switch (number) {
    case 5:
      return "Invalid procedure call or argument";
    case 6:
      return "Overflow";
    case 7:
      return "Out of memory";
    case 9:
      return "Subscript out of range";
    case 10:
      return "This array is fixed or temporarily locked";
    case 13:
      return "Type mismatch";
    case 91:
      return "Object variable or With block variable not set";
    case 94:
      return "Invalid use of Null";
    case 97:
      return "Can not call friend function on object which is not an instance of defining class";
    case 429:
      return "ActiveX component can't create object";
    case 438:
      return "Object doesn't support this property or method";
    case 449:
      return "Argument not optional";
    case 450:
      return "Wrong number of arguments or invalid property assignment";
    default:
      return "Application-defined or object-defined error";
  }
}

void Raise(int32_t number) { throw Error(number); }

void Raise(int32_t number, const char* description) { throw Error(number, description); }

void Raise(int32_t number, std::string description, std::string source) {
  throw Error(number, std::move(description), std::move(source));
}

void RaiseWithDetail(int32_t number, const char* description, std::string detail) {
  throw Error(number, description, std::string(), std::move(detail));
}

}  // namespace ombrix
