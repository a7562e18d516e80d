#include "platform/EngineEnvironment.h"

#include <QApplication>

#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
// The browser engine's bundled Chromium deletes some objects through a sized delete of another
// type; AddressSanitizer reports that inside the engine's own library, never in our code.
// Options given in ASAN_OPTIONS still apply on top of this.
extern "C" const char *__asan_default_options()
{
    return "new_delete_type_mismatch=0";
}
#endif

int main(int argc, char **argv)
{
    talvesk::selectHeadlessPlatform();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
