// main() of every test executable: a headless QApplication, then GoogleTest.
#include "support/TestSupport.h"

#include "platform/ui/Application.h"

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    int exitCode = 0;
    if (orv::test::runChildModeIfAsked(argc, argv, &exitCode))
        return exitCode;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    orv::Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
