#include "operator/LinkButtons.h"

#include "operator/OperationTexts.h"

namespace varnetik {

void ConnectClicked(LinkSide& side, OperatorConsole& console) {
  side.TakeSettings(console);
  ModbusLink& link = side.Link();
  const LinkTexts& texts = side.Texts();
  if (!link.HasDestination()) {
    console.ShowMessage(kHintTitle, texts.destinationMissingHint);
    return;
  }
  const LinkOpenResult result = link.Open();
  if (result == LinkOpenResult::Opened) {
    console.LogLine(texts.openedLine + link.Destination());
  } else {
    console.LogLine(texts.openFailedLine + link.Destination());
    if (const char* reason = OpenFailureReason(result)) console.LogLine(ReasonLine(reason));
    console.ShowMessage(kErrorTitle, texts.openFailedBox);
  }
  console.ShowLinkStatus();
}

void DisconnectClicked(LinkSide& side, OperatorConsole& console) {
  side.Link().Close();
  const LinkTexts& texts = side.Texts();
  if (texts.statusBeforeClosedLine) console.ShowLinkStatus();
  console.LogLine(texts.closedLine);
  if (!texts.statusBeforeClosedLine) console.ShowLinkStatus();
}

}  // namespace varnetik
