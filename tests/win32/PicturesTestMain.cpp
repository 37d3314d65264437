// The window's start-up prepares OLE (for the system's picture loading) and the common controls; the
// picture tests do the same before they run.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <ole2.h>

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (FAILED(OleInitialize(nullptr))) return 1;
  const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&classes);
  const int result = RUN_ALL_TESTS();
  OleUninitialize();
  return result;
}
