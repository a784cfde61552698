// The start-date picker of the options dialog: a date-only field with a
// drop-down calendar, in the long date format of the Chinese locale
// ("2026年12月8日").
//
// A stored start may carry a time of day (the picker of a new user starts at
// the current date and time), and the users list shows that time. The
// picker therefore keeps the time of day it was given and puts it back
// under whatever date is picked.
#pragma once

#include <QDateEdit>

#include "platform/uDateTime.h"

namespace kadrel {

class TDatePicker : public QDateEdit {
  Q_OBJECT

 public:
  explicit TDatePicker(QWidget* parent = nullptr);

  // Dates from 1 January of the year 1 to 31 December 9999; a value outside
  // them, or not finite, is taken as the nearest end of that range.
  void SetDateTime(TDateTime value);
  TDateTime DateTime() const;

 private:
  double timeOfDay_ = 0;  // the fraction of the day, 0 <= f < 1
};

}  // namespace kadrel
