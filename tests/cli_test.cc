#include "tools/cli.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <vector>

#include "formats/file_io.h"

namespace ombrix::cli {
namespace {

struct Result {
  int status;
  std::string out;
  std::string err;
};

// Runs the program in this process, from the shipped samples, with the
// English number format.
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
  EXPECT_EQ(Ombrix({"crc", "31 32 33 34 35 36 37 38 39"}).out, "906E\n");
  EXPECT_EQ(Ombrix({"crc", "--stamp", "616263"}).out, "616263259E\n");
  EXPECT_EQ(Ombrix({"crc", "-", "--check"}, "616263259E\n").status, 0);
  const Result corrupt = Ombrix({"crc", "--check", "616263259F"});
  EXPECT_EQ(corrupt.status, 1);
  EXPECT_EQ(corrupt.out, "corrupt\n");
  const Result bad = Ombrix({"crc", "ABC"});
  EXPECT_EQ(bad.status, 2);
  EXPECT_EQ(bad.err, "ombrix: error 1000: la propriété Text doit être de longueur paire\n");
  EXPECT_EQ(Ombrix({"crc", "--stamp", "--check", "00"}).status, 2);
  EXPECT_EQ(CrcOfHexText("313233343536373839"), 0x906E);
}

TEST(CliTest, FieldReadsScalesNamesAndRewrites) {
  const std::string frame = "10A53C7B0BB8020028D6";
  EXPECT_EQ(Ombrix({"field", frame, "--intel", "--skip", "8", "--bits", "16", "--scale", "0.01,0,1",
                    "--unit", "km/h", "--settings", "french"})
                .out,
            "raw    15525\nvalue  155,25 km/h\nmask   FFFF\n");
  EXPECT_EQ(Ombrix({"field", frame, "--intel", "--skip", "48", "--bits", "4", "--enum",
                    Sample("states.json")})
                .out,
            "raw    2\nvalue  2\nstate  Marche\nmask   0F\n");
  EXPECT_EQ(Ombrix({"field", frame, "--intel", "--skip", "48", "--bits", "4", "--enum",
                    Sample("states.json"), "--set", "Défaut"})
                .out,
            "10A53C7B0BB8030028D6\n");
  EXPECT_EQ(Ombrix({"field", frame, "--motorola", "--skip", "32", "--bits", "16", "--signed",
                    "--set", "-2", "--settings", "english"})
                .out,
            "10A53C7BFFFE020028D6\n");
  const Result big =
      Ombrix({"field", frame, "--motorola", "--skip", "8", "--bits", "8", "--set", "300"});
  EXPECT_EQ(big.status, 2);
  EXPECT_EQ(big.err, "ombrix: error 2000: Value too big\n");
  EXPECT_EQ(Ombrix({"field", frame, "--skip", "8", "--bits", "8"}).status, 2);  // no byte order
  EXPECT_EQ(Ombrix({"field", frame, "--intel", "--skip", "7", "--bits", "26"}).err,
            "ombrix: error 1: Invalid data position, can't be over 5 bytes\n");
}

TEST(CliTest, ImageCommandsOnTheSamples) {
  EXPECT_EQ(
      Ombrix({"image", "map", Sample("firmware.hex")}).out,
      "00000000-000000FF  256 bytes\n00001000-0000103F  64 bytes\n00010000-0001002F  48 bytes\n"
      "3 segments, 368 bytes\n");
  EXPECT_EQ(Ombrix({"image", "read", Sample("calibration.s19"), "32836", "12"}).out,
            "00008044  99 BE E3 08 2D 52 77 9C C1 E6 0B 30\n");
  EXPECT_EQ(Ombrix({"image", "read", Sample("calibration.s19"), "0x8018", "9"}).status, 2);

  const auto folder = std::filesystem::temp_directory_path() / "ombrix_cli_test";
  std::filesystem::create_directories(folder);
  const std::string merged = (folder / "merged.json").string();
  ASSERT_EQ(
      Ombrix({"image", "merge", Sample("firmware.hex"), Sample("calibration.s19"), "-o", merged})
          .status,
      0);
  EXPECT_TRUE(Ombrix({"image", "map", merged}).out.ends_with("\n5 segments, 416 bytes\n"));
  const std::string twice = (folder / "twice.hex").string();
  const Result overlap =
      Ombrix({"image", "merge", Sample("firmware.hex"), Sample("firmware.hex"), "-o", twice});
  EXPECT_EQ(overlap.status, 2);
  EXPECT_NE(overlap.err.find("Segments mémoire en recouvrement"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(twice));

  const std::string filled = (folder / "filled.s28").string();
  ASSERT_EQ(Ombrix({"image", "fill", Sample("calibration.s19"), "--pattern", "0xFF", "-o", filled})
                .status,
            0);
  EXPECT_EQ(Ombrix({"image", "read", filled, "0x801E", "4"}).out, "0000801E  5A 7F FF FF\n");
  const std::string written = (folder / "written.hex").string();
  ASSERT_EQ(
      Ombrix({"image", "write", Sample("firmware.hex"), "0x10", "AABB", "-o", written}).status, 0);
  EXPECT_EQ(Ombrix({"image", "read", written, "16", "3"}).out, "00000010  AA BB 9B\n");
  const std::string rest = (folder / "rest.txt").string();
  ASSERT_EQ(Ombrix({"image", "exclude", merged, Sample("firmware.hex"), "-o", rest, "--out-format",
                    "srec"})
                .status,
            0);
  EXPECT_EQ(Ombrix({"image", "map", rest, "--format", "srec"}).out,
            "00008000-0000801F  32 bytes\n00008040-0000804F  16 bytes\n2 segments, 48 bytes\n");
  EXPECT_EQ(
      Ombrix({"image", "convert", Sample("firmware.hex"), "-o", (folder / "x.unknown").string()})
          .status,
      2);
  std::filesystem::remove_all(folder);
}

TEST(CliTest, DemoWalksTheSampleFrame) {
  const Result demo = Ombrix({"demo", "--settings", "english"});
  EXPECT_EQ(demo.status, 0) << demo.err;
  EXPECT_NE(demo.out.find("2. Check sequence over the whole frame: intact"), std::string::npos);
  EXPECT_NE(demo.out.find("Intel 15525, Motorola 42300"), std::string::npos);
  EXPECT_NE(demo.out.find("155.25 km/h"), std::string::npos);
  EXPECT_NE(demo.out.find(": Marche"), std::string::npos);
  EXPECT_NE(demo.out.find("7. Check bytes stamped again: 1092227B0BB8020068BC, intact"),
            std::string::npos);
  EXPECT_EQ(Ombrix({"--help"}).status, 0);
  EXPECT_EQ(Ombrix({"nothing"}).status, 2);
}

}  // namespace
}  // namespace ombrix::cli
