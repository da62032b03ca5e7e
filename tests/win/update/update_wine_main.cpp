#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  // The download dialog's animation and progress bar.
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_ANIMATE_CLASS | ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&controls);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
