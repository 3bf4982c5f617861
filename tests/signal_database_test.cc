#include "ombrix/signals/signal_database.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "formats/dbc/dbc_file.h"
#include "formats/file_error.h"
#include "ombrix/bytes/byte_array.h"
#include "ombrix/fields/big_endian.h"
#include "ombrix/fields/little_endian.h"
#include "ombrix/frame/error.h"
#include "ombrix/signals/message_codec.h"
#include "ombrix/signals/signal_layout.h"
#include "ombrix/signals/signal_objects.h"

namespace ombrix::signals {
namespace {

const SignalDatabase& Engine() {
  static const SignalDatabase database =
      formats::ReadDbcFile(std::string(OMBRIX_SAMPLES_DIR) + "/engine.dbc");
  return database;
}

TEST(DbcReadTest, EveryPartOfTheSampleIsRead) {
  const SignalDatabase& db = Engine();
  EXPECT_EQ(db.Version, "1.2");
  ASSERT_EQ(db.Nodes.size(), 3u);
  EXPECT_EQ(db.Nodes[0].Comment, "The engine's control unit");
  EXPECT_EQ(db.Comment, "Bench car");
  ASSERT_EQ(db.ValueTables.size(), 1u);
  EXPECT_EQ(db.ValueTables[0].second, (ValueDescriptions{{1, "On"}, {0, "Off"}}));

  const Message* engine = db.MessageWithId(291, false);
  ASSERT_NE(engine, nullptr);
  EXPECT_EQ(engine->Comment, "Sent every 10 ms");
  EXPECT_EQ(engine->Transmitters, (std::vector<std::string>{"Engine", "Tester"}));
  const Signal& speed = *engine->SignalNamed("Speed");
  EXPECT_EQ(speed.Comment, "Vehicle speed,\nover two lines");
  EXPECT_EQ(speed.Receivers, (std::vector<std::string>{"Dashboard", "Tester"}));
  EXPECT_EQ(speed.Factor, 0.01);
  EXPECT_EQ(speed.Maximum, 655.35);
  const Signal& rpm = *engine->SignalNamed("Rpm");
  EXPECT_EQ(rpm.Order, ByteOrder::Motorola);
  EXPECT_EQ(rpm.StartBit, 31u);
  EXPECT_EQ(rpm.Length, 16u);
  const Signal& temperature = *engine->SignalNamed("Temperature");
  EXPECT_TRUE(temperature.Signed);
  EXPECT_EQ(temperature.Offset, -40);
  EXPECT_EQ(engine->SignalNamed("State")->Values.back(),
            (std::pair<int64_t, std::string>{15, "Fault"}));

  // Attributes: their own value, else the definition's default.
  const auto cycle = db.AttributeOf(engine->Attributes, "GenMsgCycleTime");
  ASSERT_TRUE(cycle);
  EXPECT_EQ(cycle->integer, 10);
  const Message* diagnostic = db.MessageNamed("Diagnostic");
  ASSERT_NE(diagnostic, nullptr);
  EXPECT_TRUE(diagnostic->Extended);
  EXPECT_EQ(diagnostic->Id, 1024u);
  EXPECT_EQ(diagnostic->FileId(), 2147484672u);
  EXPECT_EQ(diagnostic->Length, 64u);
  EXPECT_EQ(db.AttributeOf(diagnostic->Attributes, "GenMsgCycleTime")->integer, 100);
  EXPECT_EQ(db.AttributeOf(diagnostic->Attributes, "VFrameFormat")->integer, 3);
  EXPECT_EQ(db.AttributeOf(db.Attributes, "BusType")->text, "CAN FD");
  EXPECT_EQ(db.AttributeOf(temperature.Attributes, "GenSigStartValue")->number, 40.5);
  EXPECT_FALSE(db.AttributeOf(db.Attributes, "NoSuchAttribute"));

  // Multiplexing, simple and extended, and floating-point signals.
  EXPECT_EQ(diagnostic->Multiplexer()->Name, "Service");
  EXPECT_EQ(diagnostic->SignalNamed("Session")->MultiplexValue, 16u);
  const Signal& sub = *diagnostic->SignalNamed("SubFunction");
  EXPECT_TRUE(sub.IsMultiplexer && sub.MultiplexValue == 49u);
  const Signal& routine = *diagnostic->SignalNamed("Routine");
  EXPECT_EQ(routine.MultiplexSwitch, "SubFunction");
  EXPECT_EQ(routine.MultiplexRanges, (std::vector<MultiplexRange>{{1, 3}, {5, 5}}));
  EXPECT_EQ(diagnostic->SignalNamed("Pressure")->Type, ValueType::Float);
  EXPECT_EQ(diagnostic->SignalNamed("Energy")->Type, ValueType::Double);

  // What the model does not hold is kept as written.
  ASSERT_EQ(db.Other.size(), 2u);
  EXPECT_EQ(db.Other[0].rfind("EV_ Ignition: 0 [0|1]", 0), 0u);
  EXPECT_EQ(db.Other[1], "CM_ EV_ Ignition \"The key\";");
  EXPECT_TRUE(Problems(db).empty()) << Problems(db).front();
}

TEST(DbcReadTest, MalformedTextIsRefusedWithItsLineAndColumn) {
  const std::string head = "VERSION \"\"\nBU_: A\nBO_ 1 M: 8 A\n";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {" SG_ S : 0|8@2+ (1,0) [0|0] \"\" A\n",
       "text:4: column 14: expected the byte order (0 Motorola, 1 Intel) from 0 to 1, found '2'"},
      {" SG_ S : 0|65@1+ (1,0) [0|0] \"\" A\n",
       "text:4: column 12: expected the length in bits from 1 to 64, found '65'"},
      {" SG_ S : 0|8@1* (1,0) [0|0] \"\" A\n",
       "text:4: column 15: a character no DBC token starts with: '*'"},
      {" SG_ S : 0|8@1+ (1 0) [0|0] \"\" A\n",
       "text:4: column 20: expected ',' after the factor, found '0'"},
      {" SG_ S x : 0|8@1+ (1,0) [0|0] \"\" A\n",
       "text:4: column 8: expected a multiplexer mark (M, mN or mNM), found 'x'"},
      {" SG_ S : 0|8@1+ (1,0) [0|0] \"unit A\n",
       "text:4: column 29: a string that is never closed"},
      {"CM_ SG_ 1 Nope \"x\";\n",
       "text:4: column 1: a comment on an object the file does not define, found 'CM_'"},
      {"BO_ 2 N: 65 A\n",
       "text:4: column 10: expected the message length from 0 to 64, found '65'"},
      {"BA_DEF_ BO_ \"X\" REAL 0 1;\n",
       "text:4: column 17: expected the attribute type (INT, HEX, FLOAT, STRING or ENUM), found "
       "'REAL'"},
      {"SG_MUL_VAL_ 1 S T 3 4;\n",
       "text:4: column 21: expected a range's high value from "
       "-9223372036854775808 to 0, found '4'"},
      {"\x01", "text:4: column 1: a byte no DBC token starts with"},
  };
  for (const auto& [tail, message] : cases) {
    SCOPED_TRACE(tail);
    try {
      (void)formats::ParseDbc(head + tail);
      ADD_FAILURE() << "accepted";
    } catch (const formats::FileError& error) {
      EXPECT_EQ(std::string(error.what()), message);
    }
  }
  // A signal belongs to the message before it.
  EXPECT_THROW((void)formats::ParseDbc(" SG_ S : 0|8@1+ (1,0) [0|0] \"\" A\n"), formats::FileError);
  // A float signal must be 32 bits.
  EXPECT_THROW(
      (void)formats::ParseDbc(head + " SG_ S : 0|8@1+ (1,0) [0|0] \"\" A\nSIG_VALTYPE_ 1 S : 1;\n"),
      formats::FileError);
}

TEST(DbcReadTest, ProblemsNameDuplicatesOverlapsAndSignalsOutsideTheirMessage) {
  const SignalDatabase db = formats::ParseDbc(
      "BO_ 1 M: 2 A\n SG_ a : 0|8@1+ (1,0) [0|0] \"\" A\n SG_ b : 4|8@1+ (1,0) [0|0] \"\" A\n"
      " SG_ c : 7|17@0+ (1,0) [0|0] \"\" A\nBO_ 1 M: 8 A\n");
  EXPECT_EQ(Problems(db), (std::vector<std::string>{
                              "message M, signal b: overlaps signal a",
                              "message M, signal c: its bits leave the message's 2 bytes",
                              "message M: another message has this name",
                              "message M: another message has the identifier 1",
                          }));
}

// A random signal that fits `bytes` bytes.
Signal RandomSignal(std::mt19937& random, uint32_t bytes) {
  Signal signal;
  signal.Order = random() % 2 ? ByteOrder::Intel : ByteOrder::Motorola;
  signal.Length = 1 + static_cast<uint32_t>(random() % std::min<uint32_t>(64, bytes * 8));
  signal.Signed = random() % 2;
  const auto first =
      static_cast<uint32_t>(random() % (bytes * 8 - signal.Length + 1));  // field numbering
  signal.StartBit = signal.Order == ByteOrder::Intel ? first : MotorolaSkippedBits(first);
  return signal;
}

// Messages of up to twelve signals, mostly within 8 bytes (read as one word,
// four signals at a time where the processor can), some longer, in frames of
// every length up to the message's and beyond: each way of decoding against
// the bit loop, and against the library's fields where they reach.
TEST(MessageCodecTest, DecodingMatchesTheBitLoopAndTheLibrarysFields) {
  std::mt19937 random(11);
  for (int round = 0; round < 3000; ++round) {
    Message message;
    message.Length =
        static_cast<uint32_t>(random() % 4 == 0 ? 1 + random() % 64 : 1 + random() % 8);
    const auto count = 1 + random() % 12;
    for (size_t k = 0; k < count; ++k) {
      Signal signal = RandomSignal(random, message.Length);
      signal.Factor = random() % 3 == 0 ? 1 : static_cast<double>(random() % 2000) / 64 - 10;
      signal.Offset = static_cast<double>(static_cast<int>(random() % 200) - 100) / 8;
      message.Signals.push_back(signal);
    }
    std::vector<uint8_t> frame(message.Length + 2);
    for (uint8_t& b : frame) b = static_cast<uint8_t>(random());
    frame.resize(static_cast<size_t>(random() % (frame.size() + 1)));
    const MessageCodec codec(message);
    std::vector<double> values(count + 1, -7.0);
    codec.DecodeValues(frame, values);
    const auto decoded = codec.Decode(frame);  // the signals the frame holds, in order
    const auto array = ByteArray::New(frame);
    size_t listed = 0;
    for (size_t k = 0; k < count; ++k) {
      const Signal& signal = message.Signals[k];
      const auto bits = ReadBitsReference(signal, frame);
      SCOPED_TRACE(std::to_string(k) + ": " + std::to_string(signal.StartBit) + "|" +
                   std::to_string(signal.Length) + "@" +
                   (signal.Order == ByteOrder::Intel ? "1" : "0") + (signal.Signed ? "-" : "+") +
                   " in " + std::to_string(frame.size()) + " bytes");
      if (!bits) {
        ASSERT_TRUE(std::isnan(values[k]));
        continue;
      }
      ASSERT_LT(listed, decoded.size());
      const DecodedSignal& one = decoded[listed++];
      ASSERT_EQ(one.Definition, &signal);
      ASSERT_EQ(one.Bits, *bits);
      // A negative raw value is -(its two's complement), taken within its bits.
      const bool negative = signal.Signed && (*bits >> (signal.Length - 1)) != 0;
      const uint64_t low_bits =
          signal.Length == 64 ? ~uint64_t{0} : (uint64_t{1} << signal.Length) - 1;
      const double raw =
          negative ? -static_cast<double>((~*bits & low_bits) + 1) : static_cast<double>(*bits);
      ASSERT_EQ(values[k], raw * signal.Factor + signal.Offset);
      ASSERT_EQ(one.Value, values[k]);
      // The library's field and scaled value live on the frame read the same.
      if (FitsAField(signal)) {
        ASSERT_EQ(FieldOf(signal, *array)->Value(), one.Raw);
        ASSERT_EQ(ScaledValueOf(signal, *array)->Value(), one.Value);
      } else {
        EXPECT_THROW((void)FieldOf(signal, *array), Error);
      }
      // Writing the bits back gives the frame again.
      std::vector<uint8_t> copy(frame);
      ASSERT_TRUE(WriteBitsReference(signal, *bits, copy));
      EXPECT_EQ(copy, frame);
    }
    EXPECT_EQ(listed, decoded.size());
    EXPECT_EQ(values[count], -7.0);  // nothing written past the signals
  }
}

TEST(MessageCodecTest, PhysicalValuesTextsAndMultiplexing) {
  const SignalDatabase& db = Engine();
  const MessageCodec engine(*db.MessageNamed("EngineData"));
  const std::vector<uint8_t> frame = engine.Encode({{"Speed", 70.0},
                                                    {"Rpm", 1750.0},
                                                    {"Temperature", -12.0},
                                                    {"State", std::string("Running")}});
  const auto decoded = engine.Decode(frame);
  ASSERT_EQ(decoded.size(), 5u);
  EXPECT_EQ(decoded[0].Bits, 7000u);
  EXPECT_DOUBLE_EQ(decoded[0].Value, 70.0);
  EXPECT_EQ(decoded[1].Bits, 7000u);  // 1750 rpm in quarters
  EXPECT_EQ(decoded[2].Raw, 28);
  EXPECT_EQ(decoded[2].Value, -12);
  ASSERT_NE(decoded[3].Text, nullptr);
  EXPECT_EQ(*decoded[3].Text, "Running");
  EXPECT_EQ(decoded[4].Text, nullptr);
  // The same signal as the library's objects, live on the frame.
  auto array = ByteArray::New(frame);
  const Signal& state = *engine.Definition().SignalNamed("State");
  EXPECT_EQ(EnumerationOf(state)->Text(FieldOf(state, *array)->Value()), "Running");
  const auto speed = ScaledValueOf(*engine.Definition().SignalNamed("Speed"), *array);
  EXPECT_DOUBLE_EQ(speed->Value(), 70.0);
  EXPECT_EQ(speed->Unit(), "km/h");
  speed->Value(80.0);
  EXPECT_DOUBLE_EQ(engine.Decode(array->Bytes())[0].Value, 80.0);
  // Rounding to the nearest raw value, ties to even: 0.125 km/h is 12.5 hundredths.
  EXPECT_EQ(engine.Decode(engine.Encode({{"Speed", 0.125}}))[0].Bits, 12u);
  EXPECT_EQ(engine.Decode(engine.Encode({{"Speed", 0.135}}))[0].Bits, 14u);

  // Out of range: the signal, its limits and the value in what().
  const auto refused = [&](const std::map<std::string, EncodedValue>& values) {
    try {
      (void)engine.Encode(values);
    } catch (const Error& error) {
      return std::to_string(error.Number()) + " " + error.what();
    }
    return std::string("accepted");
  };
  EXPECT_EQ(
      refused({{"Speed", 700.0}}),
      "2000 error 2000: Value too big: signal Speed: 700 is outside its limits 0..655.35 km/h");
  EXPECT_EQ(refused({{"Temperature", -200.0}}),
            "2000 error 2000: Value too small: signal Temperature: -200 is outside its limits "
            "-168..87 degC");
  EXPECT_EQ(refused({{"Ratio", 65536.0}}),
            "2000 error 2000: Value too big: signal Ratio: 65536 is outside its limits (raw "
            "0..65535, raw value 65536)");
  EXPECT_EQ(
      refused({{"State", std::string("Broken")}}),
      "5 error 5: Invalid procedure call or argument: signal State has no value named 'Broken'");
  EXPECT_EQ(refused({{"Gear", 1.0}}),
            "5 error 5: Invalid procedure call or argument: message EngineData has no signal Gear");

  // Multiplexed signals come only when their multiplexer selects them;
  // DecodeValues gives the same values, NaN for those left out.
  const MessageCodec diagnostic(*db.MessageNamed("Diagnostic"));
  const std::vector<uint8_t> pressure = diagnostic.Encode({{"Service", 34.0}, {"Pressure", 1.5}});
  std::vector<double> only_values(diagnostic.Definition().Signals.size());
  for (const size_t size : {pressure.size(), size_t{8}, size_t{3}}) {
    diagnostic.DecodeValues(std::span(pressure).first(size), only_values);
    std::string shown;
    for (const double v : only_values) shown += std::isnan(v) ? "- " : std::to_string(v) + " ";
    std::string expected;
    size_t next = 0;
    const auto listed = diagnostic.Decode(std::span(pressure).first(size));
    for (const Signal& signal : diagnostic.Definition().Signals) {
      const bool present = next < listed.size() && listed[next].Definition == &signal;
      expected += present ? std::to_string(listed[next++].Value) + " " : "- ";
    }
    EXPECT_EQ(shown, expected) << size;
  }
  const auto names = [&](const std::map<std::string, EncodedValue>& values) {
    std::string listed;
    for (const DecodedSignal& s : diagnostic.Decode(diagnostic.Encode(values))) {
      listed += s.Definition->Name + " ";
    }
    return listed;
  };
  EXPECT_EQ(names({{"Service", 16.0}}), "Service Session Energy ");
  EXPECT_EQ(names({{"Service", 34.0}, {"Pressure", 2.5}}), "Service Identifier Pressure Energy ");
  EXPECT_EQ(names({{"Service", 49.0}, {"SubFunction", 2.0}}),
            "Service SubFunction Routine Energy ");
  EXPECT_EQ(names({{"Service", 49.0}, {"SubFunction", 4.0}}), "Service SubFunction Energy ");
  EXPECT_EQ(names({{"Service", 16.0}, {"SubFunction", 2.0}}), "Service Session Energy ");
  const auto values = diagnostic.Decode(diagnostic.Encode({{"Service", 34.0}, {"Pressure", -2.5}}));
  EXPECT_EQ(values[2].Value, -2.5);
  EXPECT_EQ(diagnostic.Decode(diagnostic.Encode({{"Energy", 1e300}})).back().Value, 1e300);
}

namespace random_db {

std::string RandomName(std::mt19937& random, const char* prefix) {
  return prefix + std::to_string(random() % 100000);
}

std::string RandomText(std::mt19937& random) {
  static const std::vector<std::string> pieces = {"a", "Z", " ",  "\"",  "\\",  "\n", ",",
                                                  ";", "é", "°C", "BO_", "1.5", "\t"};
  std::string text;
  for (size_t k = random() % 6; k > 0; --k) text += pieces[random() % pieces.size()];
  return text;
}

AttributeValue RandomValue(std::mt19937& random) {
  AttributeValue value;
  switch (random() % 3) {
    case 0:
      value.integer = static_cast<int64_t>(random()) - (1 << 30);
      break;
    case 1:
      value.kind = AttributeValue::Kind::Float;
      value.number = std::ldexp(static_cast<double>(random()), -static_cast<int>(random() % 40));
      break;
    default:
      value.kind = AttributeValue::Kind::Text;
      value.text = RandomText(random);
  }
  return value;
}

AttributeList RandomAttributes(std::mt19937& random) {
  AttributeList attributes;
  for (size_t k = random() % 3; k > 0; --k) {
    attributes.emplace_back(RandomName(random, "Attr"), RandomValue(random));
  }
  return attributes;
}

SignalDatabase RandomDatabase(std::mt19937& random) {
  SignalDatabase db;
  db.Version = RandomText(random);
  db.Comment = RandomText(random);
  for (size_t k = random() % 4; k > 0; --k) {
    db.Nodes.push_back({RandomName(random, "Node") + "_" + std::to_string(k), RandomText(random),
                        RandomAttributes(random)});
  }
  db.Attributes = RandomAttributes(random);
  for (size_t k = random() % 3; k > 0; --k) {
    AttributeDefinition definition;
    definition.Name = RandomName(random, "Def");
    definition.Object = static_cast<AttributeObject>(random() % 4);
    definition.Type = static_cast<AttributeDefinition::Kind>(random() % 5);
    if (definition.Type == AttributeDefinition::Kind::Enumeration) {
      definition.Choices = {RandomText(random), RandomText(random)};
    } else if (definition.Type != AttributeDefinition::Kind::String) {
      definition.Minimum = -static_cast<double>(random() % 100);
      definition.Maximum = static_cast<double>(random() % 100000);
    }
    if (random() % 2) definition.Default = RandomValue(random);
    db.AttributeDefinitions.push_back(std::move(definition));
  }
  for (size_t m = random() % 5; m > 0; --m) {
    Message message;
    // Identifiers differ, as statements refer to messages by them.
    message.Extended = random() % 2;
    message.Id = static_cast<uint32_t>(m * 311 + (message.Extended ? random() % 1000 * 2048 : 0));
    message.Name = RandomName(random, "Msg");
    message.Length = static_cast<uint32_t>(random() % 65);
    if (random() % 2) message.Sender = RandomName(random, "Node");
    message.Comment = RandomText(random);
    message.Attributes = RandomAttributes(random);
    const uint32_t bytes = std::max<uint32_t>(message.Length, 1);
    for (size_t s = random() % 5; s > 0; --s) {
      Signal signal = RandomSignal(random, bytes);
      signal.Name = RandomName(random, "Sig") + "_" + std::to_string(s);
      signal.Factor =
          std::ldexp(static_cast<double>(random() % 1000 + 1), -static_cast<int>(random() % 10));
      signal.Offset = static_cast<double>(static_cast<int>(random() % 200) - 100) / 8;
      signal.Minimum = -static_cast<double>(random() % 50);
      signal.Maximum = static_cast<double>(random() % 5000) / 3;
      signal.Unit = RandomText(random);
      if (random() % 2) signal.Receivers = {RandomName(random, "Node"), RandomName(random, "Node")};
      if (random() % 3 == 0) signal.MultiplexValue = random() % 300;
      if (random() % 5 == 0) signal.IsMultiplexer = true;
      if (signal.Length == 32 && random() % 2) signal.Type = ValueType::Float;
      if (signal.Length == 64 && random() % 2) signal.Type = ValueType::Double;
      for (size_t v = random() % 3; v > 0; --v) {
        signal.Values.emplace_back(static_cast<int64_t>(random() % 1000) - 500, RandomText(random));
      }
      signal.Comment = RandomText(random);
      signal.Attributes = RandomAttributes(random);
      message.Signals.push_back(std::move(signal));
    }
    if (message.Signals.size() >= 2 && random() % 2) {
      message.Signals[1].MultiplexSwitch = message.Signals[0].Name;
      message.Signals[1].MultiplexRanges = {{1, 3}, {7, 7}};
    }
    if (random() % 3 == 0) message.Transmitters = {RandomName(random, "Node")};
    db.Messages.push_back(std::move(message));
  }
  db.ValueTables.emplace_back(RandomName(random, "Table"),
                              ValueDescriptions{{1, RandomText(random)}});
  db.Other = {"EV_ Key: 0 [0|1] \"\" 0 1 DUMMY_NODE_VECTOR0 Vector__XXX;"};
  return db;
}

}  // namespace random_db

TEST(DbcWriteTest, WhatIsWrittenReadsBackTheSame) {
  const SignalDatabase& sample = Engine();
  EXPECT_EQ(formats::ParseDbc(formats::FormatDbc(sample)), sample);
  std::mt19937 random(17);
  for (int round = 0; round < 500; ++round) {
    const SignalDatabase db = random_db::RandomDatabase(random);
    const std::string text = formats::FormatDbc(db);
    SignalDatabase again;
    try {
      again = formats::ParseDbc(text);
    } catch (const formats::FileError& error) {
      FAIL() << error.what() << "\n" << text;
    }
    ASSERT_EQ(again, db) << text;
  }
}

}  // namespace
}  // namespace ombrix::signals
