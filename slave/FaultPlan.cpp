#include "slave/FaultPlan.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <string>
#include <vector>

namespace varnetik::slave {

namespace {

using M = Misbehaviour;

constexpr int kSplitPieces = 3;
constexpr int kSplitGapMs = 50;
constexpr int64_t kMaxLateMs = 60000;
// Random mode: every other answer on average is correct, so that a master also shows that it recovers.
constexpr double kRandomFaultRate = 0.5;

enum class Value { None, Milliseconds, ExceptionCode, Seed };

struct Mode {
  const char* name;
  Value value;
  bool onRtu;
  bool onTcp;
  Misbehaviour kind;
  const char* meaning;  // for --help; a line break continues under the meaning column
};

constexpr Mode kModes[] = {
    {"none", Value::None, true, true, M::None, "correct answers again"},
    {"silent", Value::None, true, true, M::Silent, "no answer at all"},
    {"late", Value::Milliseconds, true, true, M::None, "the answer MS milliseconds late (1 to 60000)"},
    {"split", Value::None, true, true, M::None, "the answer in 3 pieces, 50 ms apart"},
    {"crc", Value::None, true, false, M::BadCrc, "RTU: the CRC wrong"},
    {"bytecount", Value::None, true, true, M::BadByteCount,
     "read answers: a byte count 2 lower than the data that follows"},
    {"short", Value::None, true, true, M::OneByteShort,
     "the answer one byte short (TCP: the PDU, with an MBAP length to match)"},
    {"extra", Value::None, true, true, M::OneByteExtra,
     "one byte more after the answer (TCP: in the PDU, MBAP length to match)"},
    {"exception", Value::ExceptionCode, true, true, M::Exception,
     "an exception answer with CODE (1 to 255) instead of the data"},
    {"tid", Value::None, false, true, M::WrongTransactionId, "TCP: the answer with the transaction id one higher"},
    {"unit", Value::None, false, true, M::WrongUnitId, "TCP: the answer with the unit id one higher"},
    {"stale", Value::None, false, true, M::StaleAnswerFirst,
     "TCP: an answer with the previous transaction id, then the right one"},
    {"protocol", Value::None, false, true, M::ProtocolIdOne, "TCP: protocol id 1 instead of 0"},
    {"length", Value::None, false, true, M::MbapLengthZero, "TCP: a bare MBAP header with length 0"},
    {"close", Value::None, false, true, M::Close, "TCP: the connection closed instead of an answer"},
    {"reset", Value::None, false, true, M::Reset, "TCP: the connection reset instead of an answer"},
    {"random", Value::Seed, true, true, M::None,
     "every request gets a mode drawn at random (every other one on average\nnone), the same sequence for the "
     "same SEED"},
};

// The placeholder --help shows after "=" for a mode that takes a value.
const char* ValuePlaceholder(Value value) {
  switch (value) {
    case Value::None:
      return "";
    case Value::Milliseconds:
      return "=MS";
    case Value::ExceptionCode:
      return "=CODE";
    case Value::Seed:
      return "=SEED";
  }
  return "";
}

std::string BuildFaultModeHelp() {
  constexpr size_t kNameColumn = 15;
  const std::string indent(2 + kNameColumn, ' ');
  std::string help;
  for (const Mode& mode : kModes) {
    std::string label = std::string(mode.name) + ValuePlaceholder(mode.value);
    label.resize(std::max(kNameColumn, label.size() + 1), ' ');
    help += "  " + label;
    for (const char* c = mode.meaning; *c != '\0'; ++c) {
      help += *c;
      if (*c == '\n') help += indent;
    }
    help += '\n';
  }
  return help;
}

const Mode* FindMode(const std::string& name) {
  for (const Mode& mode : kModes) {
    if (name == mode.name) return &mode;
  }
  return nullptr;
}

// A whole decimal number within [low, high].
bool ParseNumber(const std::string& text, int64_t low, int64_t high, int64_t& number) {
  const char* end = text.data() + text.size();
  auto [at, failure] = std::from_chars(text.data(), end, number);
  return failure == std::errc() && at == end && !text.empty() && number >= low && number <= high;
}

Reply ReplyFor(const Mode& mode, int64_t value) {
  Reply reply{mode.kind};
  if (mode.value == Value::Milliseconds) reply.delayMs = static_cast<int>(value);
  if (mode.value == Value::ExceptionCode) reply.exceptionCode = static_cast<uint8_t>(value);
  if (std::string(mode.name) == "split") {
    reply.pieces = kSplitPieces;
    reply.pieceGapMs = kSplitGapMs;
  }
  return reply;
}

bool ParseValue(const Mode& mode, const std::string& text, int64_t& value, std::string& error) {
  switch (mode.value) {
    case Value::None:
      return true;
    case Value::Milliseconds:
      if (ParseNumber(text, 1, kMaxLateMs, value)) return true;
      error = "late needs milliseconds from 1 to 60000, as in late=500";
      return false;
    case Value::ExceptionCode:
      if (ParseNumber(text, 1, 255, value)) return true;
      error = "exception needs a code from 1 to 255, as in exception=6";
      return false;
    case Value::Seed:
      if (ParseNumber(text, 0, UINT32_MAX, value)) return true;
      error = "random needs a seed from 0 to 4294967295, as in random=42";
      return false;
  }
  return false;
}

}  // namespace

bool ParseFault(const std::string& text, FaultSetting& setting, std::string& error) {
  const size_t colon = text.find(':');
  const std::string mode = text.substr(0, colon);
  const size_t equals = mode.find('=');
  const std::string name = mode.substr(0, equals);
  const Mode* found = FindMode(name);
  if (found == nullptr) {
    error = "unknown fault mode '" + name + "'";
    return false;
  }
  if ((found->value == Value::None) != (equals == std::string::npos)) {
    error = found->value == Value::None ? "fault mode '" + name + "' takes no value"
                                        : "fault mode '" + name + "' needs a value, as in " + name + "=N";
    return false;
  }
  int64_t value = 0;
  if (!ParseValue(*found, equals == std::string::npos ? "" : mode.substr(equals + 1), value, error)) return false;
  int64_t count = -1;
  if (colon != std::string::npos && !ParseNumber(text.substr(colon + 1), 1, INT32_MAX, count)) {
    error = "the count after ':' must be a number from 1, as in " + mode + ":3";
    return false;
  }
  setting = FaultSetting{mode, ReplyFor(*found, value), found->onRtu, found->onTcp,
                         found->value == Value::Seed, static_cast<uint32_t>(value), count};
  return true;
}

const char* FaultModeHelp() {
  static const std::string help = BuildFaultModeHelp();
  return help.c_str();
}

void FaultPlan::Set(const FaultSetting& setting) {
  setting_ = setting;
  random_.seed(setting.randomSeed);
}

bool FaultPlan::CountApplied() {
  if (setting_.remaining <= 0) return false;
  return --setting_.remaining == 0;
}

Reply FaultPlan::Next(LinkKind link, std::string& applied) {
  applied.clear();
  const bool applies = link == LinkKind::Rtu ? setting_.onRtu : setting_.onTcp;
  if (setting_.name == "none" || !applies || setting_.remaining == 0) return {};
  if (!setting_.random) {
    applied = setting_.name;
    return setting_.reply;
  }
  std::uniform_real_distribution<double> chance(0.0, 1.0);
  if (chance(random_) >= kRandomFaultRate) {
    applied = setting_.name + ": none";
    return {};
  }
  std::vector<const Mode*> candidates;
  for (const Mode& mode : kModes) {
    const bool fits = link == LinkKind::Rtu ? mode.onRtu : mode.onTcp;
    if (fits && mode.kind != M::None) candidates.push_back(&mode);
  }
  // The two that only shape a correct answer.
  candidates.push_back(FindMode("late"));
  candidates.push_back(FindMode("split"));
  const Mode& drawn = *candidates[std::uniform_int_distribution<size_t>(0, candidates.size() - 1)(random_)];
  constexpr uint8_t kKnownCodes[] = {1, 2, 3, 4, 5, 6, 8, 10, 11};
  int64_t value = drawn.value == Value::Milliseconds
                      ? std::uniform_int_distribution<int64_t>(100, 2000)(random_)
                      : kKnownCodes[std::uniform_int_distribution<size_t>(0, std::size(kKnownCodes) - 1)(random_)];
  applied = setting_.name + ": " + drawn.name;
  if (drawn.value != Value::None) applied += "=" + std::to_string(value);
  return ReplyFor(drawn, value);
}

}  // namespace varnetik::slave
