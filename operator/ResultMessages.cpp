#include "operator/ResultMessages.h"

namespace varnetik {

namespace {

struct CodeText {
  ResultCode code;
  const char* text;
};

// UTF-8; the dash in the two resync messages is U+2013.
constexpr CodeText kSingleCodes[] = {
    {NoPortOpen, "Kein geöffneter Port."},
    {SendFailed, "Senden fehlgeschlagen."},
    {ReadBadQuantity, "Ungültige Anzahl Register (1..125)."},
    {ReadShortOrTimeout, "Antwort zu kurz / Timeout (FC03/04)."},
    {ReadCrcError, "CRC-Fehler (FC03/04)."},
    {ReadUnexpectedLength, "Unerwartete Länge (FC03/04)."},
    {ReadByteCountMismatch, "ByteCount passt nicht."},
    {WriteOneShortOrTimeout, "Antwort zu kurz / Timeout (FC06)."},
    {WriteOneCrcError, "CRC-Fehler (FC06)."},
    {WriteOneUnexpectedLength, "Unerwartete Länge (FC06)."},
    {WriteManyBadQuantity, "Ungültige Anzahl Register (1..123)."},
    {WriteManyShortOrTimeout, "Antwort zu kurz / Timeout (FC16)."},
    {WriteManyCrcError, "CRC-Fehler (FC16)."},
    {WriteManyUnexpectedLength, "Unerwartete Länge (FC16)."},
    {RtuBadExceptionCode, "RTU: Ungültiger Exceptioncode \u2013 Stream unsynchron."},
    {TcpNotConnected, "TCP: Keine Verbindung offen."},
    {TcpSendFailed, "TCP: Senden fehlgeschlagen."},
    {TcpTimeoutOrShort, "TCP: Timeout / Antwort zu kurz."},
    {TcpProtocolIdNotZero, "TCP: ProtocolID ungleich 0."},
    {TcpBadMbapLength, "TCP: MBAP-Länge unplausibel."},
    {TcpConnectionLost, "TCP: Verbindung abgebrochen."},
    {TcpTransactionIdMismatch, "TCP: Transaction-ID passt nicht (falsche/alte Antwort?)."},
    {TcpBadExceptionCode, "TCP: Ungültiger Exceptioncode \u2013 Stream unsynchron."},
    {TcpUnitIdMismatch, "TCP: Unit/Slave-ID passt nicht."},
    {TcpReadByteCountMismatch, "TCP (FC03/04): ByteCount passt nicht."},
    {TcpWriteOneUnexpectedLength, "TCP (FC06): Unerwartete Antwortlänge."},
    {TcpWriteManyUnexpectedLength, "TCP (FC16): Unerwartete Antwortlänge."},
};

// The prefix of each exception family, by its base.
constexpr CodeText kFamilyPrefixes[] = {
    {ReadException, "Modbus-Exception: "},
    {WriteOneException, "Modbus-Exception (FC06): "},
    {WriteManyException, "Modbus-Exception (FC16): "},
};

}  // namespace

std::string ResultMessage(ResultCode code) {
  for (const CodeText& family : kFamilyPrefixes) {
    const std::optional<uint8_t> e = ExceptionCodeIn(code, family.code);
    if (e) return family.text + ExceptionText(*e);
  }
  for (const CodeText& entry : kSingleCodes) {
    if (entry.code == code) return entry.text;
  }
  return "Fehler " + std::to_string(code.Number());
}

std::string ExceptionText(uint8_t code) {
  switch (code) {
    case 1: return "ILLEGAL FUNCTION (01)";
    case 2: return "ILLEGAL DATA ADDRESS (02)";
    case 3: return "ILLEGAL DATA VALUE (03)";
    case 4: return "SLAVE DEVICE FAILURE (04)";
    case 5: return "ACKNOWLEDGE (05)";
    case 6: return "SLAVE DEVICE BUSY (06)";
    case 8: return "MEMORY PARITY ERROR (08)";
    case 10: return "GATEWAY PATH UNAVAILABLE (0A)";
    case 11: return "GATEWAY TARGET FAILED (0B)";
    default: return "EXC " + std::to_string(code);
  }
}

}  // namespace varnetik
