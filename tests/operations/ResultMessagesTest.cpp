#include <gtest/gtest.h>

#include <string>

#include "modbus/ResultCode.h"
#include "operator/ResultMessages.h"

namespace varnetik {
namespace {

struct MessageCase {
  ResultCode code;
  std::string message;
};

// Umlauts and the en dash are spelled as UTF-8 bytes so the expectation does not depend on how this
// file is decoded.
const MessageCase kMessages[] = {
    {NoPortOpen, "Kein ge\xC3\xB6\x66\x66neter Port."},
    {SendFailed, "Senden fehlgeschlagen."},
    {ReadBadQuantity, "Ung\xC3\xBCltige Anzahl Register (1..125)."},
    {ReadShortOrTimeout, "Antwort zu kurz / Timeout (FC03/04)."},
    {ReadCrcError, "CRC-Fehler (FC03/04)."},
    {ReadUnexpectedLength, "Unerwartete L\xC3\xA4nge (FC03/04)."},
    {ReadByteCountMismatch, "ByteCount passt nicht."},
    {WriteOneShortOrTimeout, "Antwort zu kurz / Timeout (FC06)."},
    {WriteOneCrcError, "CRC-Fehler (FC06)."},
    {WriteOneUnexpectedLength, "Unerwartete L\xC3\xA4nge (FC06)."},
    {WriteManyBadQuantity, "Ung\xC3\xBCltige Anzahl Register (1..123)."},
    {WriteManyShortOrTimeout, "Antwort zu kurz / Timeout (FC16)."},
    {WriteManyCrcError, "CRC-Fehler (FC16)."},
    {WriteManyUnexpectedLength, "Unerwartete L\xC3\xA4nge (FC16)."},
    {RtuBadExceptionCode, "RTU: Ung\xC3\xBCltiger Exceptioncode \xE2\x80\x93 Stream unsynchron."},
    {TcpNotConnected, "TCP: Keine Verbindung offen."},
    {TcpSendFailed, "TCP: Senden fehlgeschlagen."},
    {TcpTimeoutOrShort, "TCP: Timeout / Antwort zu kurz."},
    {TcpProtocolIdNotZero, "TCP: ProtocolID ungleich 0."},
    {TcpBadMbapLength, "TCP: MBAP-L\xC3\xA4nge unplausibel."},
    {TcpConnectionLost, "TCP: Verbindung abgebrochen."},
    {TcpTransactionIdMismatch, "TCP: Transaction-ID passt nicht (falsche/alte Antwort?)."},
    {TcpBadExceptionCode, "TCP: Ung\xC3\xBCltiger Exceptioncode \xE2\x80\x93 Stream unsynchron."},
    {TcpUnitIdMismatch, "TCP: Unit/Slave-ID passt nicht."},
    {TcpReadByteCountMismatch, "TCP (FC03/04): ByteCount passt nicht."},
    {TcpWriteOneUnexpectedLength, "TCP (FC06): Unerwartete Antwortl\xC3\xA4nge."},
    {TcpWriteManyUnexpectedLength, "TCP (FC16): Unerwartete Antwortl\xC3\xA4nge."},
    // The exception ranges and their borders.
    {ResultCode{-256}, "Modbus-Exception: EXC 0"},
    {ResultCode{-257}, "Modbus-Exception: ILLEGAL FUNCTION (01)"},
    {ResultCode{-258}, "Modbus-Exception: ILLEGAL DATA ADDRESS (02)"},
    {ResultCode{-511}, "Modbus-Exception: EXC 255"},
    {ResultCode{-512}, "Modbus-Exception (FC06): EXC 0"},
    {ResultCode{-514}, "Modbus-Exception (FC06): ILLEGAL DATA ADDRESS (02)"},
    {ResultCode{-519}, "Modbus-Exception (FC06): EXC 7"},
    {ResultCode{-767}, "Modbus-Exception (FC06): EXC 255"},
    {ResultCode{-768}, "Modbus-Exception (FC16): EXC 0"},
    {ResultCode{-772}, "Modbus-Exception (FC16): SLAVE DEVICE FAILURE (04)"},
    {ResultCode{-779}, "Modbus-Exception (FC16): GATEWAY TARGET FAILED (0B)"},
    {ResultCode{-999}, "Modbus-Exception (FC16): EXC 231"},
    // Codes without a text of their own; the TCP block below -999 is not an exception range.
    {ResultCode{-1023}, "Fehler -1023"},
    {ResultCode{-1024}, "Fehler -1024"},
    {ResultCode{-3}, "Fehler -3"},
    {ResultCode{-1017}, "Fehler -1017"},
    {ResultCode{-255}, "Fehler -255"},
    {ResultCode{0}, "Fehler 0"},
    {ResultCode{7}, "Fehler 7"},
};

TEST(ResultMessage, EveryCodeAndTheRangeBorders) {
  for (const MessageCase& c : kMessages) EXPECT_EQ(ResultMessage(c.code), c.message) << c.code;
}

// Exactly the codes with a text of their own are the core's defined ones.
TEST(ResultMessage, TextOfItsOwnExactlyForTheDefinedCodes) {
  for (const MessageCase& c : kMessages) {
    EXPECT_EQ(IsDefinedResult(c.code), c.message.rfind("Fehler ", 0) != 0) << c.code;
  }
}

TEST(ExceptionText, NamedCodesAndTheRest) {
  const struct {
    uint8_t code;
    std::string text;
  } cases[] = {
      {1, "ILLEGAL FUNCTION (01)"},
      {2, "ILLEGAL DATA ADDRESS (02)"},
      {3, "ILLEGAL DATA VALUE (03)"},
      {4, "SLAVE DEVICE FAILURE (04)"},
      {5, "ACKNOWLEDGE (05)"},
      {6, "SLAVE DEVICE BUSY (06)"},
      {8, "MEMORY PARITY ERROR (08)"},
      {10, "GATEWAY PATH UNAVAILABLE (0A)"},
      {11, "GATEWAY TARGET FAILED (0B)"},
      {0, "EXC 0"},
      {7, "EXC 7"},
      {9, "EXC 9"},
      {12, "EXC 12"},
      {255, "EXC 255"},
  };
  for (const auto& c : cases) EXPECT_EQ(ExceptionText(c.code), c.text) << int{c.code};
}

}  // namespace
}  // namespace varnetik
