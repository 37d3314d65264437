// The way the README tries the window without a device: start varnetik-slave --pty, type the path it
// prints into "RTU Port", "Verbinden", "Lesen"; the window's log and the slave's show the same frames.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/WindowHarness.h"
#include "tests/slave/SlaveProcess.h"

namespace varnetik::testing {
namespace {

// "TX (8 B): 01 03 ..." -> "01 03 ..."
std::string DumpBytes(const std::string& line) { return line.substr(line.find(": ") + 2); }

// The bytes of the slave's next log line in that direction: "14:03:07.125 RTU    RX 01 03 ..." -> "01 03 ...".
std::string SlaveBytes(SlaveProcess& slave, const std::string& direction) {
  const std::string marker = " " + direction + " ";
  const std::string line = slave.LineContaining(marker);
  return line.empty() ? "" : line.substr(line.find(marker) + marker.size());
}

TEST(SlaveWindowTest, ReadmesTryWithoutADevice) {
  SlaveProcess slave({"--pty"});
  WindowHarness ui;
  ui.Type(ControlId::PortCombo, slave.PtyPath());
  const size_t beforeConnect = ui.LogSize();
  ui.Click(ControlId::RtuConnectButton);
  // Notes on what the open could not check (other users' programs, for an ordinary user) may follow.
  EXPECT_EQ(ui.Log(beforeConnect).front(), "Port geöffnet: " + slave.PtyPath());
  const size_t before = ui.LogSize();
  ui.Click(ControlId::RtuReadButton);

  const std::vector<std::string> log = ui.Log(before);
  ASSERT_EQ(log.size(), 3u) << ::testing::PrintToString(log);
  EXPECT_EQ(DumpBytes(log[0]), SlaveBytes(slave, "RX"));
  EXPECT_EQ(DumpBytes(log[1]), SlaveBytes(slave, "TX"));
  EXPECT_EQ(log[2].rfind("OK: FC03", 0), 0u) << log[2];
}

}  // namespace
}  // namespace varnetik::testing
