// Reads DBC statement by statement. Statements the model holds are parsed
// and checked; the others are kept as written, up to their ';'.
#include <charconv>
#include <cmath>
#include <limits>
#include <map>
#include <unordered_map>

#include "formats/dbc/dbc_file.h"
#include "formats/dbc/dbc_lexer_internal.h"
#include "formats/file_error.h"
#include "formats/file_io.h"
#include "ombrix/frame/detail/allocation.h"

namespace ombrix::formats {
namespace {

using dbc::Token;

// The node name DBC writes where there is none.
constexpr const char* kNoNode = "Vector__XXX";
using namespace ombrix::signals;

class Reader {
 public:
  Reader(std::string_view text, const std::string& name)
      : text_(text), name_(name), lexer_(text, name) {
    ahead_[0] = lexer_.Next();
    ahead_[1] = lexer_.Next();
  }

  struct Target {
    std::string object;  // BU_, BO_, SG_, EV_, or empty for the network
    uint32_t id = 0;
    std::string name;
  };

  SignalDatabase Read() {
    while (!AtEnd()) Statement();
    Attach();
    return std::move(database_);
  }

 private:
  // --- tokens
  // The next token, or the one after it.
  const Token& Peek(size_t ahead = 0) const { return ahead_[ahead]; }
  bool AtEnd() const { return Peek().kind == Token::Kind::End; }
  Token Take() {
    Token token = ahead_[0];
    if (!AtEnd()) {
      ahead_[0] = ahead_[1];
      ahead_[1] = lexer_.Next();
      taken_end_ = token.end;
      taken_line_ = token.end_line;
    }
    return token;
  }
  [[noreturn]] void Fail(const Token& at, const std::string& what) const {
    const std::string found = at.kind == Token::Kind::End      ? "the end of the file"
                              : at.kind == Token::Kind::String ? "a string"
                                                               : "'" + std::string(at.text) + "'";
    throw FileError(name_, at.line,
                    "column " + std::to_string(at.column) + ": " + what + ", found " + found);
  }
  bool Is(const char* punctuation, size_t ahead = 0) const {
    const Token& token = Peek(ahead);
    return token.kind == Token::Kind::Punctuation && token.text == punctuation;
  }
  void Expect(const char* punctuation, const char* after) {
    if (!Is(punctuation)) Fail(Peek(), std::string("expected '") + punctuation + "' " + after);
    Take();
  }
  std::string Name(const char* what) {
    if (Peek().kind != Token::Kind::Name) Fail(Peek(), std::string("expected ") + what);
    return Take().Text();
  }
  std::string Text(const char* what) {
    if (Peek().kind != Token::Kind::String) Fail(Peek(), std::string("expected ") + what);
    return Take().Text();
  }
  double Real(const char* what) {
    const Token& token = Peek();
    double value = 0;
    if (token.kind != Token::Kind::Number) Fail(token, std::string("expected ") + what);
    const char* first = token.text.data() + (token.text[0] == '+' ? 1 : 0);
    const auto [end, error] = std::from_chars(first, token.text.data() + token.text.size(), value);
    if (error != std::errc() || end != token.text.data() + token.text.size() ||
        !std::isfinite(value)) {
      Fail(token, std::string("expected ") + what);
    }
    Take();
    return value;
  }
  int64_t Integer(const char* what, int64_t low, int64_t high) {
    const Token& token = Peek();
    int64_t value = 0;
    if (token.kind != Token::Kind::Number) Fail(token, std::string("expected ") + what);
    const char* first = token.text.data() + (token.text[0] == '+' ? 1 : 0);
    const auto [end, error] = std::from_chars(first, token.text.data() + token.text.size(), value);
    if (error != std::errc() || end != token.text.data() + token.text.size() || value < low ||
        value > high) {
      Fail(token, std::string("expected ") + what + " from " + std::to_string(low) + " to " +
                      std::to_string(high));
    }
    Take();
    return value;
  }
  uint32_t FileId() {
    return static_cast<uint32_t>(Integer("a message identifier", 0, 0xFFFFFFFF));
  }
  // Names up to the end of the line (or a ';'), each optionally after a ','.
  std::vector<std::string> NamesOnLine(int line) {
    std::vector<std::string> names;
    while (!AtEnd() && Peek().line == line && !Is(";")) {
      if (Is(",")) {
        Take();
        continue;
      }
      names.push_back(Name("a node name"));
    }
    return names;
  }

  // --- statements
  void Statement() {
    const Token keyword = Peek();
    if (keyword.kind != Token::Kind::Name) Fail(keyword, "expected a keyword");
    const std::string_view word = keyword.text;
    if (word == "VERSION") {
      Take();
      database_.Version = Text("the version string");
    } else if (word == "NS_") {
      // New symbols: names listed on the indented lines that follow.
      Take();
      Expect(":", "after NS_");
      while (!AtEnd() && !(Peek().starts_line && Peek().column == 1)) Take();
    } else if (word == "BS_") {
      Take();
      Expect(":", "after BS_");
      const int line = keyword.line;
      while (!AtEnd() && Peek().line == line) Take();
    } else if (word == "BU_") {
      Take();
      Expect(":", "after BU_");
      for (std::string& node : NamesOnLine(keyword.line))
        database_.Nodes.push_back({std::move(node), {}, {}});
    } else if (word == "VAL_TABLE_") {
      Take();
      std::string table = Name("a value table name");
      database_.ValueTables.emplace_back(std::move(table), Descriptions());
      Expect(";", "after a value table");
    } else if (word == "BO_") {
      MessageStatement();
    } else if (word == "SG_") {
      if (database_.Messages.empty()) Fail(keyword, "a signal before any message (BO_)");
      SignalStatement(database_.Messages.back());
    } else if (word == "BO_TX_BU_") {
      Take();
      const uint32_t id = FileId();
      Expect(":", "after the message identifier");
      transmitters_.emplace_back(id, NamesOnLine(Peek().line));
      Expect(";", "after the transmitters");
    } else if (word == "CM_") {
      CommentStatement();
    } else if (word == "BA_DEF_") {
      DefinitionStatement();
    } else if (word == "BA_DEF_DEF_") {
      Take();
      std::string attribute = Text("the attribute name");
      defaults_.emplace_back(std::move(attribute), Value());
      Expect(";", "after the default");
    } else if (word == "BA_") {
      AttributeStatement();
    } else if (word == "VAL_" && Peek(1).kind == Token::Kind::Number) {
      Take();
      const uint32_t id = FileId();
      std::string signal = Name("a signal name");
      values_.push_back({id, std::move(signal), Descriptions()});
      Expect(";", "after the value descriptions");
    } else if (word == "SIG_VALTYPE_") {
      Take();
      const uint32_t id = FileId();
      std::string signal = Name("a signal name");
      if (Is(":")) Take();
      const auto type = Integer("a value type (0 integer, 1 float, 2 double)", 0, 2);
      value_types_.push_back({id, std::move(signal), static_cast<int>(type), keyword});
      Expect(";", "after the value type");
    } else if (word == "SG_MUL_VAL_") {
      MultiplexStatement();
    } else {
      Keep();
    }
  }

  // Keeps a statement the model does not hold, as written, up to its ';'.
  void Keep() {
    const Token first = Take();
    size_t end = first.end;
    while (!AtEnd()) {
      const Token token = Peek();
      // A keyword at the start of a line begins the next statement even
      // where this one lacks its ';'.
      if (token.starts_line && token.column == 1 && token.kind == Token::Kind::Name) break;
      Take();
      end = token.end;
      if (token.kind == Token::Kind::Punctuation && token.text == ";") break;
    }
    database_.Other.emplace_back(text_.substr(first.offset, end - first.offset));
  }

  // Keeps the statement from `first` to the last token taken, as written.
  void KeepSince(const Token& first) {
    database_.Other.emplace_back(text_.substr(first.offset, taken_end_ - first.offset));
  }

  ValueDescriptions Descriptions() {
    ValueDescriptions values;
    while (Peek().kind == Token::Kind::Number) {
      const int64_t value = Integer("a value", std::numeric_limits<int64_t>::min(),
                                    std::numeric_limits<int64_t>::max());
      values.emplace_back(value, Text("the value's description"));
    }
    return values;
  }

  AttributeValue Value() {
    AttributeValue value;
    const Token& token = Peek();
    if (token.kind == Token::Kind::String) {
      value.kind = AttributeValue::Kind::Text;
      value.text = Take().Text();
    } else if (token.kind == Token::Kind::Number &&
               token.text.find_first_of(".eE") == std::string_view::npos) {
      value.integer = Integer("an attribute value", std::numeric_limits<int64_t>::min(),
                              std::numeric_limits<int64_t>::max());
    } else {
      value.kind = AttributeValue::Kind::Float;
      value.number = Real("an attribute value");
    }
    return value;
  }

  void MessageStatement() {
    Take();
    const uint32_t id = FileId();
    Message message;
    message.Id = id & 0x7FFFFFFFu;
    message.Extended = (id & 0x80000000u) != 0;
    message.Name = Name("the message name");
    Expect(":", "after the message name");
    message.Length = static_cast<uint32_t>(Integer("the message length", 0, 64));
    message.Sender = Name("the sending node");
    if (message.Sender == kNoNode) message.Sender.clear();
    database_.Messages.push_back(std::move(message));
  }

  void SignalStatement(Message& message) {
    const Token keyword = Take();
    Signal signal;
    signal.Name = Name("the signal name");
    if (Peek().kind == Token::Kind::Name) {
      const Token mux = Take();
      const std::string_view m = mux.text;
      if (m == "M") {
        signal.IsMultiplexer = true;
      } else if (m.size() >= 2 && m[0] == 'm') {
        const bool also_switch = m.back() == 'M';
        const std::string_view digits(m.data() + 1, m.size() - 1 - (also_switch ? 1 : 0));
        uint64_t value = 0;
        const auto [end, error] =
            std::from_chars(digits.data(), digits.data() + digits.size(), value);
        if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) {
          Fail(mux, "expected a multiplexer mark (M, mN or mNM)");
        }
        signal.MultiplexValue = value;
        signal.IsMultiplexer = also_switch;
      } else {
        Fail(mux, "expected a multiplexer mark (M, mN or mNM)");
      }
    }
    Expect(":", "after the signal name");
    signal.StartBit = static_cast<uint32_t>(Integer("the start bit", 0, 64 * 8 - 1));
    Expect("|", "after the start bit");
    signal.Length = static_cast<uint32_t>(Integer("the length in bits", 1, 64));
    Expect("@", "after the length");
    const auto order = Integer("the byte order (0 Motorola, 1 Intel)", 0, 1);
    signal.Order = order == 1 ? ByteOrder::Intel : ByteOrder::Motorola;
    if (Is("+")) {
      Take();
    } else if (Is("-")) {
      Take();
      signal.Signed = true;
    } else {
      Fail(Peek(), "expected '+' (unsigned) or '-' (signed) after the byte order");
    }
    Expect("(", "before the factor");
    signal.Factor = Real("the factor");
    Expect(",", "after the factor");
    signal.Offset = Real("the offset");
    Expect(")", "after the offset");
    Expect("[", "before the minimum");
    signal.Minimum = Real("the minimum");
    Expect("|", "after the minimum");
    signal.Maximum = Real("the maximum");
    Expect("]", "after the maximum");
    signal.Unit = Text("the unit");
    signal.Receivers = NamesOnLine(taken_line_);
    std::erase(signal.Receivers, std::string(kNoNode));
    if (message.SignalNamed(signal.Name) != nullptr) {
      Fail(keyword, "a second signal " + signal.Name + " in message " + message.Name);
    }
    message.Signals.push_back(std::move(signal));
  }

  // What a comment or an attribute is about: nothing (the network), or
  // BU_ name, BO_ id, SG_ id name, EV_ name.
  Target ReadTarget(const char* after) {
    Target target;
    if (Peek().kind != Token::Kind::Name) return target;
    const Token object = Peek();
    target.object = object.Text();
    if (target.object != "BU_" && target.object != "BO_" && target.object != "SG_" &&
        target.object != "EV_") {
      Fail(object, std::string("expected BU_, BO_, SG_ or EV_ ") + after);
    }
    Take();
    if (target.object == "BO_" || target.object == "SG_") target.id = FileId();
    if (target.object != "BO_") target.name = Name("the object's name");
    return target;
  }

  // CM_ ["text"] or CM_ BU_|BO_|SG_|EV_ ... "text";
  void CommentStatement() {
    const Token keyword = Take();
    PendingComment comment;
    comment.at = keyword;
    comment.target = ReadTarget("after CM_");
    comment.text = Text("the comment");
    Expect(";", "after the comment");
    if (comment.target.object == "EV_") {
      KeepSince(keyword);
      return;
    }
    comments_.push_back(std::move(comment));
  }

  void DefinitionStatement() {
    Take();
    AttributeDefinition definition;
    if (Peek().kind == Token::Kind::Name) {
      const Token object = Take();
      if (object.text == "BU_")
        definition.Object = AttributeObject::Node;
      else if (object.text == "BO_")
        definition.Object = AttributeObject::Message;
      else if (object.text == "SG_")
        definition.Object = AttributeObject::Signal;
      else if (object.text == "EV_")
        definition.Object = AttributeObject::EnvironmentVariable;
      else
        Fail(object, "expected BU_, BO_, SG_, EV_ or the attribute's name");
    }
    definition.Name = Text("the attribute name");
    const Token type = Peek();
    const std::string kind = Name("the attribute type (INT, HEX, FLOAT, STRING or ENUM)");
    using Kind = AttributeDefinition::Kind;
    if (kind == "INT" || kind == "HEX" || kind == "FLOAT") {
      definition.Type = kind == "INT" ? Kind::Integer : kind == "HEX" ? Kind::Hex : Kind::Float;
      if (Peek().kind == Token::Kind::Number) {
        definition.Minimum = Real("the minimum");
        definition.Maximum = Real("the maximum");
      }
    } else if (kind == "STRING") {
      definition.Type = Kind::String;
    } else if (kind == "ENUM") {
      definition.Type = Kind::Enumeration;
      while (Peek().kind == Token::Kind::String) {
        definition.Choices.push_back(Take().Text());
        if (Is(",")) Take();
      }
    } else {
      Fail(type, "expected the attribute type (INT, HEX, FLOAT, STRING or ENUM)");
    }
    Expect(";", "after the attribute definition");
    database_.AttributeDefinitions.push_back(std::move(definition));
  }

  void AttributeStatement() {
    const Token keyword = Take();
    PendingAttribute attribute;
    attribute.at = keyword;
    attribute.name = Text("the attribute name");
    attribute.target = ReadTarget("after the attribute name");
    attribute.value = Value();
    Expect(";", "after the attribute value");
    if (attribute.target.object == "EV_") {
      KeepSince(keyword);
      return;
    }
    attributes_.push_back(std::move(attribute));
  }

  void MultiplexStatement() {
    const Token keyword = Take();
    PendingMultiplex multiplex;
    multiplex.at = keyword;
    multiplex.id = FileId();
    multiplex.signal = Name("the multiplexed signal's name");
    multiplex.selector = Name("the multiplexer switch's name");
    for (;;) {
      // "3-5" reads as the numbers 3 and -5.
      const auto low = Integer("a range's low value", 0, std::numeric_limits<int64_t>::max());
      const Token second = Peek();
      const auto high = Integer("a range's high value", std::numeric_limits<int64_t>::min(), 0);
      if (second.text[0] != '-') Fail(second, "expected '-' between a range's values");
      if (-high < low) Fail(second, "a range whose high value is below its low one");
      multiplex.ranges.push_back({static_cast<uint64_t>(low), static_cast<uint64_t>(-high)});
      if (!Is(",")) break;
      Take();
    }
    Expect(";", "after the multiplexer ranges");
    multiplexes_.push_back(std::move(multiplex));
  }

  // --- what refers to messages and signals, attached once all are read
  struct PendingComment {
    Token at;
    Target target;
    std::string text;
  };
  struct PendingAttribute {
    Token at;
    std::string name;
    Target target;
    AttributeValue value;
  };
  struct PendingValues {
    uint32_t id;
    std::string signal;
    ValueDescriptions values;
  };
  struct PendingType {
    uint32_t id;
    std::string signal;
    int type;
    Token at;
  };
  struct PendingMultiplex {
    Token at;
    uint32_t id = 0;
    std::string signal;
    std::string selector;
    std::vector<MultiplexRange> ranges;
  };

  // Messages by file identifier, the first of a repeated one, made once
  // all are read (statements refer to them by the thousand).
  Message* MessageOf(uint32_t file_id) {
    if (by_id_.empty()) {
      for (Message& message : database_.Messages) by_id_.try_emplace(message.FileId(), &message);
    }
    const auto found = by_id_.find(file_id);
    return found == by_id_.end() ? nullptr : found->second;
  }
  Signal* SignalOf(uint32_t file_id, const std::string& name) {
    Message* message = MessageOf(file_id);
    if (message == nullptr) return nullptr;
    for (Signal& signal : message->Signals) {
      if (signal.Name == name) return &signal;
    }
    return nullptr;
  }
  Node* NodeOf(const std::string& name) {
    for (Node& node : database_.Nodes) {
      if (node.Name == name) return &node;
    }
    return nullptr;
  }

  void Attach() {
    for (auto& [id, names] : transmitters_) {
      if (Message* message = MessageOf(id)) message->Transmitters = std::move(names);
    }
    for (PendingComment& comment : comments_) {
      std::string* target = nullptr;
      const Target& about = comment.target;
      if (about.object.empty()) {
        target = &database_.Comment;
      } else if (about.object == "BU_") {
        if (Node* node = NodeOf(about.name)) target = &node->Comment;
      } else if (about.object == "BO_") {
        if (Message* message = MessageOf(about.id)) target = &message->Comment;
      } else if (Signal* signal = SignalOf(about.id, about.name)) {
        target = &signal->Comment;
      }
      if (target == nullptr) Fail(comment.at, "a comment on an object the file does not define");
      *target = std::move(comment.text);
    }
    for (auto& [name, value] : defaults_) {
      for (AttributeDefinition& definition : database_.AttributeDefinitions) {
        if (definition.Name == name) definition.Default = value;
      }
    }
    for (PendingAttribute& attribute : attributes_) {
      AttributeList* target = nullptr;
      const Target& about = attribute.target;
      if (about.object.empty()) {
        target = &database_.Attributes;
      } else if (about.object == "BU_") {
        if (Node* node = NodeOf(about.name)) target = &node->Attributes;
      } else if (about.object == "BO_") {
        if (Message* message = MessageOf(about.id)) target = &message->Attributes;
      } else if (Signal* signal = SignalOf(about.id, about.name)) {
        target = &signal->Attributes;
      }
      if (target == nullptr)
        Fail(attribute.at, "an attribute of an object the file does not define");
      target->emplace_back(std::move(attribute.name), std::move(attribute.value));
    }
    for (PendingValues& values : values_) {
      if (Signal* signal = SignalOf(values.id, values.signal))
        signal->Values = std::move(values.values);
    }
    for (const PendingType& type : value_types_) {
      Signal* signal = SignalOf(type.id, type.signal);
      if (signal == nullptr) Fail(type.at, "a value type for a signal the file does not define");
      if (type.type == 1 && signal->Length != 32)
        Fail(type.at, "a float signal that is not 32 bits");
      if (type.type == 2 && signal->Length != 64)
        Fail(type.at, "a double signal that is not 64 bits");
      signal->Type = type.type == 1   ? ValueType::Float
                     : type.type == 2 ? ValueType::Double
                                      : ValueType::Integer;
    }
    for (PendingMultiplex& multiplex : multiplexes_) {
      Signal* signal = SignalOf(multiplex.id, multiplex.signal);
      if (signal == nullptr || SignalOf(multiplex.id, multiplex.selector) == nullptr) {
        Fail(multiplex.at, "extended multiplexing of a signal the file does not define");
      }
      signal->MultiplexSwitch = std::move(multiplex.selector);
      signal->MultiplexRanges = std::move(multiplex.ranges);
    }
  }

  std::string_view text_;
  const std::string& name_;
  dbc::Lexer lexer_;
  Token ahead_[2];
  size_t taken_end_ = 0;
  int taken_line_ = 0;  // where the last token taken ends
  SignalDatabase database_;
  std::vector<std::pair<uint32_t, std::vector<std::string>>> transmitters_;
  std::vector<PendingComment> comments_;
  std::vector<std::pair<std::string, AttributeValue>> defaults_;
  std::vector<PendingAttribute> attributes_;
  std::vector<PendingValues> values_;
  std::vector<PendingType> value_types_;
  std::vector<PendingMultiplex> multiplexes_;
  std::unordered_map<uint32_t, Message*> by_id_;
};

}  // namespace

SignalDatabase ParseDbc(std::string_view text, const std::string& name) {
  return ombrix::detail::OrOutOfMemory([&] { return Reader(text, name).Read(); });
}

SignalDatabase ReadDbcFile(const std::string& path) { return ParseDbc(ReadFile(path), path); }

}  // namespace ombrix::formats
