// What the options dialog and the new-scheme-name dialog say about text the
// schedule files cannot take, and what the day dialogs and the change of
// scheme say when the rota refuses a change, so that every window says it in
// the same words.
#pragma once

#include <QString>

#include "schedule/uRotaFiles.h"
#include "schedule/uScheduleFiles.h"
#include "schedule/uTimeFiles.h"

namespace kadrel {

enum class TTextField { UserName, DutyName, DutyHint, SchemeName, Cycle };

// One sentence saying what is wrong with the text and what fits.
QString RefusalText(TTextField field, TEditFault fault);

// The names a rota refusal may need: the user the change is for and the
// other user of a swap, as shown.
struct TRotaNames {
  QString User;
  QString Partner;
};

// One or two sentences naming the input at fault and what would do. An
// overlapping leave is named by the caller, who knows which it is.
QString RotaRefusalText(const TRotaError& error, const TRotaNames& names);

// What is wrong with a duty kind's hours as the options dialog takes them:
// the field at fault (Length is the end) and why.
QString TimesRefusalText(TTimesField field, TTimesFault fault);

}  // namespace kadrel
