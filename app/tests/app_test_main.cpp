// Test main of the desktop program's tests: one QApplication on the offscreen
// platform (unless the caller chose one) for every test, and GetLangString
// answered from the language files as in the program.
#include "app/controls/langstring.h"
#include "app/language.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    SetLangStringLookup(LookupLangString);
    return RUN_ALL_TESTS();
}
