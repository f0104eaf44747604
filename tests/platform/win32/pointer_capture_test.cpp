// The game may hold the pointer (relative mouse mode) only while it is the
// program in front: holding it from other windows would be a fault.
#include <gtest/gtest.h>

#include "../../../platform/win32/internal.h"

TEST(PointerCapture, HeldOnlyWhileAFocusedGameHidesTheCursorWithoutADialog) {
  using glomp::win32::PointerCaptureWanted;
  EXPECT_TRUE(PointerCaptureWanted(false, true, false, -1));
  EXPECT_FALSE(PointerCaptureWanted(false, false, false, -1));  // another program is in front
  EXPECT_FALSE(PointerCaptureWanted(false, true, true, -1));    // a message box needs it
  EXPECT_FALSE(PointerCaptureWanted(false, true, false, 0));    // the cursor is shown
  EXPECT_FALSE(PointerCaptureWanted(true, true, false, -1));    // nobody is at a headless run
}
