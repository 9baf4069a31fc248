#include "browser/browser_frame.h"

#include "shell/tests/widget_test_support.h"

TEST(Placeholder, Builds) {}
