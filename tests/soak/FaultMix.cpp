#include "tests/soak/FaultMix.h"

#include <iterator>

#include "tests/soak/SoakRun.h"

namespace varnetik::testing {
namespace {

using M = Misbehaviour;

struct Fault {
  const char* name;
  Reply (*make)(std::mt19937& random, int64_t timeoutMs);
};

uint8_t KnownExceptionCode(std::mt19937& random) {
  constexpr uint8_t kKnown[] = {1, 2, 3, 4, 5, 6, 8, 10, 11};
  return kKnown[Between(random, 0, static_cast<int>(std::size(kKnown)) - 1)];
}

// Past the master's timeout, but soon enough to land in one of the next transactions.
int LateMs(std::mt19937& random, int64_t timeoutMs) {
  return static_cast<int>(timeoutMs) + Between(random, 5, 40);
}

Reply InPieces(Reply reply, std::mt19937& random) {
  reply.pieces = Between(random, 2, 4);
  reply.pieceGapMs = Between(random, 1, 4);
  return reply;
}

// A fault that has no meaning for a function (a byte count in a write answer) leaves that answer correct.
const Fault kCommonFaults[] = {
    {"silent", [](std::mt19937&, int64_t) { return Reply{M::Silent}; }},
    {"late answer",
     [](std::mt19937& r, int64_t t) { return Reply{.kind = M::None, .delayMs = LateMs(r, t)}; }},
    {"late exception",
     [](std::mt19937& r, int64_t t) {
       return Reply{.kind = M::Exception, .exceptionCode = KnownExceptionCode(r), .delayMs = LateMs(r, t)};
     }},
    {"exception", [](std::mt19937& r, int64_t) { return Reply{M::Exception, KnownExceptionCode(r)}; }},
    {"exception 7", [](std::mt19937&, int64_t) { return Reply{M::Exception, 7}; }},
    {"bad byte count", [](std::mt19937&, int64_t) { return Reply{M::BadByteCount}; }},
    {"one byte short", [](std::mt19937&, int64_t) { return Reply{M::OneByteShort}; }},
    {"one byte extra", [](std::mt19937&, int64_t) { return Reply{M::OneByteExtra}; }},
    {"exception one byte extra",
     [](std::mt19937& r, int64_t) { return Reply{M::OneByteExtra, KnownExceptionCode(r)}; }},
    {"pieces", [](std::mt19937& r, int64_t) { return InPieces(Reply{}, r); }},
    {"exception in pieces",
     [](std::mt19937& r, int64_t) { return InPieces(Reply{M::Exception, KnownExceptionCode(r)}, r); }},
    {"pieces past timeout",
     [](std::mt19937& r, int64_t t) {
       return Reply{.kind = M::None, .pieces = 2, .pieceGapMs = LateMs(r, t)};
     }},
};

const Fault kRtuFaults[] = {
    {"bad CRC", [](std::mt19937&, int64_t) { return Reply{M::BadCrc}; }},
    {"exception bad CRC", [](std::mt19937& r, int64_t) { return Reply{M::BadCrc, KnownExceptionCode(r)}; }},
    {"exception 7 one byte short", [](std::mt19937&, int64_t) { return Reply{M::OneByteShort, 7}; }},
};

const Fault kTcpFaults[] = {
    {"truncated frame", [](std::mt19937&, int64_t) { return Reply{M::TruncatedFrame}; }},
    {"wrong transaction id",
     [](std::mt19937& r, int64_t) {
       return Reply{.kind = M::WrongTransactionId, .copies = Between(r, 1, 2)};
     }},
    {"wrong unit id",
     [](std::mt19937& r, int64_t) {
       return Reply{.kind = M::WrongUnitId, .copies = Between(r, 1, 2)};
     }},
    {"stale answer first", [](std::mt19937&, int64_t) { return Reply{M::StaleAnswerFirst}; }},
    {"stale answer first in pieces",
     [](std::mt19937& r, int64_t) { return InPieces(Reply{M::StaleAnswerFirst}, r); }},
    {"protocol id 1", [](std::mt19937&, int64_t) { return Reply{M::ProtocolIdOne}; }},
    {"MBAP length 0", [](std::mt19937&, int64_t) { return Reply{M::MbapLengthZero}; }},
    {"implausible MBAP length",
     [](std::mt19937& r, int64_t) {
       constexpr uint16_t kLengths[] = {0, 515, 0xFFFF};
       return Reply{.kind = M::MbapLength, .mbapLength = kLengths[Between(r, 0, 2)]};
     }},
    {"close", [](std::mt19937& r, int64_t) { return Reply{.kind = M::Close, .delayMs = Between(r, 0, 10)}; }},
    {"reset", [](std::mt19937& r, int64_t) { return Reply{.kind = M::Reset, .delayMs = Between(r, 0, 10)}; }},
};

// Every fault of the common list and of the link's own list is equally likely.
template <size_t N>
DrawnReply Draw(std::mt19937& random, double faultRate, int64_t timeoutMs, const Fault (&linkFaults)[N]) {
  if (std::uniform_real_distribution<double>(0.0, 1.0)(random) >= faultRate) return {"none", Reply{}};
  const int common = static_cast<int>(std::size(kCommonFaults));
  const int pick = Between(random, 0, common + static_cast<int>(N) - 1);
  const Fault& fault = pick < common ? kCommonFaults[pick] : linkFaults[pick - common];
  return {fault.name, fault.make(random, timeoutMs)};
}

}  // namespace

DrawnReply DrawRtuReply(std::mt19937& random, double faultRate, int64_t timeoutMs) {
  return Draw(random, faultRate, timeoutMs, kRtuFaults);
}

DrawnReply DrawTcpReply(std::mt19937& random, double faultRate, int64_t timeoutMs) {
  return Draw(random, faultRate, timeoutMs, kTcpFaults);
}

}  // namespace varnetik::testing
