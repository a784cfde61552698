// A vdir: the folder of one calendar that vdirsyncer, khal and other tools
// read, one iCalendar object per file.
//
// Each event goes to "<UID>.ics" (PathSegment of the UID), written whole and
// atomically (WriteExportFile). A file whose text says what the event says
// (EventHash, so a new DTSTAMP alone does not count) is left untouched, so
// that a sync tool, which tells changes by a file's time and inode, sees no
// change and sends nothing. Kadrel's files are those named "<prefix>...ics"
// for the owner's UID prefix: of those, the regular files of events that no
// longer exist are removed. Every other file or folder stays as it is.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "output/uExport.h"
#include "schedule/uSyncFiles.h"

namespace kadrel {

struct TVdirResult {
  int Written = 0;
  int Unchanged = 0;
  int Removed = 0;
};

// `folder` is made when its parent exists. The first failure stops the
// writer and is returned; what was done before it is in `result`.
std::optional<TIoError> WriteVdir(const std::string& folder, const TEventTexts& events, std::string_view ownPrefix,
                                  TVdirResult& result, const std::string& dataFolder = {},
                                  TFileOps& ops = TFileOps::System());

}  // namespace kadrel
