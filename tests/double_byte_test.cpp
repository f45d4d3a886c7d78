// Paths with double-byte characters of code page 932, whose second byte may be a backslash.
#include "../discovery/discovery.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

namespace {

// CTest runs these in a Japanese locale, where Wine uses code page 932; only there do the
// bytes below form double-byte characters.
class DoubleBytePaths : public ::testing::Test {
protected:
    void SetUp() override
    {
        reset_excel_registry();
        const char *expected = getenv("KAVOR_EXPECT_CODE_PAGE");
        if (expected != NULL)
            ASSERT_EQ((UINT)atoi(expected), GetACP()) << "the locale did not reach Wine";
        else if (GetACP() != 932)
            GTEST_SKIP() << "code page " << GetACP() << ", not 932";
    }
};

// 0x95 0x5C is one character in code page 932; its second byte is the value of "\".
const char Hyo[] = "\x95\x5c";
// 0x83 0x41 is one character too; its second byte is the value of "A".
const char KatakanaA[] = "\x83\x41";

TEST_F(DoubleBytePaths, LibraryFallbackNeverSplitsInsideACharacter)
{
    std::string folder = std::string("c:\\") + Hyo + "\\";
    strcpy(ExcelPath, (folder + Hyo + ".exe").c_str());
    char AddinFolder[PathCapacity];
    ASSERT_EQ(Found, resolve_addin_folder(8, AddinFolder));
    EXPECT_EQ(folder + "Library\\", AddinFolder);
}

TEST_F(DoubleBytePaths, CleaningKeepsTheCharacterWhole)
{
    std::string path = std::string("C:\\") + Hyo + "\\" + KatakanaA + Hyo + ".EXE";
    strcpy(ExcelPath, ("\"" + path + "\" /e").c_str());
    clean_excel_command();
    EXPECT_EQ(std::string("c:\\") + Hyo + "\\" + KatakanaA + Hyo + ".exe", ExcelPath);
}

} // namespace
