// Signal databases: a bus's frames described once, as messages (an
// identifier, a name, a length) whose signals are bit fields with a scale,
// limits, a unit and names for some of their values, as DBC files give them.
//
// Bit numbering is DBC's: bit k of a frame is bit k % 8 of byte k / 8, bit 0
// the least significant. An Intel (little-endian) signal's StartBit is its
// least significant bit and it runs upward; a Motorola (big-endian) signal's
// StartBit is its most significant bit and it runs toward bit 0 of that
// byte, then on from bit 7 of the next byte. The library's fields count
// SkippedBits otherwise; IntelSkippedBits and MotorolaSkippedBits convert.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace ombrix::signals {

/// The order of a signal's bytes in the frame.
enum class ByteOrder {
  Intel,     // least significant byte first (DBC @1)
  Motorola,  // most significant byte first (DBC @0)
};

/// How a signal's raw bits are read.
enum class ValueType {
  Integer,  // signed or unsigned, 1 to 64 bits
  Float,    // IEEE 754 single, 32 bits
  Double,   // IEEE 754 double, 64 bits
};

/// An attribute's value: an integer, a number or a text, as the file writes
/// it (an enumeration attribute's value is its choice's index in BA_, its
/// text in BA_DEF_DEF_).
struct AttributeValue {
  /// Which of the three the value is.
  enum class Kind { Integer, Float, Text };
  Kind kind = Kind::Integer;  ///< which member holds the value
  int64_t integer = 0;        ///< the value when an integer
  double number = 0;          ///< the value when a number written with a point or exponent
  std::string text;           ///< the value when a text
  /// True when kind and value are the same.
  friend bool operator==(const AttributeValue&, const AttributeValue&) = default;
};

/// An attribute set on an object: its name and value, in file order.
using AttributeList = std::vector<std::pair<std::string, AttributeValue>>;

/// A value's name: the raw value and its description.
using ValueDescriptions = std::vector<std::pair<int64_t, std::string>>;

/// One range of multiplexer values that selects a signal (extended multiplexing).
struct MultiplexRange {
  uint64_t low = 0;   ///< the first switch value that selects
  uint64_t high = 0;  ///< the last switch value that selects
  /// True when both ends are the same.
  friend bool operator==(const MultiplexRange&, const MultiplexRange&) = default;
};

/// A signal: a bit field of its message's frame, scaled to a physical value.
struct Signal {
  std::string Name;  ///< unique within its message
  /// DBC's start bit (see the top of this header).
  uint32_t StartBit = 0;
  /// Bits, 1 to 64 (32 for Float, 64 for Double).
  uint32_t Length = 1;
  ByteOrder Order = ByteOrder::Intel;   ///< DBC @1 Intel, @0 Motorola
  bool Signed = false;                  ///< DBC - (two's complement) or +
  ValueType Type = ValueType::Integer;  ///< SIG_VALTYPE_
  /// Physical value = raw × Factor + Offset.
  double Factor = 1;  ///< multiplies the raw value
  double Offset = 0;  ///< added after the multiplication
  /// The physical limits the file states (both 0: none stated).
  double Minimum = 0;                  ///< the lower physical limit
  double Maximum = 0;                  ///< the upper physical limit
  std::string Unit;                    ///< the physical unit, as written
  std::vector<std::string> Receivers;  ///< the nodes that receive the signal
  /// True for the multiplexer switch of its message (DBC `M`).
  bool IsMultiplexer = false;
  /// The switch value that selects this signal (DBC `mN`); none when the
  /// signal is always present.
  std::optional<uint64_t> MultiplexValue;
  /// Extended multiplexing: the switch that selects this signal and the
  /// ranges of its values that do (DBC SG_MUL_VAL_); empty when simple.
  std::string MultiplexSwitch;
  std::vector<MultiplexRange> MultiplexRanges;  ///< the switch values that select it
  ValueDescriptions Values;                     ///< names of raw values (VAL_), in the file's order
  std::string Comment;                          ///< CM_ SG_
  AttributeList Attributes;                     ///< BA_ ... SG_
  /// True when every property is the same.
  friend bool operator==(const Signal&, const Signal&) = default;
};

/// A message: a frame's identifier, name, length and signals.
struct Message {
  /// The identifier without the extended flag (11 or 29 bits).
  uint32_t Id = 0;
  bool Extended = false;  ///< a 29-bit identifier
  std::string Name;       ///< unique within the database
  /// Bytes, 0 to 64 (CAN FD lengths beyond 8).
  uint32_t Length = 8;
  std::string Sender;                     ///< the sending node; empty for none (Vector__XXX)
  std::vector<std::string> Transmitters;  ///< further senders (BO_TX_BU_)
  std::vector<Signal> Signals;            ///< in the file's order
  std::string Comment;                    ///< CM_ BO_
  AttributeList Attributes;               ///< BA_ ... BO_

  /// The identifier as DBC writes it: extended ones with bit 31 set.
  uint32_t FileId() const noexcept { return Extended ? Id | 0x80000000u : Id; }
  /// The signal with this name, or null.
  const Signal* SignalNamed(std::string_view name) const noexcept;
  /// The multiplexer switch, or null when the message has none.
  const Signal* Multiplexer() const noexcept;
  /// True when every property is the same.
  friend bool operator==(const Message&, const Message&) = default;
};

/// What an attribute definition applies to.
enum class AttributeObject { Network, Node, Message, Signal, EnvironmentVariable };

/// An attribute's definition (BA_DEF_) and its default (BA_DEF_DEF_).
struct AttributeDefinition {
  /// The attribute's type, as BA_DEF_ writes it (INT, HEX, FLOAT, STRING, ENUM).
  enum class Kind { Integer, Hex, Float, String, Enumeration };
  std::string Name;                                   ///< the attribute's name
  AttributeObject Object = AttributeObject::Network;  ///< what it is set on
  Kind Type = Kind::Integer;                          ///< its type
  double Minimum = 0;                                 ///< the lowest value (INT, HEX, FLOAT)
  double Maximum = 0;                                 ///< the highest value (INT, HEX, FLOAT)
  std::vector<std::string> Choices;                   ///< an enumeration's texts
  std::optional<AttributeValue> Default;              ///< BA_DEF_DEF_, if given
  /// True when every property is the same.
  friend bool operator==(const AttributeDefinition&, const AttributeDefinition&) = default;
};

/// A node (an electronic unit on the bus).
struct Node {
  std::string Name;          ///< as BU_ lists it
  std::string Comment;       ///< CM_ BU_
  AttributeList Attributes;  ///< BA_ ... BU_
  /// True when every property is the same.
  friend bool operator==(const Node&, const Node&) = default;
};

/// A whole database: nodes, messages, value tables, attributes.
struct SignalDatabase {
  std::string Version;            ///< VERSION
  std::vector<Node> Nodes;        ///< BU_, in order
  std::vector<Message> Messages;  ///< BO_, in the file's order
  /// Named value tables (VAL_TABLE_), which signals may share.
  std::vector<std::pair<std::string, ValueDescriptions>> ValueTables;
  std::vector<AttributeDefinition> AttributeDefinitions;  ///< BA_DEF_ with BA_DEF_DEF_
  /// Attributes set on the network itself.
  AttributeList Attributes;
  std::string Comment;  ///< the network's own comment (CM_ without an object)
  /// Statements kept as they were written, for what this model leaves out
  /// (environment variables, signal groups, ...).
  std::vector<std::string> Other;

  /// The message with this identifier (and extended flag), or null.
  const Message* MessageWithId(uint32_t id, bool extended) const noexcept;
  /// The message with this name, or null.
  const Message* MessageNamed(std::string_view name) const noexcept;
  /// An attribute's value on an object: its own, else the definition's
  /// default, else none.
  std::optional<AttributeValue> AttributeOf(const AttributeList& own, std::string_view name) const;
  /// True when every part is the same.
  friend bool operator==(const SignalDatabase&, const SignalDatabase&) = default;
};

/// What is wrong with a database that still reads: duplicate names, signals
/// that overlap or leave their message. One line each, naming the objects.
std::vector<std::string> Problems(const SignalDatabase& database);

/// SkippedBits for LittleEndian::RefersTo of an Intel signal starting at `start_bit`.
uint32_t IntelSkippedBits(uint32_t start_bit) noexcept;
/// SkippedBits for BigEndian::RefersTo of a Motorola signal starting at `start_bit`.
uint32_t MotorolaSkippedBits(uint32_t start_bit) noexcept;

}  // namespace ombrix::signals
