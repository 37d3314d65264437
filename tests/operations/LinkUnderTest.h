// Either link as the operation cases both links share drive it against the scriptable slave: how it is
// opened, its three buttons, the ids of its fields and table, the label of its request dump, and the few
// checks around a click that only one of the links has.
#pragma once

#include <memory>
#include <ostream>

#include "operator/OperatorConsole.h"
#include "tests/support/FakeConsole.h"
#include "tests/support/ScriptableSlave.h"

namespace varnetik::testing {

enum class Operation { Read, WriteOne, WriteMany };

// One link and the state its buttons keep, for one test.
class LinkUnderTest {
 public:
  virtual ~LinkUnderTest() = default;

  // Connects to slave as the link's connect button would, with the console's fields pointing at it.
  virtual bool Open(const ScriptableSlave& slave, FakeConsole& console) = 0;
  virtual void Click(Operation operation, FakeConsole& console) = 0;

  // Settings that a click takes over before it checks the entries, and the check that it did.
  virtual void FillSettingsTakenFirst(FakeConsole& console) = 0;
  virtual void ExpectSettingsTaken() const = 0;
  // After a reported failure: the link was not rebuilt (TCP; a serial port has nothing to rebuild).
  virtual void ExpectConnectionKept(const ScriptableSlave& slave) const = 0;
};

struct LinkKind {
  const char* name;     // also the prefix of the cases run on it
  const char* txLabel;  // of the request dump
  ControlId readCountField;
  ControlId writeManyValuesField;
  ControlId timeoutSpin;
  ControlId resultTable;
  std::unique_ptr<LinkUnderTest> (*make)();
};

extern const LinkKind kRtuLink;
extern const LinkKind kTcpLink;

// A row of a shared table as run on one link; named after the row, the link is the instantiation's prefix.
template <class Row>
struct OnLink {
  const LinkKind* link;
  Row row;
  const char* name = row.name;
};

template <class Row>
void PrintTo(const OnLink<Row>& c, std::ostream* os) {
  *os << c.link->name << "/" << c.name;
}

}  // namespace varnetik::testing
