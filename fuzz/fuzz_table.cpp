// libFuzzer target: arbitrary bytes as a table file. See uFuzzTable.h.
#include <cstdio>
#include <cstdlib>

#include "fuzz/uFuzzTable.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string problems = kadrel::fuzz::FuzzTable(data, size);
  if (!problems.empty()) {
    std::fprintf(stderr, "fuzz_table: %s\n", problems.c_str());
    std::abort();
  }
  return 0;
}
