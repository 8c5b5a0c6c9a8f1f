#pragma once
// Runs a step that could block for ever (opening a pipe, reading a device) in
// a child process with an alarm, so that a hang fails the test instead of
// stopping the suite.
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace zul::test {

// True when `step` returned true in the child within `seconds`.
inline bool FinishesWithin(unsigned seconds, const std::function<bool()>& step) {
    pid_t child = ::fork();
    if (child < 0) return false;
    if (child == 0) {
        ::alarm(seconds);
        ::_exit(step() ? 0 : 1);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace zul::test
