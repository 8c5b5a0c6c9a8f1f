#pragma once
// How the POSIX folder file system explains a failed creation, apart from the
// system calls, so that every cause can be checked.
#include "ui/directory/folder_rules.h"

namespace zul {

// `error` is the errno of the failed mkdir; `fsType` the statfs type of the
// nearest existing parent and `readOnly` whether it is mounted read-only
// (both as found when the parent could be examined).
CreateFailure ClassifyCreateFailure(int error, long fsType, bool readOnly);

}  // namespace zul
