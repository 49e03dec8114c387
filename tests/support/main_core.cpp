#include "testenv.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    brxtest::prepareProcessEnvironment();
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    brxtest::installTestGuards();
    return RUN_ALL_TESTS();
}
