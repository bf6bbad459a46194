// The test programs' entry: GoogleTest's own, and then the exit actions
// while the system is whole, as the program's entry point has them (the
// pictures of a capture run live in static objects until exit).
#include "platform/ExitActions.h"
#include "support/GTest.h"

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    RunExitActionsNow();
    return result;
}
