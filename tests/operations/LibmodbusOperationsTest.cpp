// The operations against libmodbus as an independent slave, on both links: what our frames claim to
// carry must be what another implementation reads and writes.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "operator/RtuSide.h"
#include "operator/TcpSide.h"
#include "serial/RtuLink.h"
#include "tcp/TcpLink.h"
#include "tests/operations/OperationTestSupport.h"
#include "tests/support/FakeConsole.h"
#include "tests/support/LibmodbusSlave.h"

namespace varnetik::testing {
namespace {

// The fields and buttons of one link's tabs.
struct LinkTabs {
  const char* name;
  LibmodbusSlave::Link link;
  ControlId readStart, readCount, writeAddress, writeValue, manyStart, manyValues, table;
};
void PrintTo(const LinkTabs& c, std::ostream* os) { *os << c.name; }

const LinkTabs kLinks[] = {
    {"Rtu", LibmodbusSlave::Link::Rtu, ControlId::RtuReadStartField, ControlId::RtuReadCountField,
     ControlId::RtuWriteAddressField, ControlId::RtuWriteValueField, ControlId::RtuWriteManyStartField,
     ControlId::RtuWriteManyValuesField, ControlId::RtuResultTable},
    {"Tcp", LibmodbusSlave::Link::Tcp, ControlId::TcpReadStartField, ControlId::TcpReadCountField,
     ControlId::TcpWriteAddressField, ControlId::TcpWriteValueField, ControlId::TcpWriteManyStartField,
     ControlId::TcpWriteManyValuesField, ControlId::TcpResultTable},
};

std::vector<ResultRow> Rows(uint16_t start, const std::vector<uint16_t>& values) {
  std::vector<ResultRow> rows;
  for (size_t k = 0; k < values.size(); ++k) {
    char address[8];
    char value[8];
    std::snprintf(address, sizeof address, "0x%04X", static_cast<unsigned>(start + k));
    std::snprintf(value, sizeof value, "$%04X", values[k]);
    rows.push_back({address, std::to_string(start + k), value, std::to_string(values[k])});
  }
  return rows;
}

// Values that a careless serial line or parser would damage: 0, LF, CR, XON/XOFF, 0xFF bytes.
std::vector<uint16_t> AwkwardValues(size_t count, uint16_t seed) {
  std::vector<uint16_t> values;
  const uint16_t special[] = {0x0000, 0x000A, 0x0D0A, 0x1113, 0xFFFF, 0x00FF, 0xFF00, 0x8000};
  for (size_t k = 0; k < count; ++k) {
    values.push_back(k % 3 == 0 ? special[(k / 3) % 8] : static_cast<uint16_t>(seed + k * 40503u));
  }
  return values;
}

std::string Typed(const std::vector<uint16_t>& values) {
  std::string text;
  for (uint16_t value : values) text += (text.empty() ? "" : ",") + std::to_string(value);
  return text;
}

class LibmodbusOperationsTest : public ::testing::TestWithParam<LinkTabs> {
 protected:
  void SetUp() override {
    if (GetParam().link == LibmodbusSlave::Link::Rtu) {
      console.texts[ControlId::PortCombo] = slave.SerialPath();
      rtu.portName = slave.SerialPath();
      ASSERT_TRUE(rtu.RtuOpenPort());
    } else {
      console.texts[ControlId::TcpPortField] = std::to_string(slave.TcpPort());
      tcp.port = slave.TcpPort();
      ASSERT_EQ(tcp.TcpConnect(), LinkOpenResult::Opened);
    }
  }

  void Click(void (*rtuHandler)(RtuLink&, uint8_t&, OperatorConsole&),
             void (*tcpHandler)(TcpLink&, uint8_t, OperatorConsole&)) {
    if (GetParam().link == LibmodbusSlave::Link::Rtu) {
      rtuHandler(rtu, slaveId, console);
    } else {
      tcpHandler(tcp, slaveId, console);
    }
  }

  LibmodbusSlave slave{GetParam().link};
  RtuLink rtu;
  TcpLink tcp;
  uint8_t slaveId = 1;
  FakeConsole console;
};

TEST_P(LibmodbusOperationsTest, Read125WriteOneWrite123AndReadBack) {
  const LinkTabs& tabs = GetParam();
  const bool overTcp = tabs.link == LibmodbusSlave::Link::Tcp;

  std::vector<uint16_t> held = AwkwardValues(125, 7);
  slave.SetHolding(1000, held);
  console.texts[tabs.readStart] = "1000";
  console.texts[tabs.readCount] = "125";
  Click(RtuReadClicked, TcpReadClicked);
  EXPECT_EQ(console.log.back(), "OK: FC03 \u2013 125 Register ab 0x03E8 (1000)");
  EXPECT_EQ(console.tables[tabs.table], Rows(1000, held));

  console.texts[tabs.writeAddress] = "2000";
  console.texts[tabs.writeValue] = "0xBEEF";
  Click(RtuWriteOneClicked, TcpWriteOneClicked);
  EXPECT_EQ(console.log.back(), std::string("OK: FC06") + (overTcp ? " (TCP)" : "") +
                                    " \u2013 Reg 0x07D0 (2000) := $BEEF (48879)");
  EXPECT_EQ(slave.Holding(2000, 1), std::vector<uint16_t>{0xBEEF});

  std::vector<uint16_t> written = AwkwardValues(123, 99);
  console.texts[tabs.manyStart] = "3000";
  console.texts[tabs.manyValues] = Typed(written);
  Click(RtuWriteManyClicked, TcpWriteManyClicked);
  EXPECT_EQ(slave.Holding(3000, 123), written);
  EXPECT_TRUE(console.messages.empty());

  console.texts[tabs.readStart] = "3000";
  console.texts[tabs.readCount] = "123";
  Click(RtuReadClicked, TcpReadClicked);
  EXPECT_EQ(console.log.back(), "OK: FC03 \u2013 123 Register ab 0x0BB8 (3000)");
  EXPECT_EQ(console.tables[tabs.table], Rows(3000, written));
  EXPECT_TRUE(console.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Links, LibmodbusOperationsTest, ::testing::ValuesIn(kLinks), ByName);

}  // namespace
}  // namespace varnetik::testing
