// The shipped 32-bit programs' resources, read out of the executables: the installer's
// "EXCELNOTFOUND" dialog template, the manifests and the version resources.
#include "test_support.h"

#include <gtest/gtest.h>

#include <stdio.h>
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

std::string shipped(const char *name)
{
    const char *folder = getenv("KAVOR_SHIPPED_FOLDER");
    EXPECT_TRUE(folder != NULL) << "KAVOR_SHIPPED_FOLDER names the 32-bit build";
    return std::string(folder != NULL ? folder : ".") + "\\" + name;
}

const char *const Programs[] = {InstallerProgram, UninstallerProgram};

TEST(ShippedBuild, ManifestsRunAsInvokerWithCommonControls6)
{
    for (const char *program : Programs) {
        SCOPED_TRACE(program);
        HMODULE module = LoadLibraryExA(shipped(program).c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_TRUE(module != NULL) << GetLastError();
        HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(1), (LPCSTR)RT_MANIFEST);
        ASSERT_TRUE(resource != NULL) << "no process manifest";
        std::string manifest((const char *)LockResource(LoadResource(module, resource)),
                             SizeofResource(module, resource));
        for (const char *needed :
             {"<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>",
              "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
              "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})
            EXPECT_NE(std::string::npos, manifest.find(needed)) << needed;
        FreeLibrary(module);
    }
}

std::string version_string(const std::vector<char> &block, const char *name)
{
    char *value = NULL;
    UINT length = 0;
    std::string query = std::string("\\StringFileInfo\\040904B0\\") + name;
    if (!VerQueryValueA(block.data(), query.c_str(), (void **)&value, &length) || value == NULL)
        return "(none)";
    return value;
}

TEST(ShippedBuild, VersionResourcesCarryTheProjectVersion)
{
    for (const char *program : Programs) {
        SCOPED_TRACE(program);
        std::string path = shipped(program);
        DWORD handle = 0;
        DWORD size = GetFileVersionInfoSizeA(path.c_str(), &handle);
        ASSERT_GT(size, 0u) << "no version resource";
        std::vector<char> block(size);
        ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), handle, size, block.data()));
        VS_FIXEDFILEINFO *info = NULL;
        UINT length = 0;
        ASSERT_TRUE(VerQueryValueA(block.data(), "\\", (void **)&info, &length));
        char fixed[32];
        snprintf(fixed, sizeof fixed, "%lu.%lu.%lu", info->dwFileVersionMS >> 16,
                 info->dwFileVersionMS & 0xFFFF, info->dwFileVersionLS >> 16);
        EXPECT_STREQ(KAVOR_EXPECTED_VERSION, fixed);
        EXPECT_EQ(KAVOR_EXPECTED_VERSION, version_string(block, "FileVersion"));
        EXPECT_EQ(KAVOR_EXPECTED_VERSION, version_string(block, "ProductVersion"));
        EXPECT_EQ(Caption, version_string(block, "ProductName"));
        EXPECT_EQ(program, version_string(block, "OriginalFilename"));
        EXPECT_NE("(none)", version_string(block, "FileDescription"));
    }
}

TEST(ShippedBuild, DialogTemplateMatchesTheDesignedDialog)
{
    HMODULE module = LoadLibraryExA(shipped(InstallerProgram).c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(module != NULL) << GetLastError();
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
