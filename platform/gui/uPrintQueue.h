// The system's print service (CUPS): a finished document is handed to a
// queue as one job, and a queue that does not take it says why, so a job is
// never lost without a word.
#pragma once

#include <string>

namespace kadrel {

struct TPrintJob {
  std::string Queue;  // the queue's name, possibly with "/instance"
  std::string File;   // a finished PDF file
  std::string Title;  // UTF-8; names the job in the queue
  std::string Media;  // the paper's name ("A4"); empty for the queue's own
};

// False, with a sentence for the user (UTF-8), when printing into `file`
// would write a data file of the working folder or of the launcher's folder
// (platform/uDataFiles.h). `where` names the printer ("打印机“…”") or
// the job ("打印").
bool KeepsOffDataFiles(const std::string& file, const std::string& where, std::string& error);

// Submits `job`. A queue whose device is a file that is a data file is
// refused before it gets the job. False, with a sentence for the user (UTF-8) that names the
// printer and the reason, when the queue did not take it.
bool SubmitPrintJob(const TPrintJob& job, std::string& error);

}  // namespace kadrel
