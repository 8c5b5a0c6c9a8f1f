#pragma once
// How a failed expectation shows a statement result: its number and name,
// not the bytes of an unknown object.
#include <ostream>

#include "script/statement_parser.h"

namespace zul {

inline void PrintTo(StatementResult result, std::ostream* os) {
    *os << ResultNumber(result) << " " << StatementResultName(result);
}

}  // namespace zul
