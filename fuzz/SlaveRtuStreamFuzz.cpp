// The slave's RTU side with any bytes a serial line might carry (noise, other slaves' answers, broken
// and back-to-back frames), delivered in any segmentation with pauses in between: the bytes are cut as
// the server cuts them and every request answered from a register map, with and without a fault. No
// byte may be lost or doubled by the cutting, a request must have a matching CRC, the buffer must stay
// within one request's length while no pause comes, and a correct answer must be a frame with a right
// CRC and a PDU as --help promises.
//
// Input: a fault byte (see FaultFromByte), the segments (see TakeSegments), then the stream, of which
// the first kMaxStream bytes are used: enough for a garbage run past the longest request, and short
// enough for the suite's bounded run, as each byte delivered alone makes the cutter look again at every
// offset a request could start at.
#include <algorithm>

#include "fuzz/SlaveFuzzSupport.h"
#include "slave/SlaveRequests.h"

namespace varnetik::fuzz {
namespace {

using slave::Bytes;

constexpr size_t kMaxStream = 3 * slave::kLongestRtuRequest / 2;

void Answer(const Bytes& frame, const slave::Reply& fault) {
  FUZZ_CHECK(slave::RtuCrcMatches(frame));
  const Bytes pdu(frame.begin() + 1, frame.end() - 2);
  slave::RegisterMap& registers = SharedRegisters();
  const Bytes answerPdu = slave::AnswerPdu(pdu, registers, {});
  CheckAnswerPdu(pdu, answerPdu);
  const Bytes answer = slave::FrameRtuAnswer(frame[0], answerPdu, {});
  FUZZ_CHECK(answer.size() == answerPdu.size() + 3 && answer[0] == frame[0] && slave::RtuCrcMatches(answer));
  slave::FaultChangesAnswer(pdu, registers, fault);
  slave::FrameRtuAnswer(frame[0], slave::AnswerPdu(pdu, registers, fault), fault);
}

}  // namespace
}  // namespace varnetik::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace varnetik::fuzz;
  FuzzInput input(data, size);
  SegmentedStream taken = TakeSegmentedStream(input);
  const varnetik::slave::Reply& fault = taken.fault;
  const std::vector<Segment>& segments = taken.segments;
  Bytes& stream = taken.stream;
  if (stream.size() > kMaxStream) stream.resize(kMaxStream);

  Bytes buffer;
  Bytes cut;  // every piece's bytes in order: the stream again
  std::vector<varnetik::slave::RtuPiece> pieces;
  for (size_t at = 0, k = 0; at < stream.size(); ++k) {
    const Segment& segment = segments[k % segments.size()];
    at = DeliverSegment(stream, at, segment, buffer);
    pieces.clear();
    varnetik::slave::CutRtuRequests(buffer, segment.pauseAfter, pieces);
    if (segment.pauseAfter) FUZZ_CHECK(buffer.empty());
    FUZZ_CHECK(buffer.size() <= varnetik::slave::kLongestRtuRequest);
    for (const varnetik::slave::RtuPiece& piece : pieces) {
      FUZZ_CHECK(!piece.bytes.empty());
      cut.insert(cut.end(), piece.bytes.begin(), piece.bytes.end());
      if (piece.request) Answer(piece.bytes, fault);
    }
  }
  // The line falls silent at the end.
  pieces.clear();
  varnetik::slave::CutRtuRequests(buffer, true, pieces);
  FUZZ_CHECK(buffer.empty());
  for (const varnetik::slave::RtuPiece& piece : pieces) {
    cut.insert(cut.end(), piece.bytes.begin(), piece.bytes.end());
    if (piece.request) Answer(piece.bytes, fault);
  }
  FUZZ_CHECK(cut == stream);
  return 0;
}
