// What the options dialog and the new-scheme-name dialog say about text the
// schedule files cannot take, so that both say it in the same words.
#pragma once

#include <QString>

#include "schedule/uScheduleFiles.h"

namespace kadrel {

enum class TTextField { UserName, DutyName, DutyHint, SchemeName, Cycle };

// One sentence saying what is wrong with the text and what fits.
QString RefusalText(TTextField field, TEditFault fault);

}  // namespace kadrel
