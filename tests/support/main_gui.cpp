#include "testenv.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    brxtest::prepareProcessEnvironment();
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    brxtest::installTestGuards();
    return RUN_ALL_TESTS();
}
