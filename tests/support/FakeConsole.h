// A recording stand-in for the main window: fields are set by the test, every log line, box, status
// refresh and table fill is recorded in order.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "operator/OperatorConsole.h"

namespace varnetik::testing {

struct ShownMessage {
  std::string title;
  std::string text;
  bool operator==(const ShownMessage&) const = default;
};

class FakeConsole : public OperatorConsole {
 public:
  // Every visible effect in order, as "log: ...", "box: title / text", "status", "table: <id> <rows>".
  std::vector<std::string> events;
  std::vector<std::string> log;  // log lines without time stamps
  std::vector<ShownMessage> messages;
  int statusRefreshes = 0;
  std::map<ControlId, std::vector<ResultRow>> tables;

  std::map<ControlId, std::string> texts;
  std::map<ControlId, int> selections;
  std::map<ControlId, int64_t> spins;

  FakeConsole() {
    // The window's start-up values.
    texts[ControlId::PortCombo] = "COM3";
    texts[ControlId::BaudCombo] = "9600";
    selections[ControlId::ParityCombo] = 0;
    selections[ControlId::DataBitsCombo] = 1;
    selections[ControlId::StopBitsCombo] = 0;
    spins[ControlId::SlaveIdSpin] = 1;
    spins[ControlId::RtuTimeoutSpin] = 800;
    texts[ControlId::TcpHostField] = "127.0.0.1";
    texts[ControlId::TcpPortField] = "502";
    spins[ControlId::TcpTimeoutSpin] = 1200;
    for (ControlId id : {ControlId::RtuReadTypeCombo, ControlId::TcpReadTypeCombo}) selections[id] = 0;
    for (ControlId id : {ControlId::RtuReadStartField, ControlId::TcpReadStartField,
                         ControlId::RtuWriteAddressField, ControlId::TcpWriteAddressField,
                         ControlId::RtuWriteValueField, ControlId::TcpWriteValueField,
                         ControlId::RtuWriteManyStartField, ControlId::TcpWriteManyStartField}) {
      texts[id] = "0";
    }
    texts[ControlId::RtuReadCountField] = "2";
    texts[ControlId::TcpReadCountField] = "2";
    texts[ControlId::RtuWriteManyValuesField] = "10,20,30";
    texts[ControlId::TcpWriteManyValuesField] = "10,20,30";
  }

  void LogLine(const std::string& text) override {
    log.push_back(text);
    events.push_back("log: " + text);
  }
  void ShowMessage(const std::string& title, const std::string& text) override {
    messages.push_back({title, text});
    events.push_back("box: " + title + " / " + text);
  }
  void ShowLinkStatus() override {
    ++statusRefreshes;
    events.push_back("status");
  }
  std::string ControlText(ControlId id) const override {
    auto it = texts.find(id);
    if (it != texts.end()) return it->second;
    auto spin = spins.find(id);
    return spin != spins.end() ? std::to_string(spin->second) : std::string();
  }
  int SelectedEntry(ControlId id) const override {
    auto it = selections.find(id);
    return it == selections.end() ? -1 : it->second;
  }
  int64_t SpinValue(ControlId id) const override {
    auto it = spins.find(id);
    return it == spins.end() ? 0 : it->second;
  }
  void ReplaceTableRows(ControlId table, const std::vector<ResultRow>& rows) override {
    tables[table] = rows;
    events.push_back("table: " + std::to_string(static_cast<int>(table)) + " " + std::to_string(rows.size()));
  }
};

}  // namespace varnetik::testing
