#pragma once
// A byte trace of the conversation with a tester, for diagnosing one in the
// field: every byte sent and received with its time and the baud rate in
// force, as a hexdump with time deltas.
#include <memory>
#include <ostream>

#include "tester/tester_link.h"

namespace zul {

// Wraps `inner` so that everything it moves is written to `out`.
std::unique_ptr<TesterLink> MakeTracingLink(std::unique_ptr<TesterLink> inner, std::ostream& out);

// While set, every link that OpenTesterLink opens is traced to `out`
// (nullptr: no trace).
void SetTesterLinkTrace(std::ostream* out);
std::ostream* TesterLinkTrace();

}  // namespace zul
