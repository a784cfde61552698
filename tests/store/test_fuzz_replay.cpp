// Replays the seed corpus of every fuzz target and every input one ever
// crashed on (fuzz/corpus/<target>/, fuzz/crashes/<target>/; the table
// target's crashes lie in fuzz/crashes/ itself) through the fuzzer's own
// body, one named test per file, so that a fixed crash stays fixed in every
// build.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/uFuzzJournal.h"
#include "fuzz/uFuzzText.h"

namespace kadrel {
namespace {

namespace fs = std::filesystem;

fs::path SourceDir() {
  if (const char* dir = std::getenv("KADREL_SOURCE_DIR")) return dir;
  // Not __FILE__: a compiler cache may turn it into a path relative to the
  // build folder, which the test does not run in.
  return KADREL_TEST_SOURCE_DIR;
}

using TBody = std::string (*)(const std::uint8_t*, std::size_t);

struct TTarget {
  const char* Name;
  TBody Body;
};
constexpr TTarget kTargets[] = {{"table", fuzz::FuzzTable},   {"journal", fuzz::FuzzJournal},
                                {"gbk", fuzz::FuzzGbk},       {"schedule", fuzz::FuzzSchedule},
                                {"cli", fuzz::FuzzCli},       {"export", fuzz::FuzzExport},
                                {"holiday", fuzz::FuzzHoliday}};

struct TInput {
  TTarget Target;
  fs::path File;
};

// The target and the input's path in the source folder, the same on every machine.
void PrintTo(const TInput& input, std::ostream* os) { *os << input.Target.Name << ": " << input.File.string(); }

std::vector<TInput> FuzzInputs() {
  std::vector<TInput> inputs;
  for (const TTarget& target : kTargets) {
    const std::string name = target.Name;
    for (fs::path sub : {fs::path("fuzz/corpus") / name, name == "table" ? fs::path("fuzz/crashes")
                                                                         : fs::path("fuzz/crashes") / name}) {
      std::vector<fs::path> files;
      std::error_code ec;
      for (fs::directory_iterator it(SourceDir() / sub, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file() && it->path().filename() != ".gitkeep") files.push_back(sub / it->path().filename());
      }
      std::sort(files.begin(), files.end());
      for (auto& f : files) inputs.push_back({target, f});
    }
  }
  return inputs;
}

std::string CaseName(const ::testing::TestParamInfo<TInput>& info) {
  std::string name = std::string(info.param.Target.Name) + "_" + info.param.File.parent_path().filename().string() +
                     "_" + info.param.File.filename().string();
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name + "_" + std::to_string(info.index);
}

class FuzzReplay : public ::testing::TestWithParam<TInput> {};

TEST_P(FuzzReplay, RunsCleanly) {
  std::ifstream in(SourceDir() / GetParam().File, std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(GetParam().Target.Body(bytes.data(), bytes.size()), "");
}

INSTANTIATE_TEST_SUITE_P(Fuzz, FuzzReplay, ::testing::ValuesIn(FuzzInputs()), CaseName);

TEST(FuzzReplayCorpus, SeedsArePresentAndValid) {
  int seeds = 0;
  std::set<std::string> targets;
  for (const auto& input : FuzzInputs()) {
    targets.insert(input.Target.Name);
    if (input.File.parent_path().filename() != "table") continue;
    ++seeds;
    TTableStream t((SourceDir() / input.File).string(), TTableStream::kModeReadShared);
    EXPECT_TRUE(t.IsOpen()) << input.File << ": " << t.ErrorString();
  }
  EXPECT_GE(seeds, 7);
  EXPECT_EQ(targets.size(), std::size(kTargets)) << "every target has seeds";
}

}  // namespace
}  // namespace kadrel
