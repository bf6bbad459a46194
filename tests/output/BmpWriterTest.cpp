#include "app/Settings.h"
#include "support/TestSupport.h"
TEST(Settings, Placeholder) {}
