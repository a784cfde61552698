// One libFuzzer target per fuzz body: the build names the body
// (KADREL_FUZZ_BODY) and the target (KADREL_FUZZ_NAME). See uFuzzTable.h,
// uFuzzJournal.h and uFuzzText.h.
#include <cstdio>
#include <cstdlib>

#include "fuzz/uFuzzJournal.h"
#include "fuzz/uFuzzText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string problems = kadrel::fuzz::KADREL_FUZZ_BODY(data, size);
  if (!problems.empty()) {
    std::fprintf(stderr, KADREL_FUZZ_NAME ": %s\n", problems.c_str());
    std::abort();
  }
  return 0;
}
