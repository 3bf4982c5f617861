#include "formats/json_property_bag.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <utility>
#include <vector>

#include "formats/file_error.h"
#include "formats/file_io.h"
#include "ombrix/bytes/hex_codec.h"
#include "ombrix/frame/detail/allocation.h"

namespace ombrix::formats {
namespace {

// The JSON library reads the text event by event and writes single numbers
// and strings; the values themselves are made here, as variants, so that no
// document tree is built (reading stays linear in the number of keys, and
// no destructor needs memory).
using Json = nlohmann::json;

// Kinds without a JSON type of their own are objects with one tagged member:
// {"empty": true}, {"date": days}, {"bytes": "0AFF", "lbound": 0},
// {"array": [...], "lbound": 0}. Null is JSON null.

// A scalar's text as the JSON library writes it.
template <class Scalar>
void AppendScalar(std::string& out, Scalar&& value) {
  out += Json(std::forward<Scalar>(value)).dump();
}

void AppendValue(std::string& out, const Variant& value, const std::string& indent);

// An object of tagged members, its lines indented one level past `indent`.
template <class Members>
void AppendObject(std::string& out, const std::string& indent, Members&& members) {
  const std::string inner = indent + "  ";
  out += "{";
  bool first = true;
  members([&](const char* key, auto&& append) {
    out += first ? "\n" : ",\n";
    first = false;
    out += inner + "\"" + key + "\": ";
    append(inner);
  });
  out += "\n" + indent + "}";
}

void AppendValue(std::string& out, const Variant& value, const std::string& indent) {
  switch (value.GetKind()) {
    case Variant::Kind::Empty:
      return AppendObject(out, indent, [&](auto member) {
        member("empty", [&](const std::string&) { out += "true"; });
      });
    case Variant::Kind::Null:
      out += "null";
      return;
    case Variant::Kind::Boolean:
      out += value.ToLong() != 0 ? "true" : "false";
      return;
    case Variant::Kind::Byte:
    case Variant::Kind::Integer:
    case Variant::Kind::Long:
      return AppendScalar(out, value.ToLong());
    case Variant::Kind::Double: {
      // A whole number beyond 32 bits (a file address above 2 GiB) is
      // written as one; read back, it is again a Double.
      const double number = value.ToDouble();
      if (std::floor(number) == number && std::fabs(number) <= 9007199254740992.0 &&
          (number < INT32_MIN || number > INT32_MAX)) {
        return AppendScalar(out, static_cast<int64_t>(number));
      }
      return AppendScalar(out, number);
    }
    case Variant::Kind::Date:
      return AppendObject(out, indent, [&](auto member) {
        member("date", [&](const std::string&) { AppendScalar(out, value.ToDouble()); });
      });
    case Variant::Kind::String:
      return AppendScalar(out, value.ToString());
    case Variant::Kind::ByteArray: {
      const SafeArray<uint8_t>& bytes = *value.ByteArray();
      return AppendObject(out, indent, [&](auto member) {
        member("bytes", [&](const std::string&) {
          std::string text(2 * static_cast<size_t>(bytes.Count()), '\0');
          ombrix::EncodeHex(bytes.data(), static_cast<size_t>(bytes.Count()), text.data());
          out += "\"" + text + "\"";
        });
        member("lbound", [&](const std::string&) { AppendScalar(out, bytes.LBound()); });
      });
    }
    case Variant::Kind::VariantArray: {
      const SafeArray<Variant>& items = *value.VariantArray();
      return AppendObject(out, indent, [&](auto member) {
        member("array", [&](const std::string& inner) {
          if (items.Count() == 0) {
            out += "[]";
            return;
          }
          out += "[";
          for (int32_t k = 0; k < items.Count(); ++k) {
            out += (k == 0 ? "\n" : ",\n") + inner + "  ";
            AppendValue(out, items.data()[k], inner + "  ");
          }
          out += "\n" + inner + "]";
        });
        member("lbound", [&](const std::string&) { AppendScalar(out, items.LBound()); });
      });
    }
  }
}

int LineOfByte(std::string_view text, size_t byte) {
  byte = std::min(byte, text.size());
  return 1 + static_cast<int>(
                 std::count(text.begin(), text.begin() + static_cast<ptrdiff_t>(byte), '\n'));
}

// Refuses values nested deeper than a bag ever needs, at the line where the
// limit is passed.
void CheckDepth(std::string_view text, const std::string& name) {
  int depth = 0;
  bool in_string = false;
  for (size_t k = 0; k < text.size(); ++k) {
    const char c = text[k];
    if (in_string) {
      if (c == '\\') {
        ++k;
      } else if (c == '"') {
        in_string = false;
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == '{' || c == '[') {
      if (++depth > JsonPropertyBag::kMaxDepth) {
        throw FileError(
            name, LineOfByte(text, k),
            "values nested more than " + std::to_string(JsonPropertyBag::kMaxDepth) + " deep");
      }
    } else if (c == '}' || c == ']') {
      --depth;
    }
  }
}

std::string WithoutPrefix(const std::exception& error) {
  // The library's messages start "[json.exception.parse_error.101] parse error at ...".
  std::string message = error.what();
  const size_t detail = message.find("] ");
  if (detail != std::string::npos) message.erase(0, detail + 2);
  return message;
}

// A whole JSON number as a Long where it fits, a Double otherwise.
Variant WholeNumber(int64_t value) {
  if (value >= INT32_MIN && value <= INT32_MAX) return Variant(static_cast<int32_t>(value));
  return Variant(static_cast<double>(value));
}

// Reads the top-level object's members, in their order, straight into
// variants. Each open object or array is a frame; a value of no known shape
// makes its member's variant missing.
class BagReader : public nlohmann::json_sax<Json> {
 public:
  // Each member of the top level: its key, and its variant where its value
  // has a known shape.
  std::vector<std::pair<std::string, std::optional<Variant>>> members;
  bool not_an_object = false;
  // The first error: where it was found (a byte count) and what it says.
  std::optional<std::pair<size_t, std::string>> error;

  bool null() override { return Value(Variant::Null()); }
  bool boolean(bool value) override { return Value(Variant(value)); }
  bool number_integer(number_integer_t value) override { return Number(WholeNumber(value)); }
  bool number_unsigned(number_unsigned_t value) override {
    return Number(value <= INT64_MAX ? WholeNumber(static_cast<int64_t>(value))
                                     : Variant(static_cast<double>(value)));
  }
  bool number_float(number_float_t value, const string_t&) override {
    return Number(Variant(value));
  }
  bool string(string_t& value) override {
    if (!frames_.empty() && frames_.back().kind == Frame::kTagged && key_ == "bytes") {
      frames_.back().bytes = std::move(value);
      return true;
    }
    return Value(Variant(std::move(value)));
  }
  bool binary(binary_t&) override { return Value(std::nullopt); }
  bool start_object(std::size_t) override {
    if (frames_.empty() && !top_open_) {
      top_open_ = true;
      return true;
    }
    Open(Frame::kTagged);
    return true;
  }
  bool start_array(std::size_t) override {
    if (frames_.empty() && !top_open_) {
      not_an_object = true;
      return false;
    }
    // Only the member "array" of a tagged object is an array of variants.
    const bool items = !frames_.empty() && frames_.back().kind == Frame::kTagged && key_ == "array";
    Open(items ? Frame::kItems : Frame::kShapeless);
    return true;
  }
  bool key(string_t& value) override {
    if (frames_.empty()) {
      members.emplace_back(std::move(value), std::nullopt);
    } else {
      key_ = std::move(value);
      if (frames_.back().kind == Frame::kTagged) ++frames_.back().size;
    }
    return true;
  }
  bool end_object() override { return frames_.empty() ? true : Close(); }
  bool end_array() override { return Close(); }
  bool parse_error(std::size_t position, const std::string&,
                   const nlohmann::detail::exception& e) override {
    // Not always a parse_error: a number too large for a double is out_of_range.
    error.emplace(position, WithoutPrefix(e));
    return false;
  }

 private:
  struct Frame {
    enum Kind { kTagged, kItems, kShapeless } kind = kTagged;
    std::string key;  // the member of the enclosing tagged object it is the value of
    size_t size = 0;  // a tagged object's members
    bool empty = false;
    std::optional<double> date;
    std::optional<std::string> bytes;
    std::optional<std::optional<int64_t>> lbound;  // absent, or a whole number or not
    std::optional<std::vector<Variant>> items;     // the "array" member, when all are known
    bool items_known = true;                       // in an items frame: every item so far
  };

  // A new frame, under the key it sits at in the frame around it.
  void Open(Frame::Kind kind) {
    Frame frame;
    frame.kind = kind;
    if (!frames_.empty()) frame.key = key_;
    frames_.push_back(std::move(frame));
  }

  // A value where one is expected: a member of the top level, an item of an
  // items frame, or a tagged object's member.
  bool Value(std::optional<Variant> value) {
    if (frames_.empty()) {
      if (!top_open_) {
        not_an_object = true;
        return false;
      }
      members.back().second = std::move(value);
      return true;
    }
    Frame& frame = frames_.back();
    if (frame.kind == Frame::kItems) {
      if (value && frame.items_known) {
        if (!frame.items) frame.items.emplace();
        frame.items->push_back(std::move(*value));
      } else {
        frame.items_known = false;
      }
    } else if (frame.kind == Frame::kTagged && key_ == "empty") {
      frame.empty = true;
    } else if (frame.kind == Frame::kTagged && key_ == "lbound") {
      frame.lbound.emplace(std::nullopt);
    }
    return true;
  }
  bool Number(Variant number) {
    if (!frames_.empty() && frames_.back().kind == Frame::kTagged) {
      Frame& frame = frames_.back();
      if (key_ == "date") frame.date = number.ToDouble();
      if (key_ == "lbound") {
        frame.lbound.emplace(std::nullopt);
        if (number.IsLong()) *frame.lbound = number.ToLong();
      }
      if (key_ == "empty") frame.empty = true;
      return true;
    }
    return Value(std::move(number));
  }
  bool Close() {
    Frame frame = std::move(frames_.back());
    frames_.pop_back();
    std::optional<Variant> value;
    if (frame.kind == Frame::kTagged) value = Tagged(frame);
    if (frame.kind == Frame::kItems && !frames_.empty()) {
      // The items go to the tagged object they belong to.
      Frame& owner = frames_.back();
      if (frame.items_known)
        owner.items = frame.items ? std::move(*frame.items) : std::vector<Variant>{};
      key_ = frame.key;
      return true;
    }
    key_ = frame.key;
    return Value(std::move(value));
  }
  // The variant a tagged object stands for, or none.
  static std::optional<Variant> Tagged(Frame& frame) {
    if (frame.size == 1 && frame.empty) return Variant();
    if (frame.size == 1 && frame.date) return Variant::Date(*frame.date);
    const bool lbound_ok = !frame.lbound || frame.lbound->has_value();
    const auto lbound = static_cast<int32_t>(frame.lbound ? **frame.lbound : 0);
    if (frame.bytes && lbound_ok) {
      const std::string& text = *frame.bytes;
      if (text.size() % 2 != 0 || text.size() / 2 > static_cast<size_t>(INT32_MAX)) {
        return std::nullopt;
      }
      std::vector<uint8_t> bytes(text.size() / 2);
      if (ombrix::DecodeHex(text.data(), bytes.size(), bytes.data()) != bytes.size()) {
        return std::nullopt;
      }
      try {
        return Variant(SafeArray<uint8_t>(lbound, std::move(bytes)));
      } catch (const Error&) {
        return std::nullopt;  // bounds beyond the 32-bit range
      }
    }
    if (frame.items && lbound_ok) {
      try {
        return Variant(SafeArray<Variant>(lbound, std::move(*frame.items)));
      } catch (const Error&) {
        return std::nullopt;
      }
    }
    return std::nullopt;
  }

  bool top_open_ = false;
  std::vector<Frame> frames_;
  std::string key_;  // the member of the innermost tagged object being read
};

}  // namespace

std::shared_ptr<JsonPropertyBag> JsonPropertyBag::New() {
  return std::make_shared<JsonPropertyBag>(Private{});
}

std::shared_ptr<JsonPropertyBag> JsonPropertyBag::Load(const std::string& path) {
  return Parse(ReadFile(path), path);
}

std::shared_ptr<JsonPropertyBag> JsonPropertyBag::Parse(std::string_view text,
                                                        const std::string& name) {
  return detail::OrOutOfMemory([&] {
    CheckDepth(text, name);
    BagReader reader;
    try {
      Json::sax_parse(text, &reader);
    } catch (const Json::exception& error) {
      throw FileError(name, 0, WithoutPrefix(error));
    }
    if (reader.not_an_object) throw FileError(name, 0, "expected a JSON object of properties");
    if (reader.error) {
      const size_t byte = reader.error->first;
      throw FileError(name, LineOfByte(text, byte == 0 ? 0 : byte - 1), reader.error->second);
    }
    auto bag = New();
    for (const auto& [key, variant] : reader.members) {
      if (!variant) {
        throw FileError(name, 0, "property \"" + key + "\" has a value of no known kind");
      }
      bag->WriteProperty(key, *variant);
    }
    return bag;
  });
}

std::string JsonPropertyBag::Text() const {
  return detail::OrOutOfMemory([&] {
    const std::vector<std::string> keys = Keys();
    if (keys.empty()) return std::string("{}\n");
    std::string text = "{";
    for (size_t k = 0; k < keys.size(); ++k) {
      text += k == 0 ? "\n  " : ",\n  ";
      AppendScalar(text, keys[k]);
      text += ": ";
      AppendValue(text, ReadProperty(keys[k]), "  ");
    }
    return text + "\n}\n";
  });
}

void JsonPropertyBag::Save(const std::string& path) const { WriteFileSafely(path, Text()); }

}  // namespace ombrix::formats
