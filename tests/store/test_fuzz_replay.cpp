// Replays the seed corpus of fuzz_table and every input it ever crashed on
// (fuzz/corpus/table/, fuzz/crashes/) through the fuzzer's own body, one
// named test per file, so that a fixed crash stays fixed in every build.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/uFuzzTable.h"

namespace kadrel {
namespace {

namespace fs = std::filesystem;

fs::path SourceDir() {
  if (const char* dir = std::getenv("KADREL_SOURCE_DIR")) return dir;
  return KADREL_SOURCE_ROOT;
}

std::vector<fs::path> FuzzInputs() {
  std::vector<fs::path> files;
  for (const char* sub : {"fuzz/corpus/table", "fuzz/crashes"}) {
    std::error_code ec;
    for (fs::directory_iterator it(SourceDir() / sub, ec), end; !ec && it != end; it.increment(ec)) {
      if (it->is_regular_file() && it->path().filename() != ".gitkeep") files.push_back(it->path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string CaseName(const ::testing::TestParamInfo<fs::path>& info) {
  std::string name = info.param.parent_path().filename().string() + "_" + info.param.filename().string();
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name + "_" + std::to_string(info.index);
}

class FuzzReplay : public ::testing::TestWithParam<fs::path> {};

TEST_P(FuzzReplay, RunsCleanly) {
  std::ifstream in(GetParam(), std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(fuzz::FuzzTable(bytes.data(), bytes.size()), "");
}

INSTANTIATE_TEST_SUITE_P(Table, FuzzReplay, ::testing::ValuesIn(FuzzInputs()), CaseName);

TEST(FuzzReplayCorpus, SeedsArePresentAndValid) {
  std::vector<fs::path> files = FuzzInputs();
  int seeds = 0;
  for (const auto& f : files) {
    if (f.parent_path().filename() != "table") continue;
    ++seeds;
    TTableStream t(f.string(), TTableStream::kModeReadShared);
    EXPECT_TRUE(t.IsOpen()) << f << ": " << t.ErrorString();
  }
  EXPECT_GE(seeds, 7);
}

}  // namespace
}  // namespace kadrel
