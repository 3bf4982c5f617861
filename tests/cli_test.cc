#include "tools/cli.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <vector>

namespace ombrix::cli {
namespace {

struct Result {
  int status;
  std::string out;
  std::string err;
};

// Runs the program in this process, from the shipped samples.
Result Ombrix(std::vector<std::string> arguments, const std::string& input = "") {
  std::istringstream in(input);
  std::ostringstream out, err;
  Context context{in, out, err, OMBRIX_SAMPLES_DIR};
  arguments.insert(arguments.begin(), "ombrix");
  std::vector<const char*> argv;
  for (const auto& argument : arguments) argv.push_back(argument.c_str());
  const int status = Run(static_cast<int>(argv.size()), argv.data(), context);
  return {status, out.str(), err.str()};
}

std::string Sample(const std::string& name) { return std::string(OMBRIX_SAMPLES_DIR) + "/" + name; }

TEST(CliTest, CrcPrintsStampsAndChecks) {
  EXPECT_EQ(Ombrix({"crc", "61 62 63"}).out, "9E25\n");
  EXPECT_EQ(Ombrix({"crc", "--stamp", "616263"}).out, "616263259E\n");
  EXPECT_EQ(Ombrix({"crc", "-", "--check"}, "616263259E\n").status, 0);
  const Result corrupt = Ombrix({"crc", "--check", "616263259F"});
  EXPECT_EQ(corrupt.status, 1);
  EXPECT_EQ(corrupt.out, "corrupt\n");
  EXPECT_EQ(Ombrix({"crc", "--stamp", "--check", "00"}).status, 2);
}

TEST(CliTest, FieldReadsScalesNamesAndRewrites) {
  const std::string frame = "10A53C7B0BB8020028D6";
  const std::vector<std::string> state = {
      "field", frame, "--intel", "--skip", "48", "--bits", "4", "--enum", Sample("states.json")};
  EXPECT_EQ(Ombrix({"field", frame, "--intel", "--skip", "8", "--bits", "16", "--scale", "0.01,0,1",
                    "--unit", "km/h", "--settings", "french"})
                .out,
            "raw    15525\nvalue  155,25 km/h\nmask   FFFF\n");
  EXPECT_EQ(Ombrix(state).out, "raw    2\nvalue  2\nstate  Marche\nmask   0F\n");
  std::vector<std::string> set = state;
  set.insert(set.end(), {"--set", "Défaut"});
  EXPECT_EQ(Ombrix(set).out, "10A53C7B0BB8030028D6\n");
  EXPECT_EQ(Ombrix({"field", frame, "--motorola", "--skip", "32", "--bits", "16", "--signed",
                    "--set", "-2", "--settings", "english"})
                .out,
            "10A53C7BFFFE020028D6\n");
}

TEST(CliTest, SignalDatabasesShowDecodeAndEncode) {
  const std::string dbc = Sample("engine.dbc");
  EXPECT_EQ(Ombrix({"dbc", "show", dbc}).out,
            "0x123  EngineData  8 bytes, 5 signals, from Engine\n"
            "0x00000400x  Diagnostic  64 bytes, 7 signals, from Tester\n2 messages\n");
  // Both numberings side by side: DBC's Motorola 31|16 is BigEndian's SkippedBits 24.
  EXPECT_NE(Ombrix({"dbc", "show", dbc, "0x123"}).out.find("Rpm: 31|16@0+ = BigEndian (24, 16)"),
            std::string::npos);
  const Result frame = Ombrix({"frame", "encode", "--dbc", dbc, "EngineData", "Speed=70",
                               "Rpm=1750", "State=Running", "Temperature=-12"});
  EXPECT_EQ(frame.out, "02581B1B581C0000\n");
  EXPECT_EQ(Ombrix({"frame", "decode", "--dbc", dbc, "291", "-"}, frame.out).out,
            "EngineData (0x123)\n  Speed = 70 km/h\n  Rpm = 1750 rpm\n  Temperature = -12 degC\n"
            "  State = 2 (Running)\n  Ratio = 0\n");
  EXPECT_EQ(Ombrix({"frame", "decode", "--dbc", dbc, "2147484672", "22123410", "--json"}).out,
            "{\"message\": \"Diagnostic\", \"id\": 2147484672, \"signals\": {\"Service\": "
            "{\"raw\": 34, \"value\": 34, \"unit\": \"\", \"text\": null}, \"Identifier\": "
            "{\"raw\": 4660, \"value\": 4660, \"unit\": \"\", \"text\": null}}}\n");
  const Result refused = Ombrix({"frame", "encode", "--dbc", dbc, "EngineData", "Speed=700"});
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.err,
            "ombrix: error 2000: Value too big: signal Speed: 700 is outside its limits 0..655.35 "
            "km/h\n");
  EXPECT_EQ(Ombrix({"frame", "decode", "--dbc", dbc, "0x124", "00"}).status, 2);
}

TEST(CliTest, ClassesListTheCatalogueWithItsHelpTexts) {
  const Result all = Ombrix({"classes"});
  EXPECT_EQ(all.status, 0);
  EXPECT_EQ(all.out.substr(0, all.out.find("\n\nByteArrayTrail")),
            "Utilitaires de gestion de tableaux d'octets V2\n\n"
            "ByteArray (creatable, persisted, 21 members)\n  Gestion des tableaux d'octets\n\n"
            "ByteArrayInterval (not creatable, also answers ByteArray, 21 members)\n"
            "  Intervalle d'un ByteArray");
  const Result one = Ombrix({"classes", "littleendian"});
  EXPECT_EQ(one.out,
            "LittleEndian: clients create it by name\n  Implémente NumericItem.\n  Donnée "
            "numérique format Intel (poids faible à l'adresse basse)\n\ninterface LittleEndian\n"
            "  NumericItem_RefersTo method (I As ByteArray, SkippedBits As Long, NumBits As Long, "
            "S As Boolean)\n      Détermine le champ de bits associé à l'objet\n\ninterface "
            "NumericItem\n  Max get () As Long\n  Min get () As Long\n  Value let (value As "
            "Long)\n  Value get () As Long\n  RefersTo method (I As ByteArray, SkippedBits As "
            "Long, NumBits As Long, S As Boolean)\n  Mask get () As String\n");
  EXPECT_NE(Ombrix({"classes", "MemoryImage"})
                .out.find("  Item get (Index As Long) As ByteArray  [default member]\n"
                          "  NewEnum method () As Enumerator  [hidden: the enumerator]\n"),
            std::string::npos);
  const Result unknown = Ombrix({"classes", "Nope"});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_EQ(unknown.err, "ombrix: CLASS: no class named 'Nope'\n");
}

TEST(CliTest, TracesStatsDecodeAndConvert) {
  const std::string log = Sample("drive.log");
  const std::string dbc = Sample("engine.dbc");
  const Result stats = Ombrix({"trace", "stats", log, "--dbc", dbc});
  EXPECT_EQ(stats.out,
            "channel id          message             count     period ms  jitter ms  lengths     "
            "first              last\n"
            "can0    0x123       EngineData          4         10.167     0.289      8           "
            "1700000000.000000  1700000000.030500\n"
            "can1    0x7DF                           1         -          -          8           "
            "1700000000.015000  1700000000.015000\n"
            "can1    0x7E8                           1         -          -          8           "
            "1700000000.031000  1700000000.031000\n"
            "6 frames, 3 identifiers\n");
  EXPECT_EQ(Ombrix({"trace", "decode", log, "--dbc", dbc, "--signal", "EngineData.Speed",
                    "--signal", "EngineData.State", "--channel", "can0", "--to", "1700000000.01"})
                .out,
            "t,channel,id,message,EngineData.Speed [km/h],EngineData.State\n"
            "1700000000.000000,can0,291,EngineData,64.88,Running\n"
            "1700000000.010000,can0,291,EngineData,65,Running\n");
  EXPECT_EQ(Ombrix({"trace", "decode", "-", "--dbc", dbc, "--out-format", "jsonl"},
                   "(1700000000.030500) can0 123#0F7C191C32000000\n")
                .out,
            "{\"t\": 1700000000.030500, \"channel\": \"can0\", \"id\": 291, \"message\": "
            "\"EngineData\", \"signals\": {\"Speed\": 65.24, \"Rpm\": 1804.5, \"Temperature\": "
            "-40, \"State\": \"Fault\", \"Ratio\": 0}}\n");
  // Converted to ASC and back, the frames the filter takes come back.
  const Result asc = Ombrix(
      {"trace", "convert", log, "-o", "-", "--out-format", "asc", "--id", "0x7DF,0x7E0-0x7EF"});
  EXPECT_NE(asc.out.find("   0.016000 2  7E8             Rx   d 8 03 41 05 50 AA AA AA AA\n"),
            std::string::npos);
  EXPECT_EQ(Ombrix({"trace", "convert", "-", "-o", "-", "--out-format", "candump"}, asc.out).out,
            "(1700000000.015000) can1 7DF#0201050000000000 T\n"
            "(1700000000.031000) can1 7E8#03410550AAAAAAAA R\n");
  // Bad lines are named and skipped, or refuse the trace with --strict.
  const std::string bad = "(1.0) can0 123#11\n(2.0) can0 1234#\n";
  const Result skipped =
      Ombrix({"trace", "convert", "-", "-o", "-", "--out-format", "candump"}, bad);
  EXPECT_EQ(skipped.status, 0);
  EXPECT_EQ(skipped.err,
            "ombrix: <stdin>:2: the identifier is not 3 or 8 hexadecimal digits"
            " (line skipped)\n");
  const Result strict = Ombrix({"trace", "stats", "-", "--strict", "--in-format", "candump"}, bad);
  EXPECT_EQ(strict.status, 2);
  EXPECT_EQ(strict.err, "ombrix: <stdin>:2: the identifier is not 3 or 8 hexadecimal digits\n");
  EXPECT_EQ(Ombrix({"trace", "decode", log, "--dbc", dbc, "--signal", "Nope.Speed"}).status, 2);
}

TEST(CliTest, ImageCommandsOnFiles) {
  EXPECT_EQ(
      Ombrix({"image", "map", Sample("firmware.hex")}).out,
      "00000000-000000FF  256 bytes\n00001000-0000103F  64 bytes\n00010000-0001002F  48 bytes\n"
      "3 segments, 368 bytes\n");
  EXPECT_EQ(Ombrix({"image", "read", Sample("calibration.s19"), "32836", "12"}).out,
            "00008044  99 BE E3 08 2D 52 77 9C C1 E6 0B 30\n");
  EXPECT_EQ(Ombrix({"image", "read", Sample("calibration.s19"), "0x8018", "9"}).status, 2);

  const auto folder = std::filesystem::temp_directory_path() / "ombrix_cli_test";
  std::filesystem::create_directories(folder);
  const auto path = [&](const char* name) { return (folder / name).string(); };
  const std::string merged = path("merged.json"), rest = path("rest.txt");
  ASSERT_EQ(
      Ombrix({"image", "merge", Sample("firmware.hex"), Sample("calibration.s19"), "-o", merged})
          .status,
      0);
  EXPECT_TRUE(Ombrix({"image", "map", merged}).out.ends_with("\n5 segments, 416 bytes\n"));
  // The same bytes twice merge; other bytes at one address name both files.
  EXPECT_EQ(
      Ombrix({"image", "merge", Sample("firmware.hex"), Sample("firmware.hex"), "-o", "-",
              "--out-format", "ihex"})
          .out,
      Ombrix({"image", "convert", Sample("firmware.hex"), "-o", "-", "--out-format", "ihex"}).out);
  Ombrix({"image", "fill", Sample("calibration.s19"), "--pattern", "0xFF", "-o", path("f.s28")});
  EXPECT_EQ(Ombrix({"image", "read", path("f.s28"), "0x801E", "4"}).out, "0000801E  5A 7F FF FF\n");
  Ombrix({"image", "write", Sample("firmware.hex"), "0x10", "AABB", "-o", path("w.hex")});
  EXPECT_EQ(Ombrix({"image", "read", path("w.hex"), "16", "3"}).out, "00000010  AA BB 9B\n");
  const Result overlap =
      Ombrix({"image", "merge", Sample("firmware.hex"), path("w.hex"), "-o", path("twice.hex")});
  EXPECT_EQ(overlap.err, "ombrix: " + path("w.hex") + ": overlaps " + Sample("firmware.hex") +
                             " with other bytes at 00000010-00000011\n");
  EXPECT_FALSE(std::filesystem::exists(path("twice.hex")));
  Ombrix({"image", "exclude", merged, Sample("firmware.hex"), "-o", rest, "--out-format", "srec"});
  EXPECT_EQ(Ombrix({"image", "map", rest, "--format", "srec"}).out,
            "00008000-0000801F  32 bytes\n00008040-0000804F  16 bytes\n2 segments, 48 bytes\n");
  // Files at different bases merge and exclude by file address.
  const std::string high = path("high.hex"), low = path("low.hex");
  Ombrix({"image", "convert", "-", "--format", "binary", "--base", "0x90000000", "-o", high}, "ab");
  Ombrix({"image", "convert", "-", "--format", "binary", "--base", "0x20000000", "-o", low}, "cd");
  Ombrix({"image", "merge", high, low, "-o", merged});
  Ombrix({"image", "exclude", merged, low, "-o", rest, "--out-format", "srec"});
  EXPECT_EQ(Ombrix({"image", "map", rest, "--format", "srec"}).out,
            "90000000-90000001  2 bytes\n1 segment, 2 bytes\n");
  std::filesystem::remove_all(folder);
}

// Four bytes at 8000FFFE-80010001: a linear record across 64 KiB above 2 GiB.
constexpr const char* kHighHex = ":0200000480007A\n:04FFFE0001020304F5\n:00000001FF\n";

TEST(CliTest, CrcCropAndFillThroughStandardStreams) {
  const auto run = [](std::vector<std::string> arguments, const std::string& input = kHighHex) {
    return Ombrix(std::move(arguments), input).out;
  };
  // The frame check sequence of held bytes; a gap needs a pattern.
  EXPECT_EQ(run({"image", "crc", "-", "--format", "ihex"}), run({"crc", "01020304"}));
  EXPECT_EQ(run({"image", "crc", "-", "--format", "ihex", "0x8000FFFE", "6", "--pattern", "0xFF"}),
            run({"crc", "01020304FFFF"}));
  // Crop keeps a stretch; fill --range adds one around the data.
  const std::string cropped = run({"image", "crop", "-", "--format", "ihex", "0x8000FFFF", "2",
                                   "-o", "-", "--out-format", "json"});
  EXPECT_EQ(run({"image", "map", "-", "--format", "json"}, cropped),
            "8000FFFF-80010000  2 bytes\n1 segment, 2 bytes\n");
  const std::string filled = run({"image", "fill", "-", "--format", "ihex", "--range", "0x8000FFFC",
                                  "8", "--pattern", "0xAA", "-o", "-", "--out-format", "json"});
  EXPECT_EQ(run({"image", "read", "-", "--format", "json", "0x8000FFFC", "8"}, filled),
            "8000FFFC  AA AA 01 02 03 04 AA AA\n");
  EXPECT_EQ(run({"image", "map", "-", "--format", "binary", "--base", "0xFFFFFFFE"}, "ab"),
            "FFFFFFFE-FFFFFFFF  2 bytes\n1 segment, 2 bytes\n");
  // A header that is not UTF-8 survives JSON as hexadecimal.
  const std::string json =
      run({"image", "convert", "-", "--format", "srec", "-o", "-", "--out-format", "json"},
          "S0060000E974E9B3\nS1040010AA41\n");
  EXPECT_NE(json.find("\"HeaderHex\": \"E974E9\""), std::string::npos) << json;
  EXPECT_NE(
      run({"image", "convert", "-", "--format", "json", "-o", "-", "--out-format", "srec"}, json)
          .find("S0060000E974E9B3"),
      std::string::npos);
}

// Each error says what it is about; nothing is printed before it.
TEST(CliTest, ErrorsNameWhatTheyAreAboutAndPrintNothingBefore) {
  const std::string states = Sample("states.json"), frame = "10A53C7B0BB8020028D6";
  const struct {
    std::vector<std::string> arguments;
    std::string input, message;
  } cases[] = {
      // clang-format off
      {{"crc", "ABC"}, "", "ombrix: error 1000: la propriété Text doit être de longueur paire\n"},
      {{"image", "write", Sample("firmware.hex"), "0", "ZZ", "-o", "-", "--out-format", "ihex"}, "",
       "ombrix: HEX: error 13: Type mismatch\n"},
      {{"image", "read", Sample("firmware.hex"), "0x-10", "1"}, "", "'0x-10' is not a number"},
      {{"image", "read", Sample("firmware.hex"), "0x100000000", "1"}, "",
       "ADDRESS '0x100000000' is out of range: 0 to 4294967295"},
      {{"image", "convert", Sample("firmware.hex"), "-o", "x.unknown"}, "", "x.unknown"},
      {{"image", "map", "-", "--format", "json"}, R"({"Count": 1, "Start0": -5, "Text0": "AA"})",
       "standard input: \"Start0\": an address is a whole number"},
      {{"image", "map", "-", "--format", "json"}, R"({"Count": 1, "Start0": 0})",
       "\"Text0\": missing"},
      {{"image", "map", "-", "--format", "binary", "--base", "0xFFFFFFFE"}, "abc",
       "reach beyond address FFFFFFFF"},
      {{"image", "crc", "-", "--format", "ihex", "0x8000FFFE", "6"}, kHighHex,
       "holds no bytes from 80010002 to 80010003; give --pattern"},
      {{"image", "convert", "-", "--format", "ihex", "-o", "-", "--record-bytes", "0"}, kHighHex,
       "--record-bytes"},
      {{"image", "convert", "-", "--format", "ihex", "-o", "-", "--out-format", "binary"},
       ":0100000001FE\n" + std::string(kHighHex),
       "ombrix: a binary file of the data from 00000000 to 80010001 spans 2147549186 bytes, "
       "more than the 268435456 allowed\n"},
      {{"image", "convert", "-", "--format", "ihex", "-o", "-", "--out-format", "srec", "--strict"},
       std::string(kHighHex) + "trailer\n", "standard input:4: a line after the end-of-file record"},
      {{"field", frame, "--motorola", "--skip", "8", "--bits", "8", "--set", "300"}, "",
       "ombrix: --set '300': error 2000: Value too big: 300 is outside the field's limits 0..255\n"},
      {{"field", frame, "--skip", "8", "--bits", "8"}, "", "--intel"},
      {{"field", frame, "--intel", "--skip", "7", "--bits", "26"}, "",
       "ombrix: --skip 7 --bits 26: error 1: Invalid data position, can't be over 5 bytes\n"},
      {{"field", "0102", "--intel", "--skip", "0", "--bits", "16", "--set", "85,5", "--settings",
        "english"}, "", "ombrix: --set '85,5': error 13: Type mismatch\n"},
      {{"field", "0102", "--intel", "--skip", "0", "--bits", "8", "--scale", "1,0,0"}, "",
       "--scale: C divides"},
      {{"field", "0F", "--intel", "--skip", "0", "--bits", "8", "--enum", states}, "",
       "ombrix: --enum " + states + ": the state 15: error 9: Subscript out of range\n"},
      {{"field", "0102", "--intel", "--skip", "16", "--bits", "8"}, "",
       "ombrix: the field (--skip 16 --bits 8): error 9: Subscript out of range\n"},
      {{"nothing"}, "", "A subcommand is required"},
      // clang-format on
  };
  for (const auto& bad : cases) {
    const Result result = Ombrix(bad.arguments, bad.input);
    EXPECT_EQ(result.status, 2) << bad.message;
    EXPECT_EQ(result.out, "") << bad.message;
    EXPECT_NE(result.err.find(bad.message), std::string::npos) << result.err;
  }
}

TEST(CliTest, DemoWalksTheSampleFrame) {
  const Result demo = Ombrix({"demo", "--settings", "english"});
  EXPECT_EQ(demo.status, 0) << demo.err;
  for (const char* step :
       {"2. Check sequence over the whole frame: intact", "Intel 15525, Motorola 42300",
        "155.25 km/h", ": Marche", "7. Check bytes stamped again: 1092227B0BB8020068BC, intact"}) {
    EXPECT_NE(demo.out.find(step), std::string::npos) << step;
  }
  EXPECT_EQ(Ombrix({"--help"}).status, 0);
  EXPECT_EQ(Ombrix({"--version"}).out, "ombrix " OMBRIX_VERSION "\n");
}

}  // namespace
}  // namespace ombrix::cli
