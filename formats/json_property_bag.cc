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

namespace ombrix::formats {
namespace {

// Values are small (a property's variant); the bag's own order of keys is
// kept apart, so that neither reading nor writing searches a list of keys.
using Json = nlohmann::json;

// Kinds without a JSON type of their own are objects with one tagged member:
// {"empty": true}, {"date": days}, {"bytes": "0AFF", "lbound": 0},
// {"array": [...], "lbound": 0}. Null is JSON null.
Json ToJson(const Variant& value) {
  switch (value.GetKind()) {
    case Variant::Kind::Empty:
      return Json{{"empty", true}};
    case Variant::Kind::Null:
      return nullptr;
    case Variant::Kind::Boolean:
      return value.ToLong() != 0;
    case Variant::Kind::Byte:
    case Variant::Kind::Integer:
    case Variant::Kind::Long:
      return value.ToLong();
    case Variant::Kind::Double: {
      // A whole number beyond 32 bits (a file address above 2 GiB) is
      // written as one; read back, it is again a Double.
      const double number = value.ToDouble();
      if (std::floor(number) == number && std::fabs(number) <= 9007199254740992.0 &&
          (number < INT32_MIN || number > INT32_MAX)) {
        return static_cast<int64_t>(number);
      }
      return number;
    }
    case Variant::Kind::Date:
      return Json{{"date", value.ToDouble()}};
    case Variant::Kind::String:
      return value.ToString();
    case Variant::Kind::ByteArray: {
      const SafeArray<uint8_t>& bytes = *value.ByteArray();
      std::string text(2 * static_cast<size_t>(bytes.Count()), '\0');
      ombrix::EncodeHex(bytes.data(), static_cast<size_t>(bytes.Count()), text.data());
      return Json{{"bytes", text}, {"lbound", bytes.LBound()}};
    }
    case Variant::Kind::VariantArray: {
      const SafeArray<Variant>& items = *value.VariantArray();
      Json array = Json::array();
      for (int32_t k = 0; k < items.Count(); ++k) array.push_back(ToJson(items.data()[k]));
      return Json{{"array", array}, {"lbound", items.LBound()}};
    }
  }
  return nullptr;
}

// The variant a JSON value stands for; nullopt for a value of no known shape.
std::optional<Variant> FromJson(const Json& json) {
  if (json.is_null()) return Variant::Null();
  if (json.is_boolean()) return Variant(json.get<bool>());
  if (json.is_number_integer()) {
    const auto value =
        json.is_number_unsigned() ? std::numeric_limits<int64_t>::max() : json.get<int64_t>();
    if (json.is_number_unsigned() && json.get<uint64_t>() <= INT32_MAX) {
      return Variant(static_cast<int32_t>(json.get<uint64_t>()));
    }
    if (value >= INT32_MIN && value <= INT32_MAX) return Variant(static_cast<int32_t>(value));
    return Variant(json.get<double>());
  }
  if (json.is_number_float()) return Variant(json.get<double>());
  if (json.is_string()) return Variant(json.get<std::string>());
  if (!json.is_object()) return std::nullopt;
  const auto lbound = [&]() -> std::optional<int32_t> {
    const auto found = json.find("lbound");
    if (found == json.end()) return 0;
    if (!found->is_number_integer() || found->get<int64_t>() < INT32_MIN ||
        found->get<int64_t>() > INT32_MAX) {
      return std::nullopt;
    }
    return static_cast<int32_t>(found->get<int64_t>());
  };
  if (json.size() == 1 && json.contains("empty")) return Variant();
  if (json.size() == 1 && json.contains("date") && json["date"].is_number()) {
    return Variant::Date(json["date"].get<double>());
  }
  if (json.contains("bytes") && json["bytes"].is_string() && lbound()) {
    const std::string& text = json["bytes"].get_ref<const std::string&>();
    if (text.size() % 2 != 0 || text.size() / 2 > static_cast<size_t>(INT32_MAX))
      return std::nullopt;
    std::vector<uint8_t> bytes(text.size() / 2);
    if (ombrix::DecodeHex(text.data(), bytes.size(), bytes.data()) != bytes.size())
      return std::nullopt;
    try {
      return Variant(SafeArray<uint8_t>(*lbound(), std::move(bytes)));
    } catch (const Error&) {
      return std::nullopt;  // bounds beyond the 32-bit range
    }
  }
  if (json.contains("array") && json["array"].is_array() && lbound()) {
    std::vector<Variant> items;
    for (const Json& item : json["array"]) {
      auto value = FromJson(item);
      if (!value) return std::nullopt;
      items.push_back(std::move(*value));
    }
    try {
      return Variant(SafeArray<Variant>(*lbound(), std::move(items)));
    } catch (const Error&) {
      return std::nullopt;
    }
  }
  return std::nullopt;
}

int LineOfByte(std::string_view text, size_t byte) {
  byte = std::min(byte, text.size());
  return 1 + static_cast<int>(
                 std::count(text.begin(), text.begin() + static_cast<ptrdiff_t>(byte), '\n'));
}

// Refuses values nested deeper than a bag ever needs, at the line where the
// limit is passed, before anything walks them recursively.
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

// Builds the top-level object's members in their order, each value a Json
// of its own; JSON that is not an object stops at its first value.
class TopLevelReader : public nlohmann::json_sax<Json> {
 public:
  std::vector<std::pair<std::string, Json>> members;
  bool not_an_object = false;
  // The first error: where it was found (a byte count) and what it says.
  std::optional<std::pair<size_t, std::string>> error;

  bool null() override { return Value(nullptr); }
  bool boolean(bool value) override { return Value(value); }
  bool number_integer(number_integer_t value) override { return Value(value); }
  bool number_unsigned(number_unsigned_t value) override { return Value(value); }
  bool number_float(number_float_t value, const string_t&) override { return Value(value); }
  bool string(string_t& value) override { return Value(std::move(value)); }
  bool binary(binary_t& value) override { return Value(Json::binary(std::move(value))); }
  bool start_object(std::size_t) override { return Open(Json::object()); }
  bool start_array(std::size_t) override { return Open(Json::array()); }
  bool key(string_t& value) override {
    if (open_.size() == 1) {
      members.emplace_back(std::move(value), nullptr);
    } else {
      key_ = std::move(value);
    }
    return true;
  }
  bool end_object() override { return Close(); }
  bool end_array() override { return Close(); }
  bool parse_error(std::size_t position, const std::string&,
                   const nlohmann::detail::exception& e) override {
    // Not always a parse_error: a number too large for a double is out_of_range.
    error.emplace(position, WithoutPrefix(e));
    return false;
  }

 private:
  // Where a new value goes: the open array or object, or the member being read.
  Json* Slot() {
    if (open_.size() == 1) return &members.back().second;
    Json& parent = *open_.back();
    if (parent.is_array()) {
      parent.push_back(nullptr);
      return &parent.back();
    }
    return &parent[key_];
  }
  bool Value(Json value) {
    if (open_.empty()) {
      not_an_object = true;
      return false;
    }
    *Slot() = std::move(value);
    return true;
  }
  bool Open(Json value) {
    if (open_.empty()) {
      if (!value.is_object()) {
        not_an_object = true;
        return false;
      }
      open_.push_back(nullptr);  // the top level, held in `members`
      return true;
    }
    Json* slot = Slot();
    *slot = std::move(value);
    open_.push_back(slot);
    return true;
  }
  bool Close() {
    open_.pop_back();
    return true;
  }

  std::vector<Json*> open_;
  std::string key_;
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
  CheckDepth(text, name);
  TopLevelReader reader;
  try {
    Json::sax_parse(text, &reader);
  } catch (const Json::exception& error) {
    throw FileError(name, 0,
                    WithoutPrefix(error));  // a number too large for a double, and the like
  }
  if (reader.not_an_object) throw FileError(name, 0, "expected a JSON object of properties");
  if (reader.error) {
    const size_t byte = reader.error->first;
    throw FileError(name, LineOfByte(text, byte == 0 ? 0 : byte - 1), reader.error->second);
  }
  auto bag = New();
  for (const auto& [key, value] : reader.members) {
    auto variant = FromJson(value);
    if (!variant) throw FileError(name, 0, "property \"" + key + "\" has a value of no known kind");
    bag->WriteProperty(key, *variant);
  }
  return bag;
}

std::string JsonPropertyBag::Text() const {
  const std::vector<std::string> keys = Keys();
  if (keys.empty()) return "{}\n";
  std::string text = "{";
  for (size_t k = 0; k < keys.size(); ++k) {
    text += k == 0 ? "\n  " : ",\n  ";
    text += Json(keys[k]).dump();
    text += ": ";
    // A value's own lines are indented one level more than the members.
    const std::string value = ToJson(ReadProperty(keys[k])).dump(2);
    for (const char c : value) {
      text += c;
      if (c == '\n') text += "  ";
    }
  }
  return text + "\n}\n";
}

void JsonPropertyBag::Save(const std::string& path) const { WriteFileSafely(path, Text()); }

}  // namespace ombrix::formats
