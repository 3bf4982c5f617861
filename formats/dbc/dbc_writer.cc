// Writes a database as DBC in the order CANdb++ writes it: header, nodes,
// value tables, messages with their signals, then the statements that refer
// to them. Numbers are written as the shortest text that reads back the same.
#include <array>
#include <charconv>
#include <string>

#include "formats/dbc/dbc_file.h"
#include "formats/file_io.h"
#include "ombrix/frame/detail/allocation.h"
#include "ombrix/frame/shortest_number_internal.h"

namespace ombrix::formats {
namespace {

using namespace ombrix::signals;

constexpr const char* kNoNode = "Vector__XXX";

std::string Number(double value) { return ombrix::detail::ShortestNumber(value); }

// A floating-point attribute value, written so that it reads back as one.
std::string RealNumber(double value) {
  std::string text = Number(value);
  if (text.find_first_of(".en") == std::string::npos) text += ".0";
  return text;
}

std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

std::string NodeOrNone(const std::string& node) { return node.empty() ? kNoNode : node; }

std::string Joined(const std::vector<std::string>& names, const char* separator) {
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : separator) + name;
  return joined;
}

std::string ValueText(const AttributeValue& value) {
  switch (value.kind) {
    case AttributeValue::Kind::Integer:
      return std::to_string(value.integer);
    case AttributeValue::Kind::Float:
      return RealNumber(value.number);
    case AttributeValue::Kind::Text:
      break;
  }
  return Quoted(value.text);
}

std::string Descriptions(const ValueDescriptions& values) {
  std::string text;
  for (const auto& [value, description] : values) {
    text += " " + std::to_string(value) + " " + Quoted(description);
  }
  return text;
}

std::string MultiplexMark(const Signal& signal) {
  if (signal.MultiplexValue) {
    return " m" + std::to_string(*signal.MultiplexValue) + (signal.IsMultiplexer ? "M" : "");
  }
  return signal.IsMultiplexer ? " M" : "";
}

const char* ObjectKeyword(AttributeObject object) {
  switch (object) {
    case AttributeObject::Node:
      return "BU_ ";
    case AttributeObject::Message:
      return "BO_ ";
    case AttributeObject::Signal:
      return "SG_ ";
    case AttributeObject::EnvironmentVariable:
      return "EV_ ";
    case AttributeObject::Network:
      break;
  }
  return "";
}

std::string Definition(const AttributeDefinition& definition) {
  std::string text =
      "BA_DEF_ " + std::string(ObjectKeyword(definition.Object)) + Quoted(definition.Name) + " ";
  using Kind = AttributeDefinition::Kind;
  switch (definition.Type) {
    case Kind::Integer:
      return text + "INT " + Number(definition.Minimum) + " " + Number(definition.Maximum) + ";\n";
    case Kind::Hex:
      return text + "HEX " + Number(definition.Minimum) + " " + Number(definition.Maximum) + ";\n";
    case Kind::Float:
      return text + "FLOAT " + Number(definition.Minimum) + " " + Number(definition.Maximum) +
             ";\n";
    case Kind::String:
      return text + "STRING ;\n";
    case Kind::Enumeration:
      break;
  }
  std::string choices;
  for (const std::string& choice : definition.Choices)
    choices += (choices.empty() ? "" : ",") + Quoted(choice);
  return text + "ENUM " + choices + ";\n";
}

std::string FormatText(const SignalDatabase& db) {
  std::string out = "VERSION " + Quoted(db.Version) + "\n\n\nNS_ :\n";
  for (const char* symbol : {"NS_DESC_",     "CM_",
                             "BA_DEF_",      "BA_",
                             "VAL_",         "CAT_DEF_",
                             "CAT_",         "FILTER",
                             "BA_DEF_DEF_",  "EV_DATA_",
                             "ENVVAR_DATA_", "SGTYPE_",
                             "SGTYPE_VAL_",  "BA_DEF_SGTYPE_",
                             "BA_SGTYPE_",   "SIG_TYPE_REF_",
                             "VAL_TABLE_",   "SIG_GROUP_",
                             "SIG_VALTYPE_", "SIGTYPE_VALTYPE_",
                             "BO_TX_BU_",    "BA_DEF_REL_",
                             "BA_REL_",      "BA_DEF_DEF_REL_",
                             "BU_SG_REL_",   "BU_EV_REL_",
                             "BU_BO_REL_",   "SG_MUL_VAL_"}) {
    out += "\t" + std::string(symbol) + "\n";
  }
  out += "\nBS_:\n\nBU_:";
  for (const Node& node : db.Nodes) out += " " + node.Name;
  out += "\n";
  for (const auto& [name, values] : db.ValueTables) {
    out += "VAL_TABLE_ " + name + Descriptions(values) + " ;\n";
  }
  out += "\n";
  for (const Message& message : db.Messages) {
    out += "\nBO_ " + std::to_string(message.FileId()) + " " + message.Name + ": " +
           std::to_string(message.Length) + " " + NodeOrNone(message.Sender) + "\n";
    for (const Signal& s : message.Signals) {
      out += " SG_ " + s.Name + MultiplexMark(s) + " : " + std::to_string(s.StartBit) + "|" +
             std::to_string(s.Length) + "@" + (s.Order == ByteOrder::Intel ? "1" : "0") +
             (s.Signed ? "-" : "+") + " (" + Number(s.Factor) + "," + Number(s.Offset) + ") [" +
             Number(s.Minimum) + "|" + Number(s.Maximum) + "] " + Quoted(s.Unit) + " " +
             (s.Receivers.empty() ? kNoNode : Joined(s.Receivers, ",")) + "\n";
    }
  }
  out += "\n\n";
  for (const Message& message : db.Messages) {
    if (!message.Transmitters.empty()) {
      out += "BO_TX_BU_ " + std::to_string(message.FileId()) + " : " +
             Joined(message.Transmitters, ",") + ";\n";
    }
  }
  for (const std::string& other : db.Other) out += other + "\n";
  out += "\n";
  if (!db.Comment.empty()) out += "CM_ " + Quoted(db.Comment) + ";\n";
  for (const Node& node : db.Nodes) {
    if (!node.Comment.empty()) out += "CM_ BU_ " + node.Name + " " + Quoted(node.Comment) + ";\n";
  }
  for (const Message& message : db.Messages) {
    const std::string id = std::to_string(message.FileId());
    if (!message.Comment.empty()) out += "CM_ BO_ " + id + " " + Quoted(message.Comment) + ";\n";
    for (const Signal& s : message.Signals) {
      if (!s.Comment.empty())
        out += "CM_ SG_ " + id + " " + s.Name + " " + Quoted(s.Comment) + ";\n";
    }
  }
  for (const AttributeDefinition& definition : db.AttributeDefinitions)
    out += Definition(definition);
  for (const AttributeDefinition& definition : db.AttributeDefinitions) {
    if (definition.Default) {
      out +=
          "BA_DEF_DEF_ " + Quoted(definition.Name) + " " + ValueText(*definition.Default) + ";\n";
    }
  }
  for (const auto& [name, value] : db.Attributes)
    out += "BA_ " + Quoted(name) + " " + ValueText(value) + ";\n";
  for (const Node& node : db.Nodes) {
    for (const auto& [name, value] : node.Attributes) {
      out += "BA_ " + Quoted(name) + " BU_ " + node.Name + " " + ValueText(value) + ";\n";
    }
  }
  for (const Message& message : db.Messages) {
    const std::string id = std::to_string(message.FileId());
    for (const auto& [name, value] : message.Attributes) {
      out += "BA_ " + Quoted(name) + " BO_ " + id + " " + ValueText(value) + ";\n";
    }
    for (const Signal& s : message.Signals) {
      for (const auto& [name, value] : s.Attributes) {
        out += "BA_ " + Quoted(name) + " SG_ " + id + " " + s.Name + " " + ValueText(value) + ";\n";
      }
    }
  }
  for (const Message& message : db.Messages) {
    const std::string id = std::to_string(message.FileId());
    for (const Signal& s : message.Signals) {
      if (!s.Values.empty()) out += "VAL_ " + id + " " + s.Name + Descriptions(s.Values) + " ;\n";
    }
  }
  for (const Message& message : db.Messages) {
    const std::string id = std::to_string(message.FileId());
    for (const Signal& s : message.Signals) {
      if (s.Type != ValueType::Integer) {
        out += "SIG_VALTYPE_ " + id + " " + s.Name + " : " +
               (s.Type == ValueType::Float ? "1" : "2") + ";\n";
      }
    }
  }
  for (const Message& message : db.Messages) {
    const std::string id = std::to_string(message.FileId());
    for (const Signal& s : message.Signals) {
      if (s.MultiplexSwitch.empty()) continue;
      std::string ranges;
      for (const MultiplexRange& range : s.MultiplexRanges) {
        ranges += (ranges.empty() ? " " : ", ") + std::to_string(range.low) + "-" +
                  std::to_string(range.high);
      }
      out += "SG_MUL_VAL_ " + id + " " + s.Name + " " + s.MultiplexSwitch + ranges + ";\n";
    }
  }
  return out;
}

}  // namespace

std::string FormatDbc(const SignalDatabase& db) {
  return ombrix::detail::OrOutOfMemory([&] { return FormatText(db); });
}

void WriteDbcFile(const SignalDatabase& database, const std::string& path) {
  WriteFileSafely(path, FormatDbc(database));
}

}  // namespace ombrix::formats
