#pragma once
// The state the program keeps for the user where the layers below put it (the
// settings file in use and the selected port), saved when a test starts and
// put back when it ends however it ends, so no fixture resets it by hand. The
// windows' layer adds the download cancel flag (program_state.h).
#include <memory>
#include <optional>
#include <string>

#include "host/startup.h"

namespace zul::test {

// The settings file path and the port selection.
class ScopedSettingsState {
public:
    ScopedSettingsState()
        : path_(SettingsFilePath()),
          selection_(CurrentPortSelection() != nullptr ? std::optional<PortSelection>(*CurrentPortSelection())
                                                       : std::nullopt) {}
    ~ScopedSettingsState() {
        SetSettingsFilePath(path_);
        SetCurrentPortSelection(selection_ ? std::make_unique<PortSelection>(*selection_) : nullptr);
    }
    ScopedSettingsState(const ScopedSettingsState&) = delete;
    ScopedSettingsState& operator=(const ScopedSettingsState&) = delete;

private:
    std::string path_;
    std::optional<PortSelection> selection_;
};

}  // namespace zul::test
