// Random misbehaviour for the soak: every fault the test slave knows on a link, drawn from a seeded
// generator so that a failing run can be repeated.
#pragma once

#include <cstdint>
#include <random>

#include "tests/support/SlaveFrames.h"

namespace varnetik::testing {

struct DrawnReply {
  const char* fault;  // "none" for a correct answer
  Reply reply;
};

// A correct answer, or with probability faultRate one of the link's faults. timeoutMs is the master's
// receive timeout: late answers come after it, answers in pieces within it.
DrawnReply DrawRtuReply(std::mt19937& random, double faultRate, int64_t timeoutMs);
DrawnReply DrawTcpReply(std::mt19937& random, double faultRate, int64_t timeoutMs);

}  // namespace varnetik::testing
