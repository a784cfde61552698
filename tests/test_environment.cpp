// Linked into every test program and run before main, so that programs the
// tests start inherit it too:
// - the holiday folders point where there are none, so that the holiday
//   files of the machine, or of the person running the tests, cannot change
//   what the tests see (tests of the folders set their own);
// - KADREL_SOURCE_DIR names the source tree unless the caller set it: ctest
//   passes only the first of the variables gtest_discover_tests is given,
//   and test discovery none of them, while a compiler cache may hand the
//   tests relative source paths.
#include <cstdlib>

namespace {

const bool kNoHolidayFolders = [] {
  setenv("XDG_DATA_HOME", "/nonexistent/kadrel-tests", 1);
  setenv("XDG_DATA_DIRS", "/nonexistent/kadrel-tests", 1);
  setenv("KADREL_SOURCE_DIR", KADREL_TEST_SOURCE_ROOT, 0);
  return true;
}();

}  // namespace
