// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/qt/EngineEnvironment.h"
#include "platform/qt/EngineSanitizerOptions.h"
#include "support/TestDeadline.h"

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    talvesk::selectHeadlessPlatform();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    // A window made without settings of its own keeps them here, never in the user's.
    const QTemporaryDir settings;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new talvesk::test::TestDeadline);
    return RUN_ALL_TESTS();
}
