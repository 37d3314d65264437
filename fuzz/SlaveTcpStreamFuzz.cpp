// The slave's Modbus TCP side with any bytes a client might send, in any segmentation and with several
// requests to a segment: the requests are cut as the server cuts them, answered from a register map and
// framed with and without a fault. Cutting must not depend on the segmentation; each correct answer
// carries the request's transaction and unit id and a PDU as --help promises.
//
// Input: a fault byte (see FaultFromByte), the segments (see TakeSegments), then the stream.
#include <algorithm>

#include "fuzz/SlaveFuzzSupport.h"
#include "slave/SlaveRequests.h"

namespace varnetik::fuzz {
namespace {

using slave::Bytes;

// Every request the stream holds, until its end or a header that frames nothing (the server closes the
// connection there); unframeable: whether it ended so.
std::vector<Bytes> CutWhole(const Bytes& stream, bool& unframeable) {
  std::vector<Bytes> requests;
  size_t at = 0;
  size_t length = 0;
  for (;;) {
    const slave::TcpCut cut = slave::CutTcpRequest(stream.data() + at, stream.size() - at, length);
    unframeable = cut == slave::TcpCut::Unframeable;
    if (cut != slave::TcpCut::Request) return requests;
    requests.emplace_back(stream.begin() + static_cast<int64_t>(at), stream.begin() + static_cast<int64_t>(at + length));
    at += length;
  }
}

void Answer(const Bytes& frame, const slave::Reply& fault) {
  FUZZ_CHECK(frame.size() >= slave::kMbapHeaderSize + 1 && frame.size() <= slave::kMbapHeaderSize + 253);
  const slave::MbapHeader header = slave::ReadMbapHeader(frame);
  FUZZ_CHECK(frame.size() == 6u + header.length);
  const Bytes pdu(frame.begin() + slave::kMbapHeaderSize, frame.end());
  slave::RegisterMap& registers = SharedRegisters();
  const Bytes answerPdu = slave::AnswerPdu(pdu, registers, {});
  CheckAnswerPdu(pdu, answerPdu);
  const Bytes answer = slave::FrameTcpAnswer(header.transactionId, header.unitId, answerPdu, {});
  FUZZ_CHECK(answer.size() == slave::kMbapHeaderSize + answerPdu.size());
  const slave::MbapHeader answerHeader = slave::ReadMbapHeader(answer);
  FUZZ_CHECK(answerHeader.transactionId == header.transactionId && answerHeader.unitId == header.unitId);
  FUZZ_CHECK(answerHeader.protocolId == 0 && answerHeader.length == answerPdu.size() + 1);
  // The faulted answer is only built; whether a fault changes it must not depend on anything else.
  slave::FaultChangesAnswer(pdu, registers, fault);
  slave::FrameTcpAnswer(header.transactionId, header.unitId, slave::AnswerPdu(pdu, registers, fault), fault);
}

}  // namespace
}  // namespace varnetik::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace varnetik::fuzz;
  FuzzInput input(data, size);
  const SegmentedStream taken = TakeSegmentedStream(input);
  const varnetik::slave::Reply& fault = taken.fault;
  const std::vector<Segment>& segments = taken.segments;
  const Bytes& stream = taken.stream;

  bool wholeUnframeable = false;
  const std::vector<Bytes> expected = CutWhole(stream, wholeUnframeable);

  // As the server's loop takes them: what each segment completes, the rest kept for the next one.
  std::vector<Bytes> requests;
  Bytes buffer;
  bool unframeable = false;
  for (size_t at = 0, k = 0; at < stream.size() && !unframeable; ++k) {
    at = DeliverSegment(stream, at, segments[k % segments.size()], buffer);
    bool ended = false;
    for (const Bytes& request : CutWhole(buffer, ended)) {
      requests.push_back(request);
      buffer.erase(buffer.begin(), buffer.begin() + static_cast<int64_t>(request.size()));
    }
    unframeable = ended;
  }
  FUZZ_CHECK(requests == expected && unframeable == wholeUnframeable);
  for (const Bytes& request : requests) Answer(request, fault);
  return 0;
}
