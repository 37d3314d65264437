#include "operator/SideWords.h"

namespace varnetik {
namespace {

template <class T>
constexpr T Pick(bool serial, T serialOne, T tcpOne) {
  return serial ? serialOne : tcpOne;
}

constexpr OperationControls ControlsFor(bool serial) {
  using enum ControlId;
  return {
      .readTypeCombo = Pick(serial, RtuReadTypeCombo, TcpReadTypeCombo),
      .readStartField = Pick(serial, RtuReadStartField, TcpReadStartField),
      .readCountField = Pick(serial, RtuReadCountField, TcpReadCountField),
      .resultTable = Pick(serial, RtuResultTable, TcpResultTable),
      .writeAddressField = Pick(serial, RtuWriteAddressField, TcpWriteAddressField),
      .writeValueField = Pick(serial, RtuWriteValueField, TcpWriteValueField),
      .writeManyStartField = Pick(serial, RtuWriteManyStartField, TcpWriteManyStartField),
      .writeManyValuesField = Pick(serial, RtuWriteManyValuesField, TcpWriteManyValuesField),
  };
}

// UTF-8; the dash in the two resync lines is U+2013.
constexpr LinkTexts TextsFor(bool serial) {
  using Text = const char*;
  return {
      .notOpenHint = Pick<Text>(serial, "Bitte zuerst den Port öffnen.", "Bitte zuerst TCP verbinden."),
      .destinationMissingHint =
          Pick<Text>(serial, "Bitte einen Port wählen/eingeben.", "Bitte Host/IP und Port angeben."),
      .openedLine = Pick<Text>(serial, "Port geöffnet: ", "TCP verbunden: "),
      .openFailedLine = Pick<Text>(serial, "Konnte Port nicht öffnen: ", "TCP-Verbindung fehlgeschlagen: "),
      .openFailedBox =
          Pick<Text>(serial, "Port konnte nicht geöffnet werden.", "TCP-Verbindung konnte nicht aufgebaut werden."),
      .closedLine = Pick<Text>(serial, "Port geschlossen.", "TCP getrennt."),
      .statusBeforeClosedLine = serial,
      .resyncLine = Pick<Text>(serial,
                               "Hinweis: RTU-Stream neu synchronisieren \u2013 RX spülen & einmal erneut senden...",
                               "Hinweis: TCP-Stream neu synchronisieren \u2013 Verbindung wird neu aufgebaut..."),
      // The serial resend follows its hint line without a line of its own.
      .retryLines = {Pick<Text>(serial, nullptr, "TCP erneut verbunden. Erneuter Leseversuch..."),
                     Pick<Text>(serial, nullptr, "TCP erneut verbunden. Erneuter Schreibversuch (FC06)..."),
                     Pick<Text>(serial, nullptr, "TCP erneut verbunden. Erneuter Schreibversuch (FC16)...")},
      .overTcp = !serial,
      .listsWrittenValues = serial,
  };
}

constexpr OperationControls kControls[] = {ControlsFor(true), ControlsFor(false)};
constexpr LinkTexts kTexts[] = {TextsFor(true), TextsFor(false)};

}  // namespace

const OperationControls& ControlsOf(WindowSide side) { return kControls[static_cast<int>(side)]; }
const LinkTexts& TextsOf(WindowSide side) { return kTexts[static_cast<int>(side)]; }

}  // namespace varnetik
