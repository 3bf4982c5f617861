#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "formats/file_error.h"
#include "traces/readers_internal.h"
#include "traces/trace_reader.h"
#include "traces/trace_writer.h"

namespace ombrix::traces {
namespace {

// A frame as one line of text, for comparing what was read.
std::string Show(const Frame& frame, const TraceReader& reader) {
  std::string text = SecondsText(frame.Time) + " " + reader.Channels()[frame.Channel] + " " +
                     std::to_string(frame.Id) + (frame.Extended ? "x" : "") + " ";
  for (const auto& [flag, name] : {std::pair{kRemote, "remote"},
                                   {kFd, "fd"},
                                   {kBitRateSwitch, "brs"},
                                   {kErrorState, "esi"},
                                   {kError, "error"},
                                   {kTransmitted, "tx"}}) {
    if (frame.Has(flag)) text += std::string(name) + " ";
  }
  text += std::to_string(frame.Length) + ":";
  for (const uint8_t byte : frame.Bytes()) text += " " + std::to_string(byte);
  return text;
}

// What a frame carries besides its time and channel; an error frame only
// that it is one (ASC gives no class).
std::string Body(const Frame& frame) {
  if (frame.Has(kError)) return "error";
  std::string text = std::to_string(frame.Id) + (frame.Extended ? "x" : "") + " " +
                     std::to_string(frame.Flags) + " " + std::to_string(frame.Length) + ":";
  for (const uint8_t byte : frame.Bytes()) text += " " + std::to_string(byte);
  return text;
}

std::vector<std::string> ReadAll(TraceReader& reader) {
  std::vector<std::string> frames;
  Frame frame;
  while (reader.Next(frame)) frames.push_back(Show(frame, reader));
  return frames;
}

std::vector<std::string> Read(const std::string& text, TraceFormat format, bool strict = false) {
  auto reader = ReadTraceText(text, format, {strict}, "trace");
  return ReadAll(*reader);
}

TEST(TracesTest, CandumpLinesOfEveryKind) {
  const std::string text =
      "(1700000000.123456) can0 123#DEADBEEF\n"
      "(1700000000.5) vcan1 12345678#11.22.33\r\n"
      "(0.000001) can0 7FF#R\n"
      "(2.000000) can0 100#R5 T\n"
      "(3.000000) can0 321##3" +
      std::string(24, 'A') +
      "\n"
      "(4.000000) can0 321##0\n"
      "(5.000000) can0 20000080#0000000000000000\n"
      "(6.000000) can0 123#1122334455667788_C R\n"
      "\n"
      "(7) can0 001#";
  EXPECT_EQ(Read(text, TraceFormat::Candump),
            (std::vector<std::string>{
                "1700000000.123456 can0 291 4: 222 173 190 239",
                "1700000000.500000 vcan1 305419896x 3: 17 34 51",
                "0.000001 can0 2047 remote 0:",
                "2.000000 can0 256 remote tx 5:",
                "3.000000 can0 801 fd brs esi 12: 170 170 170 170 170 170 170 170 170 170 170 170",
                "4.000000 can0 801 fd 0:",
                "5.000000 can0 128 error 8: 0 0 0 0 0 0 0 0",
                "6.000000 can0 291 8: 17 34 51 68 85 102 119 136",
                "7.000000 can0 1 0:",
            }));

  // Bad lines are skipped with their numbers and reasons, or refuse the trace.
  const std::string bad =
      "(1.0) can0 123#11\n"
      "1.0 can0 123#11\n"
      "(x) can0 123#11\n"
      "(1.0) can0 800#11\n"
      "(1.0) can0 123#112\n"
      "(1.0) can0 123#112233445566778899\n"
      "(1.0) can0 123##1" +
      std::string(130, '0') +
      "\n"
      "(1.0) can0 123##G00\n"
      "(1.0) can0 12G#11\n"
      "(1.0) can0 123#11 X\n"
      "(1.0) can0\n"
      "(2.0) can0 124#22\n";
  auto reader = ReadTraceText(bad, TraceFormat::Candump, {}, "bad.log");
  EXPECT_EQ(ReadAll(*reader),
            (std::vector<std::string>{"1.000000 can0 291 1: 17", "2.000000 can0 292 1: 34"}));
  std::string reasons;
  for (const SkippedLine& line : reader->Skipped()) {
    reasons += std::to_string(line.Line) + " " + line.Message + "\n";
  }
  EXPECT_EQ(reasons,
            "2 a frame starts with its time in parentheses\n"
            "3 the time is not a number of seconds\n"
            "4 a standard identifier is above 7FF\n"
            "5 the data ends in half a byte\n"
            "6 more than 8 bytes of classic data\n"
            "7 more than 64 bytes of data\n"
            "8 the CAN FD flags are not a hexadecimal digit\n"
            "9 the identifier is not 3 or 8 hexadecimal digits\n"
            "10 unexpected text after the frame\n"
            "11 no frame after the interface\n");
  EXPECT_EQ(reader->SkippedCount(), 10u);
  try {
    Read(bad, TraceFormat::Candump, true);
    ADD_FAILURE() << "a strict read took a bad line";
  } catch (const formats::FileError& error) {
    EXPECT_STREQ(error.what(), "trace:2: a frame starts with its time in parentheses");
  }
}

TEST(TracesTest, CandumpScreenOutput) {
  // As candump -ta (and can-utils' log2long) prints frames, and candump bare.
  EXPECT_EQ(Read("(1700000000.123456)  can0       123   [4]  DE AD BE EF               '....'\n"
                 "(1700000000.2)  can1  12345678   [2]  11 23                     '.#'\n"
                 "(1700000000.3)  can0       7FF   [5]  remote request\n"
                 "(1700000000.4)  can0       321  [12]  00 01 02 03 04 05 06 07 08 09 0A 0B\n"
                 "(1700000000.5)  can0  20000080   [8]  00 00 00 00 00 00 00 00   ERRORFRAME\n"
                 "  vcan0  0C5   [0]\n",
                 TraceFormat::Candump),
            (std::vector<std::string>{
                "1700000000.123456 can0 291 4: 222 173 190 239",
                "1700000000.200000 can1 305419896x 2: 17 35",
                "1700000000.300000 can0 2047 remote 5:",
                "1700000000.400000 can0 801 fd 12: 0 1 2 3 4 5 6 7 8 9 10 11",
                "1700000000.500000 can0 128 error 8: 0 0 0 0 0 0 0 0",
                "0.000000 vcan0 197 0:",
            }));
  auto reader = ReadTraceText("  can0  123   [4]  DE AD\n  can0  123  [65]\n  can0  123  4  DE\n",
                              TraceFormat::Candump);
  EXPECT_TRUE(ReadAll(*reader).empty());
  std::string reasons;
  for (const SkippedLine& line : reader->Skipped()) reasons += line.Message + "\n";
  EXPECT_EQ(reasons,
            "fewer data bytes than its length\na length beyond the frame's kind\n"
            "neither ID#DATA nor ID [LENGTH] DATA after the interface\n");
}

TEST(TracesTest, AscHeadersBasesTimesAndCanFd) {
  const std::string text =
      "date Tue Nov 14 10:13:33.436 pm 2023\n"
      "base hex  timestamps absolute\n"
      "internal events logged\n"
      "// version 9.0.0\n"
      "Begin Triggerblock Tue Nov 14 10:13:33.436 pm 2023\n"
      "   0.000000 Start of measurement\n"
      "   0.500000 1  1A3             Rx   d 3 01 02 FF\n"
      "   1.000000 2  1ABCDEFx        Tx   d 2 AA BB  Length = 0 BitCount = 0\n"
      "   1.500000 1  7FF             Rx   r 4\n"
      "   2.000000 1  ErrorFrame\n"
      "   2.500000 CANFD   3 Rx      123  Name 1 0 9 12 01 02 03 04 05 06 07 08 09 0A 0B 0C 0 0 "
      "3000 0 0 0 0 0\n"
      "   3.000000 1  Statistic: D 0 R 0 XD 0 XR 0 E 0 O 0 B 0.00%\n"
      "   3.500000 CANFD   1 Tx ErrorFrame\n"
      "End TriggerBlock\n";
  EXPECT_EQ(Read(text, TraceFormat::Asc),
            (std::vector<std::string>{
                "1700000013.936000 1 419 3: 1 2 255",
                "1700000014.436000 2 28036591x tx 2: 170 187",
                "1700000014.936000 1 2047 remote 4:",
                "1700000015.436000 1 0 error 0:",
                "1700000015.936000 3 291 fd brs 12: 1 2 3 4 5 6 7 8 9 10 11 12",
                "1700000016.936000 1 0 fd error tx 0:",
            }));
  // Decimal bases and times relative to the line before.
  EXPECT_EQ(Read("base dec  timestamps relative\n"
                 "0.25 1 419 Rx d 2 1 255\n"
                 "0.25 1 291x Rx d 1 16\n",
                 TraceFormat::Asc),
            (std::vector<std::string>{"0.250000 1 419 2: 1 255", "0.500000 1 291x 1: 16"}));
  auto reader = ReadTraceText("1.0 1 123 Rx d 8 01 02\n1.0 1 1234 Rx d 1 01\n", TraceFormat::Asc,
                              {}, "bad.asc");
  EXPECT_TRUE(ReadAll(*reader).empty());
  ASSERT_EQ(reader->Skipped().size(), 2u);
  EXPECT_EQ(reader->Skipped()[0].Message, "fewer data bytes than its length");
  EXPECT_EQ(reader->Skipped()[1].Message, "the identifier is not one");
}

TEST(TracesTest, PeakTrcOfEachVersion) {
  // Version 2.1 with its columns, CAN FD types, remote and error frames.
  EXPECT_EQ(
      Read(";$FILEVERSION=2.1\r\n"
           ";$STARTTIME=45244.5\r\n"
           ";$COLUMNS=N,O,T,B,I,d,R,L,D\r\n"
           ";   comment\r\n"
           "      1         0.500 DT  1     0123 Rx -  3    01 02 03\r\n"
           "      2         1.250 FB  2 1ABCDEF0 Tx -  9    00 01 02 03 04 05 06 07 08 09 0A 0B\r\n"
           "      3         2.000 RR  1     07FF Rx -  4\r\n"
           "      4         3.000 ER  1       -- Rx -  0\r\n"
           "      5         4.000 ST  1       -- Rx -  4    00 00 00 08\r\n",
           TraceFormat::Trc),
      (std::vector<std::string>{
          "1699963200.000500 1 291 3: 1 2 3",
          "1699963200.001250 2 448585456x fd brs tx 12: 0 1 2 3 4 5 6 7 8 9 10 11",
          "1699963200.002000 1 2047 remote 4:",
          "1699963200.003000 1 0 error 0:",
      }));
  // Versions 1.0 and 1.1: numbered lines on one bus; a bus status line is passed over.
  EXPECT_EQ(
      Read(";##########\n     1)      1059.9  Rx         0300  2  00 11\n"
           "     2)      1060.0  Tx     12345678  1  FF\n     3)  1061.0  FFFFFFFF  4  00 00 00 "
           "00\n",
           TraceFormat::Trc),
      (std::vector<std::string>{"1.059900 1 768 2: 0 17", "1.060000 1 305419896x tx 1: 255"}));
  auto reader = ReadTraceText(
      ";$FILEVERSION=2.1\n1 0.5 DT 1 0800 Rx - 1 00\n1 x DT 1 0100 Rx - 1 00\n", TraceFormat::Trc);
  EXPECT_TRUE(ReadAll(*reader).empty());
  ASSERT_EQ(reader->Skipped().size(), 2u);
  EXPECT_EQ(reader->Skipped()[0].Message, "the identifier is not one");
  EXPECT_EQ(reader->Skipped()[1].Message,
            "the time offset is not a number of milliseconds (to the year 2262)");
}

TEST(TracesTest, TimesBeyondWhatNanosecondsHoldAreRefusedNotWrapped) {
  const auto reasons = [](const std::string& text, TraceFormat format) {
    auto reader = ReadTraceText(text, format);
    std::string found = std::to_string(ReadAll(*reader).size()) + " frames";
    for (const SkippedLine& line : reader->Skipped()) found += "; " + line.Message;
    return found;
  };
  // The last microsecond that 64 bits of nanoseconds hold, and the next.
  EXPECT_EQ(reasons("(9223372036.854775) can0 123#11\n(9223372036.854776) can0 123#11\n"
                    "(-9223372036.854775) can0 123#11\n(9223372037) can0 123#11\n",
                    TraceFormat::Candump),
            "2 frames; the time is not a number of seconds; the time is not a number of seconds");
  // A time an ASC date reaches, written to a candump log, reads back.
  std::string written;
  const auto writer =
      MakeTraceWriter(TraceFormat::Candump, [&](std::string_view piece) { written += piece; });
  Frame last;
  last.Time = std::numeric_limits<int64_t>::max() - 100;
  writer->Write(last, {"can0"});
  writer->Finish();
  EXPECT_EQ(written.substr(0, 20), "(9223372036.854775) ");
  EXPECT_EQ(reasons(written, TraceFormat::Candump), "1 frames");
  EXPECT_EQ(reasons("base hex  timestamps relative\n8000000000.0 1 123 Rx d 1 11\n"
                    "8000000000.0 1 123 Rx d 1 11\n",
                    TraceFormat::Asc),
            "1 frames; a time beyond the year 2262");
  EXPECT_EQ(reasons(";$FILEVERSION=2.1\n1 1e30 DT 1 0123 Rx - 1 00\n", TraceFormat::Trc),
            "0 frames; the time offset is not a number of milliseconds (to the year 2262)");
}

// The time reader's word-at-a-time steps against the plain digit loop, on
// texts of every shape: digits before and after the point, signs, and a
// stray character anywhere.
TEST(TracesTest, TimesReadAsThePlainDigitLoopReadsThem) {
  const auto plain = [](std::string_view text) -> std::optional<int64_t> {
    __extension__ using Wide = __int128;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) text.remove_prefix(1);
    const size_t point = std::min(text.find('.'), text.size());
    if (point == 0) return std::nullopt;
    Wide seconds = 0, fraction = 0;
    for (size_t k = 0; k < text.size(); ++k) {
      if (k == point) continue;
      if (text[k] < '0' || text[k] > '9') return std::nullopt;
      if (k < point) seconds = seconds * 10 + (text[k] - '0');
      if (k > point && k <= point + 9) fraction = fraction * 10 + (text[k] - '0');
    }
    const size_t decimals = point < text.size() ? text.size() - point - 1 : 0;
    for (size_t k = decimals; k < 9; ++k) fraction *= 10;
    const Wide total = seconds * 1'000'000'000 + fraction;
    if (total > std::numeric_limits<int64_t>::max()) return std::nullopt;
    return static_cast<int64_t>(negative ? -total : total);
  };
  std::mt19937 random(9);
  const std::string alphabet = "0123456789.-+ x/:";
  for (int round = 0; round < 200000; ++round) {
    // A quarter in candump's own shape, ten digits and six decimals.
    const bool log_shape = round % 4 == 0;
    std::string text = round % 3 == 0 ? "-" : "";
    for (size_t k = log_shape ? 10 : random() % 13; k > 0; --k)
      text += static_cast<char>('0' + random() % 10);
    if (log_shape || random() % 4 != 0) text += '.';
    for (size_t k = log_shape ? 6 : random() % 13; k > 0; --k)
      text += static_cast<char>('0' + random() % 10);
    if (random() % 5 == 0 && !text.empty()) text[random() % text.size()] = alphabet[random() % 17];
    int64_t read = -1;
    const bool taken = detail::NanosecondsOf(text, read);
    const auto expected = plain(text);
    ASSERT_EQ(taken, expected.has_value()) << text;
    if (taken) {
      ASSERT_EQ(read, *expected) << text;
    }
  }
}

Frame RandomFrame(std::mt19937& random, int64_t& time) {
  Frame frame;
  time += static_cast<int64_t>(random() % 5'000'000'000u) * 1000;
  frame.Time = time;
  frame.Channel = static_cast<uint16_t>(random() % 3);
  frame.Extended = random() % 2 == 0;
  frame.Id = static_cast<uint32_t>(random() % (frame.Extended ? 0x20000000u : 0x800u));
  const int kind = static_cast<int>(random() % 10);
  if (kind == 0) {
    frame.Flags = kError;
    frame.Extended = false;
    frame.Id = 0x80;
  } else if (kind < 4) {
    frame.Flags = kFd | (random() % 2 ? kBitRateSwitch : 0) | (random() % 2 ? kErrorState : 0);
    frame.Length = kFdLengths[random() % 16];
  } else if (kind == 4) {
    frame.Flags = kRemote;
    frame.Length = static_cast<uint8_t>(random() % 9);
  } else {
    frame.Length = static_cast<uint8_t>(random() % 9);
  }
  if (random() % 3 == 0 && kind != 0) frame.Flags |= kTransmitted;
  for (size_t k = 0; k < frame.Bytes().size(); ++k) frame.Data[k] = static_cast<uint8_t>(random());
  return frame;
}

TEST(TracesTest, WhatEachWriterWritesReadsBackTheSame) {
  std::mt19937 random(3);
  const std::vector<std::string> channels = {"can0", "can1", "can2"};
  for (const TraceFormat format : {TraceFormat::Candump, TraceFormat::Asc}) {
    std::vector<Frame> frames;
    int64_t time = 1'700'000'000'000'000'000;
    for (int k = 0; k < 2000; ++k) frames.push_back(RandomFrame(random, time));
    std::string text;
    const auto writer = MakeTraceWriter(format, [&](std::string_view piece) { text += piece; });
    for (const Frame& frame : frames) writer->Write(frame, channels);
    writer->Finish();
    auto reader = ReadTraceText(text, format, {true});
    Frame frame;
    for (const Frame& written : frames) {
      ASSERT_TRUE(reader->Next(frame));
      // ASC keeps milliseconds in its date and microseconds in its times.
      const int64_t start = format == TraceFormat::Asc ? frames[0].Time % 1'000'000 : 0;
      EXPECT_EQ(frame.Time + start, written.Time);
      // ASC numbers channels from 1 where candump names them.
      const std::string& name = reader->Channels()[frame.Channel];
      EXPECT_EQ(format == TraceFormat::Asc ? "can" + std::to_string(std::stoi(name) - 1) : name,
                channels[written.Channel]);
      EXPECT_EQ(Body(frame), Body(written));
    }
    EXPECT_FALSE(reader->Next(frame));
    EXPECT_EQ(reader->SkippedCount(), 0u);
  }
}

TEST(TracesTest, FilesAndStandardInputAreReadWhateverTheirSize) {
  // Lines across the reader's blocks, a long one, and no newline at the end.
  const auto folder = std::filesystem::temp_directory_path() / "ombrix_traces_test";
  std::filesystem::create_directories(folder);
  const auto path = (folder / "big.log").string();
  {
    std::ofstream out(path);
    for (int k = 0; k < 100000; ++k)
      out << "(" << k << ".000001) can0 123#" << (k % 2 ? "11" : "") << "\n";
    out << "(0.0) can0 123#" << std::string(3 << 20, '0') << "\n";
    out << "(100000.5) can0 456#22";
  }
  auto reader = OpenTrace(path);
  Frame frame;
  uint64_t count = 0;
  while (reader->Next(frame)) ++count;
  EXPECT_EQ(count, 100001u);
  EXPECT_EQ(frame.Id, 0x456u);
  EXPECT_EQ(reader->SkippedCount(), 1u);
  EXPECT_EQ(reader->Skipped()[0].Line, 100001u);
  EXPECT_EQ(reader->Progress().first, reader->Progress().second);
  // The format comes from the first line when the name does not tell.
  const auto unnamed = (folder / "trace.txt").string();
  std::filesystem::copy_file(path, unnamed, std::filesystem::copy_options::overwrite_existing);
  EXPECT_TRUE(OpenTrace(unnamed)->Next(frame));
  { std::ofstream(unnamed) << "hello\n"; }
  EXPECT_THROW(OpenTrace(unnamed), formats::FileError);
  EXPECT_THROW(OpenTrace((folder / "none.log").string()), formats::FileError);
  EXPECT_THROW(OpenTrace(folder.string() + "/"), formats::FileError);
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace ombrix::traces
