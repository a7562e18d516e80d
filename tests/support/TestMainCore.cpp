// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TestDeadline.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new talvesk::test::TestDeadline);
    return RUN_ALL_TESTS();
}
