// Running kadrel-cli in-process, as the tests of its commands do.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/uCliCommands.h"

namespace kadrel::clitest {

struct TRun {
  int Code = -1;
  std::string Out, Err;
};

// The whole program on `args`, after `--data DIR` when `dataDir` is given.
inline TRun RunCli(std::vector<std::string> args, const std::string& dataDir = {}) {
  if (!dataDir.empty()) args.insert(args.begin(), {"--data", dataDir});
  std::ostringstream out, err;
  TRun r;
  r.Code = CliMain(args, out, err);
  r.Out = out.str();
  r.Err = err.str();
  return r;
}

}  // namespace kadrel::clitest
