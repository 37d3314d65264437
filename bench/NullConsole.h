// An operator console that only keeps the last log line, for benchmarks that run link code without a
// window.
#pragma once

#include <string>
#include <vector>

#include "operator/OperatorConsole.h"

namespace varnetik::bench {

class NullConsole : public OperatorConsole {
 public:
  void LogLine(const std::string& text) override { lastLine = text; }
  void ShowMessage(const std::string&, const std::string&) override {}
  void ShowLinkStatus() override {}
  std::string ControlText(ControlId) const override { return std::string(); }
  int SelectedEntry(ControlId) const override { return -1; }
  int64_t SpinValue(ControlId) const override { return 0; }
  void ReplaceTableRows(ControlId, const std::vector<ResultRow>&) override {}

  std::string lastLine;
};

}  // namespace varnetik::bench
