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
  const bool opened = result == LinkOpenResult::Opened;
  console.LogLine((opened ? texts.openedLine : texts.openFailedLine) + link.Destination());
  for (const std::string& line : side.OpenOutcomeLines(result)) console.LogLine(line);
  if (!opened) console.ShowMessage(kErrorTitle, texts.openFailedBox);
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
