// Linked into every test program and run before main, so that programs the
// tests start inherit it too:
// - the holiday folders point where there are none, so that the holiday
//   files of the machine, or of the person running the tests, cannot change
//   what the tests see (tests of the folders set their own);
// - KADREL_SOURCE_DIR names the source tree unless the caller set it: test
//   discovery passes no environment, and a compiler cache may hand the tests
//   relative source paths.
#include <cstdlib>

namespace {

const bool kNoHolidayFolders = [] {
  setenv("XDG_DATA_HOME", "/nonexistent/kadrel-tests", 1);
  setenv("XDG_DATA_DIRS", "/nonexistent/kadrel-tests", 1);
  setenv("KADREL_SOURCE_DIR", KADREL_TEST_SOURCE_DIR, 0);
  return true;
}();

}  // namespace
