#include "support/TestApplication.h"

#include <QFontDatabase>
#include <QStringList>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

namespace vorlith::test {

bool checkTestFonts()
{
    const QStringList families = QFontDatabase::families();
    bool ok = true;
    for (const char* family : {"WenQuanYi Micro Hei", "Inter"}) {
        if (!families.contains(QString::fromLatin1(family))) {
            std::fprintf(stderr, "test setup: font family \"%s\" is missing (scripts/install-deps)\n", family);
            ok = false;
        }
    }
    return ok;
}

bool isListingOnly(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--gtest_list_tests") == 0)
            return true;
    return false;
}

int runAllTests(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

} // namespace vorlith::test
