// Every caption of the main window fits its fixed box with the font the window chose from the desktop's:
// first the choice for the fonts Debian's desktops use, then each caption of a window started under
// GNOME's font, measured as shown. The suite runs at scale 1 and again at scale 1.5.
#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <memory>
#include <ostream>
#include <string>

#include "app/Captions.h"
#include "app/WindowFont.h"
#include "tests/support/WindowHarness.h"
#include "tests/support/CaseNames.h"

namespace varnetik {
namespace {

using testing::ByName;
using testing::WindowHarness;

std::string Describe(const Caption& c) {
  return "\"" + c.text.toStdString() + "\" in " + c.control->metaObject()->className() + " " +
         c.control->objectName().toStdString() + ": needs " + std::to_string(c.needed.width()) + " x " +
         std::to_string(c.needed.height()) + ", has " + std::to_string(c.room.width()) + " x " +
         std::to_string(c.room.height());
}

// A window built while the application has the desktop's font, as the platform theme sets it.
struct DesktopWindow {
  QFont before = QApplication::font();
  std::unique_ptr<WindowHarness> shell;

  explicit DesktopWindow(const QFont& desktop) {
    QApplication::setFont(desktop);
    shell = std::make_unique<WindowHarness>();
    shell->ShowAndSettle();
  }
  ~DesktopWindow() { QApplication::setFont(before); }
};

struct DesktopCase {
  const char* name;
  const char* family;  // null: the platform's own font, as the application starts with it
  qreal pointSize;
};
void PrintTo(const DesktopCase& c, std::ostream* os) { *os << c.name; }

const DesktopCase kDesktops[] = {
    {"PlatformDefault", nullptr, 0},
    {"GnomeCantarell11", "Cantarell", 11},
    {"DejaVuSans10", "DejaVu Sans", 10},
    {"DejaVuSans9", "DejaVu Sans", 9},
    {"LargeCantarell14", "Cantarell", 14},
    // A desktop set below the readable minimum keeps its own size.
    {"SmallDejaVuSans7", "DejaVu Sans", 7},
};

class WindowFontChoice : public ::testing::TestWithParam<DesktopCase> {};

TEST_P(WindowFontChoice, KeepsTheFamilyAtTheLargestSizeThatFitsEveryCaption) {
  const DesktopCase& c = GetParam();
  QFont desktop = QApplication::font();
  if (c.family != nullptr) {
    desktop = QFont(QString::fromLatin1(c.family));
    desktop.setPointSizeF(c.pointSize);
    ASSERT_EQ(QFontInfo(desktop).family(), desktop.family()) << "font not installed; ./scripts/deps adds it";
  }
  const qreal desktopSize = PointSize(desktop);
  DesktopWindow run(desktop);
  MainWindow& window = *run.shell->window;
  const QFont chosen = window.font();
  const qreal size = chosen.pointSizeF();
  std::cout << "[ font     ] " << c.name << ": " << QFontInfo(chosen).family().toStdString() << " " << size
            << " pt at device pixel ratio " << window.devicePixelRatioF() << "\n";

  EXPECT_EQ(QFontInfo(chosen).family(), QFontInfo(desktop).family());
  EXPECT_LE(size, desktopSize);
  EXPECT_GE(size, std::min(desktopSize, kReadablePointSize));
  for (const Caption& caption : MeasureCaptions(*window.ControlArea())) {
    EXPECT_TRUE(caption.Fits()) << Describe(caption);
    EXPECT_EQ(caption.control->font(), chosen) << Describe(caption);
  }
  // One step larger cuts a caption off, unless the desktop's own size already fits.
  if (size < desktopSize) {
    QFont larger = chosen;
    larger.setPointSizeF(size + kPointSizeStep);
    window.setFont(larger);
    EXPECT_FALSE(AllCaptionsFit(*window.ControlArea())) << "fits at " << size + kPointSizeStep << " pt";
  }
}

INSTANTIATE_TEST_SUITE_P(Desktops, WindowFontChoice, ::testing::ValuesIn(kDesktops),
                         ByName);

enum class Kind { Label, Button, GroupTitle, ListEntry, TabTitle, ColumnTitle };

Kind KindOf(const QWidget& control) {
  if (qobject_cast<const QLabel*>(&control) != nullptr) return Kind::Label;
  if (qobject_cast<const QPushButton*>(&control) != nullptr) return Kind::Button;
  if (qobject_cast<const QGroupBox*>(&control) != nullptr) return Kind::GroupTitle;
  if (qobject_cast<const QComboBox*>(&control) != nullptr) return Kind::ListEntry;
  if (qobject_cast<const QTabBar*>(&control) != nullptr) return Kind::TabTitle;
  return Kind::ColumnTitle;
}

struct CaptionCase {
  Kind kind;
  const char* text;
  int count;  // how many controls of the window show it
};

std::string CaptionName(const ::testing::TestParamInfo<CaptionCase>& info) {
  static const char* const kKinds[] = {"Label", "Button", "GroupTitle", "ListEntry", "TabTitle", "ColumnTitle"};
  std::string name = std::string(kKinds[static_cast<int>(info.param.kind)]) + "_" + info.param.text;
  for (char& ch : name) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
  return name;
}
void PrintTo(const CaptionCase& c, std::ostream* os) { *os << c.text; }

const CaptionCase kCaptions[] = {
    {Kind::Label, "RTU Port", 1},
    {Kind::Label, "Baudrate", 1},
    {Kind::Label, "Parität", 1},
    {Kind::Label, "Datenbits", 1},
    {Kind::Label, "Stoppbits", 1},
    {Kind::Label, "Slave-ID", 1},
    {Kind::Label, "Timeout (ms)", 2},
    {Kind::Label, "TCP Host/IP", 1},
    {Kind::Label, "Port", 1},
    {Kind::Label, "Typ:", 2},
    {Kind::Label, "Startadresse (dez.):", 4},
    {Kind::Label, "Anzahl:", 2},
    {Kind::Label, "Adresse (dez.):", 2},
    {Kind::Label, "Wert:", 2},
    {Kind::Label, "Werte (CSV):", 2},
    {Kind::Button, "Scannen", 1},
    {Kind::Button, "Verbinden", 1},
    {Kind::Button, "Trennen", 1},
    {Kind::Button, "TCP verbinden", 1},
    {Kind::Button, "TCP trennen", 1},
    {Kind::Button, "Lesen", 2},
    {Kind::Button, "Schreiben", 4},
    {Kind::Button, "Log löschen", 1},
    {Kind::GroupTitle, "Einzelnes Register (FC 06)", 2},
    {Kind::GroupTitle, "Mehrere Register (FC 16)", 2},
    {Kind::ListEntry, "1200", 1},
    {Kind::ListEntry, "2400", 1},
    {Kind::ListEntry, "4800", 1},
    {Kind::ListEntry, "9600", 1},
    {Kind::ListEntry, "19200", 1},
    {Kind::ListEntry, "38400", 1},
    {Kind::ListEntry, "57600", 1},
    {Kind::ListEntry, "115200", 1},
    {Kind::ListEntry, "None", 1},
    {Kind::ListEntry, "Even", 1},
    {Kind::ListEntry, "Odd", 1},
    {Kind::ListEntry, "7", 1},
    {Kind::ListEntry, "8", 1},
    {Kind::ListEntry, "1", 1},
    {Kind::ListEntry, "2", 1},
    {Kind::ListEntry, "Holding (FC 03)", 2},
    {Kind::ListEntry, "Input (FC 04)", 2},
    {Kind::TabTitle, "RTU Lesen", 1},
    {Kind::TabTitle, "RTU Schreiben", 1},
    {Kind::TabTitle, "TCP Lesen", 1},
    {Kind::TabTitle, "TCP Schreiben", 1},
    {Kind::ColumnTitle, "Adresse hex.", 2},
    {Kind::ColumnTitle, "Adresse dez.", 2},
    {Kind::ColumnTitle, "Wert hex.", 2},
    {Kind::ColumnTitle, "Wert dez.", 2},
};

// One window for all rows, started under GNOME's interface font, the widest of Debian's defaults.
class WindowCaption : public ::testing::TestWithParam<CaptionCase> {
 protected:
  static void SetUpTestSuite() {
    QFont gnome(QStringLiteral("Cantarell"));
    gnome.setPointSizeF(11);
    run_ = new DesktopWindow(gnome);
  }
  static void TearDownTestSuite() {
    delete run_;
    run_ = nullptr;
  }
  static std::vector<Caption> Captions() { return MeasureCaptions(*run_->shell->window->ControlArea()); }

  static DesktopWindow* run_;
};
DesktopWindow* WindowCaption::run_ = nullptr;

TEST_P(WindowCaption, FitsItsBoxWithTheFontInUse) {
  const CaptionCase& c = GetParam();
  int found = 0;
  for (const Caption& caption : Captions()) {
    if (caption.text != QString::fromUtf8(c.text) || KindOf(*caption.control) != c.kind) continue;
    ++found;
    EXPECT_TRUE(caption.Fits()) << Describe(caption);
  }
  EXPECT_EQ(found, c.count);
}

INSTANTIATE_TEST_SUITE_P(Captions, WindowCaption, ::testing::ValuesIn(kCaptions), CaptionName);

// A caption the table above does not know would go unchecked by name: the table must grow with the window.
TEST_F(WindowCaption, EveryCaptionOfTheWindowIsInTheTable) {
  for (const Caption& caption : Captions()) {
    const bool listed = std::any_of(std::begin(kCaptions), std::end(kCaptions), [&](const CaptionCase& c) {
      return caption.text == QString::fromUtf8(c.text) && KindOf(*caption.control) == c.kind;
    });
    EXPECT_TRUE(listed) << Describe(caption);
  }
}

}  // namespace
}  // namespace varnetik
