// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/EngineEnvironment.h"
#include "platform/qt/EngineSanitizerOptions.h"
#include "support/TestDeadline.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    talvesk::selectHeadlessPlatform();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new talvesk::test::TestDeadline);
    return RUN_ALL_TESTS();
}
