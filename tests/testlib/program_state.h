#pragma once
// The state a test of the windows' layer may change, put back when it ends.
#include "testlib/settings_state.h"
#include "ui/download/download_progress.h"

namespace zul::test {

// Everything ScopedSettingsState keeps, and the download cancel flag.
class ScopedProgramState : public ScopedSettingsState {
public:
    ScopedProgramState() : cancel_(DownloadCancelFlag.load()) {}
    ~ScopedProgramState() { DownloadCancelFlag = cancel_; }

private:
    int cancel_;
};

}  // namespace zul::test
