// The "EXCELNOTFOUND" dialog template, read out of the shipped 32-bit installer.
#include "test_support.h"

#include <gtest/gtest.h>

#include <stdlib.h>

namespace {

// Reads a classic dialog template (DLGTEMPLATE and DLGITEMTEMPLATE records) word by word.
struct TemplateReader {
    const BYTE *at;

    WORD word()
    {
        WORD value = *(const WORD *)at;
        at += 2;
        return value;
    }
    DWORD dword()
    {
        DWORD value = *(const DWORD *)at;
        at += 4;
        return value;
    }
    std::string text()
    {
        std::string value;
        for (WORD c = word(); c != 0; c = word())
            value += c < 0x80 ? (char)c : '?';
        return value;
    }
    // A name or, after 0xFFFF, an ordinal written as "#n".
    std::string name_or_ordinal()
    {
        if (*(const WORD *)at == 0xFFFF) {
            word();
            return "#" + std::to_string(word());
        }
        return text();
    }
    void align(const BYTE *base) { at = base + ((at - base + 3) & ~3); }
};

struct Control {
    const char *class_ordinal; // predefined classes as the template stores them
    int id;
    DWORD style;
    short x, y, cx, cy;
    std::string text;
};

TEST(DialogTemplate, MatchesTheDesignedDialog)
{
    const char *folder = getenv("KAVOR_SHIPPED_FOLDER");
    ASSERT_TRUE(folder != NULL) << "KAVOR_SHIPPED_FOLDER names the 32-bit build";
    std::string path = std::string(folder) + "\\addin-install.exe";
    HMODULE module = LoadLibraryExA(path.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(module != NULL) << path << " error " << GetLastError();
    HRSRC resource = FindResourceExA(module, (LPCSTR)RT_DIALOG, "EXCELNOTFOUND",
                                     MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    ASSERT_TRUE(resource != NULL) << "no EXCELNOTFOUND dialog in language 1033";
    const BYTE *base = (const BYTE *)LockResource(LoadResource(module, resource));
    ASSERT_TRUE(base != NULL);

    TemplateReader reader = {base};
    EXPECT_EQ(0x80C800C0u, reader.dword()) << "style";
    EXPECT_EQ(0u, reader.dword()) << "extended style";
    WORD count = reader.word();
    EXPECT_EQ(0, (short)reader.word());
    EXPECT_EQ(0, (short)reader.word());
    EXPECT_EQ(281, (short)reader.word());
    EXPECT_EQ(119, (short)reader.word());
    EXPECT_EQ("", reader.name_or_ordinal()) << "menu";
    EXPECT_EQ("", reader.name_or_ordinal()) << "class";
    EXPECT_EQ("Where is Excel?", reader.text());
    EXPECT_EQ(8, reader.word()) << "point size";
    EXPECT_EQ("MS Sans Serif", reader.text());

    const Control expected[] = {
        {"#130", 0xFFFF, 0x50020000, 7, 7, 220, 38,
         "Excel .xls files are apparently not associated with Excel on this system. This "
         "installation program relies on that association to find EXCEL.EXE. Please enter the "
         "full path to EXCEL.EXE below, or click the Browse button to search your hard disk."},
        {"#130", 0xFFFF, 0x50020000, 7, 45, 220, 38,
         "After clicking OK, the installation program will copy the appropriate files to the "
         "Add-In folder for Excel. You must then manually load the Add-In by selecting "
         "Tools>Add-Ins in Excel and checking \"Kavor Interface\"."},
        {"#130", 0xFFFF, 0x50020002, 7, 91, 36, 8, "Excel &path:"},
        {"#129", 100, 0x50810080, 47, 88, 160, 14, ""},
        {"#128", 101, 0x50010000, 211, 88, 39, 14, "&Browse"},
        {"#128", IDOK, 0x50010001, 235, 7, 39, 14, "OK"},
        {"#128", IDCANCEL, 0x50010000, 235, 24, 39, 14, "Cancel"},
    };
    ASSERT_EQ(7, count);
    for (const Control &control : expected) {
        SCOPED_TRACE(control.text.empty() ? std::string("edit box") : control.text.substr(0, 20));
        reader.align(base);
        EXPECT_EQ(control.style, reader.dword()) << "style";
        EXPECT_EQ(0u, reader.dword()) << "extended style";
        EXPECT_EQ(control.x, (short)reader.word());
        EXPECT_EQ(control.y, (short)reader.word());
        EXPECT_EQ(control.cx, (short)reader.word());
        EXPECT_EQ(control.cy, (short)reader.word());
        EXPECT_EQ(control.id, reader.word());
        EXPECT_EQ(control.class_ordinal, reader.name_or_ordinal());
        EXPECT_EQ(control.text, reader.name_or_ordinal());
        EXPECT_EQ(0, reader.word()) << "creation data";
    }
    FreeLibrary(module);
}

} // namespace
