#include "sim/sim_faults.h"

#include <cstdio>
#include <cstdlib>
#include <cerrno>

namespace zul::sim {
namespace {

struct FaultInfo {
    FaultKind kind;
    const char* name;
    bool takesBlock;    // may be tied to a block
    bool needsBlock;    // must be tied to a block (default block 1 otherwise)
    bool takesCommand;  // may be tied to a command line
};

constexpr FaultInfo kFaults[] = {
    {FaultKind::Silent, "silent", false, false, true},
    {FaultKind::WrongId, "wrong-id", false, false, true},
    {FaultKind::IgnoreBaud, "ignore-baud", false, false, true},
    {FaultKind::EraseError, "erase-error", false, false, true},
    {FaultKind::RefuseBlock, "refuse-block", true, true, false},
    {FaultKind::CablePull, "cable-pull", true, true, true},
    {FaultKind::Garble, "garble", false, false, false},
    {FaultKind::Reset, "reset", true, true, true},
    {FaultKind::LateMonitor, "late-monitor", false, false, false},
    {FaultKind::LowBattery, "low-battery", false, false, true},
    {FaultKind::RefuseMonitor, "refuse-monitor", false, false, false},
};

const FaultInfo* Find(FaultKind kind) {
    for (const auto& f : kFaults) {
        if (f.kind == kind) return &f;
    }
    return nullptr;
}

bool ParseUnsigned(const std::string& text, std::uint32_t* out) {
    if (text.empty() || text.size() > 9) return false;
    std::uint32_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<std::uint32_t>(c - '0');
    }
    *out = v;
    return true;
}

}  // namespace

const char* FaultName(FaultKind kind) {
    const FaultInfo* info = Find(kind);
    return info ? info->name : "?";
}

bool ParseFault(const std::string& text, Fault* fault, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = "fault \"" + text + "\": " + why;
        return false;
    };
    std::string body = text;
    std::string where;
    if (auto at = body.find('@'); at != std::string::npos) {
        where = body.substr(at + 1);
        body.resize(at);
    }
    std::string value;
    bool hasValue = false;
    if (auto eq = body.find('='); eq != std::string::npos) {
        value = body.substr(eq + 1);
        body.resize(eq);
        hasValue = true;
    }
    const FaultInfo* info = nullptr;
    for (const auto& f : kFaults) {
        if (body == f.name) info = &f;
    }
    if (!info) return fail("unknown fault name");

    Fault result;
    result.kind = info->kind;
    switch (info->kind) {
        case FaultKind::WrongId:
            result.text = hasValue ? value : "ZIZ1";
            if (result.text.empty() || result.text.size() > 32) return fail("identifier must have 1 to 32 characters");
            break;
        case FaultKind::Garble: {
            if (!hasValue) return fail("needs a probability, for example garble=0.01");
            errno = 0;
            char* end = nullptr;
            const double p = std::strtod(value.c_str(), &end);
            if (errno != 0 || end == value.c_str() || *end != '\0' || !(p >= 0.0 && p <= 1.0)) {
                return fail("probability must be a number from 0 to 1");
            }
            result.probability = p;
            break;
        }
        case FaultKind::LateMonitor:
            result.delayMs = 30000;
            if (hasValue && !ParseUnsigned(value, &result.delayMs)) return fail("delay must be milliseconds");
            break;
        default:
            if (hasValue) return fail("takes no value");
    }

    if (!where.empty()) {
        if (where.rfind("cmd:", 0) == 0) {
            if (!info->takesCommand) return fail("cannot be tied to a command");
            if (!ParseUnsigned(where.substr(4), &result.command) || result.command == 0) {
                return fail("command number must be 1 or more");
            }
        } else {
            if (!info->takesBlock) return fail("cannot be tied to a block");
            if (!ParseUnsigned(where, &result.block) || result.block == 0) return fail("block number must be 1 or more");
        }
    }
    if (info->needsBlock && result.block == 0 && result.command == 0) result.block = 1;
    *fault = result;
    return true;
}

std::string FormatFault(const Fault& fault) {
    std::string s = FaultName(fault.kind);
    switch (fault.kind) {
        case FaultKind::WrongId:
            s += '=';
            s += fault.text;
            break;
        case FaultKind::Garble: {
            char buffer[32];
            std::snprintf(buffer, sizeof buffer, "%g", fault.probability);
            s += "=";
            s += buffer;
            break;
        }
        case FaultKind::LateMonitor:
            s += '=';
            s += std::to_string(fault.delayMs);
            break;
        default:
            break;
    }
    if (fault.command != 0) {
        s += "@cmd:";
        s += std::to_string(fault.command);
    } else if (fault.block != 0) {
        s += '@';
        s += std::to_string(fault.block);
    }
    return s;
}

}  // namespace zul::sim
