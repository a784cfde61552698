// The program's icon, compiled in at every size the desktop asks for, so that
// every window carries it without a file to find at run time.
#pragma once

#include <QIcon>

namespace kadrel {

QIcon ProgramIcon();

}  // namespace kadrel
