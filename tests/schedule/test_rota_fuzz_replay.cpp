// Replays the seeds of the rota fuzzer and every input it ever crashed on
// (fuzz/corpus/rota/, fuzz/crashes/rota/) through its body, one named test
// per file, so that a fixed crash stays fixed in every build.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "fuzz/uFuzzRota.h"

namespace kadrel {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> RotaInputs() {
  std::vector<fs::path> files;
  for (const char* sub : {"fuzz/corpus/rota", "fuzz/crashes/rota"}) {
    std::error_code ec;
    for (fs::directory_iterator it(fs::path(KADREL_TEST_SOURCE_DIR) / sub, ec), end; !ec && it != end; it.increment(ec)) {
      if (it->is_regular_file() && it->path().filename() != ".gitkeep") files.push_back(it->path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

class RotaFuzzReplay : public ::testing::TestWithParam<fs::path> {};

TEST_P(RotaFuzzReplay, RunsCleanly) {
  std::ifstream in(GetParam(), std::ios::binary);
  std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(fuzz::FuzzRota(bytes.data(), bytes.size()), "");
}

INSTANTIATE_TEST_SUITE_P(Fuzz, RotaFuzzReplay, ::testing::ValuesIn(RotaInputs()), [](const auto& info) {
  std::string name = info.param.parent_path().filename().string() + "_" + info.param.filename().string();
  std::replace_if(name.begin(), name.end(), [](char c) { return !std::isalnum(static_cast<unsigned char>(c)); }, '_');
  return name;
});

TEST(RotaFuzzReplayCorpus, SeedsArePresent) { EXPECT_GE(RotaInputs().size(), 4u); }

}  // namespace
}  // namespace kadrel
