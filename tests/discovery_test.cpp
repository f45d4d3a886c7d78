// Excel discovery against registry keys and files laid out in the Wine prefix.
#include "../discovery/discovery.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

namespace {

class Discovery : public ::testing::Test {
protected:
    char ExcelClass[AssociationCapacity]; // where locate_excel says Excel's class
    void SetUp() override
    {
        reset_excel_registry();
        memset(ExcelPath, 'X', sizeof ExcelPath);
        ExcelPath[0] = '\0';
        // The Excel that the registry names below: a program that is there.
        CreateDirectoryA("C:\\Office", NULL);
        ASSERT_TRUE(copy_from_build("stand-in-excel16.exe", "C:\\Office\\EXCEL.EXE"));
    }
    void TearDown() override { reset_excel_registry(); }
};

const char ProgId[] = "KavorTest.Sheet";
const char CommandKey[] = "KavorTest.Sheet\\shell\\open\\command";

// Bytes of a value without the terminating zero that RegSetValueExA is usually given.
std::string unterminated(size_t length, char fill = 'a') { return std::string(length, fill); }

TEST_F(Discovery, EachAssociationStopAndFound)
{
    struct Row {
        const char *label;
        void (*arrange)();
        DiscoveryStatus expected;
    } rows[] = {
        {"no .xls key", [] {}, AssociationKeyMissing},
        {".xls key without a default value",
         [] { write_reg_string(HKEY_CLASSES_ROOT, ".xls", "Other", "x"); }, AssociationUnreadable},
        {".xls value longer than its 256-byte buffer",
         [] { write_reg_string(HKEY_CLASSES_ROOT, ".xls", NULL, unterminated(300)); },
         AssociationUnreadable},
        // 256 bytes with no zero: the terminator would have no room.
        {".xls binary value filling the buffer without a terminator",
         [] { write_reg_bytes(HKEY_CLASSES_ROOT, ".xls", NULL, REG_BINARY, unterminated(256)); },
         AssociationUnreadable},
        {"empty .xls value", [] { write_reg_string(HKEY_CLASSES_ROOT, ".xls", NULL, ""); },
         AssociationEmpty},
        {"no open command key",
         [] { write_reg_string(HKEY_CLASSES_ROOT, ".xls", NULL, ProgId); }, OpenCommandMissing},
        {"open command longer than its 260-byte buffer",
         [] { register_xls_command("C:\\" + unterminated(300) + "\\EXCEL.EXE"); },
         OpenCommandUnreadable},
        // 240 + "\shell\open\command" does not fit the 256-byte association buffer.
        {"association value too long to append the command key",
         [] { write_reg_string(HKEY_CLASSES_ROOT, ".xls", NULL, unterminated(240)); },
         PathTooLong},
        {"registered command", [] { register_xls_command("\"C:\\Office\\EXCEL.EXE\" \"%1\""); },
         Found},
    };
    for (const Row &row : rows) {
        reset_excel_registry();
        row.arrange();
        EXPECT_EQ(row.expected, locate_excel(ExcelClass)) << row.label;
    }
    EXPECT_STREQ("c:\\office\\excel.exe", ExcelPath);
    EXPECT_STREQ("KavorTest.Sheet", ExcelClass);
}

TEST_F(Discovery, OpenCommandKeyWithoutDefaultValueGivesAnEmptyCommand)
{
    // RegQueryValueA reports success and an empty string for a key without a default value.
    write_reg_string(HKEY_CLASSES_ROOT, ".xls", NULL, ProgId);
    write_reg_string(HKEY_CLASSES_ROOT, CommandKey, "Other", "x");
    strcpy(ExcelPath, "stale");
    EXPECT_EQ(Found, locate_excel(ExcelClass));
    EXPECT_STREQ("", ExcelPath);
}

TEST_F(Discovery, UnterminatedValuesAreTerminatedInsideTheirBuffers)
{
    // A binary association value without its zero still names the program id.
    write_reg_bytes(HKEY_CLASSES_ROOT, ".xls", NULL, REG_BINARY, ProgId);
    write_reg_bytes(HKEY_CLASSES_ROOT, CommandKey, NULL, REG_BINARY, "C:\\Office\\EXCEL.EXE");
    EXPECT_EQ(Found, locate_excel(ExcelClass));
    EXPECT_STREQ("c:\\office\\excel.exe", ExcelPath);
    EXPECT_STREQ(ProgId, ExcelClass);

    // An open command of exactly 260 bytes without a zero is refused, never read past.
    memset(ExcelPath, 'X', sizeof ExcelPath);
    write_reg_bytes(HKEY_CLASSES_ROOT, CommandKey, NULL, REG_BINARY, unterminated(260));
    EXPECT_EQ(OpenCommandUnreadable, locate_excel(ExcelClass));
    EXPECT_EQ('\0', ExcelPath[0]);
}

TEST_F(Discovery, CleaningTheOpenCommand)
{
    struct Row {
        const char *label;
        const char *command;
        const char *cleaned;
    } rows[] = {
        {"quoted with a switch", "\"C:\\Program Files\\Microsoft Office\\Office16\\EXCEL.EXE\" /dde",
         "c:\\program files\\microsoft office\\office16\\excel.exe"},
        {"unquoted with a switch", "C:\\OFFICE97\\Office\\EXCEL.EXE /e \"%1\"",
         "c:\\office97\\office\\excel.exe"},
        {"first .exe wins inside a folder name", "C:\\Tools.EXE.d\\Office\\EXCEL.EXE",
         "c:\\tools.exe"},
        {"lone opening quote loses only that character", "\"C:\\Office\\Excel %1",
         "c:\\office\\excel %1"},
        {"no quote and no .exe stays whole", "C:\\Office\\Excel /e", "c:\\office\\excel /e"},
        {"empty", "", ""},
        // Only A to Z change: other letters keep their bytes, and so the folder they name.
        {"Cyrillic capitals stay", "C:\\Программы\\EXCEL.EXE /e", "c:\\Программы\\excel.exe"},
        {"letters whose lower case differs in length stay", "\"C:\\Ⱦ ẞ İ\\EXCEL.EXE\" \"%1\"",
         "c:\\Ⱦ ẞ İ\\excel.exe"},
    };
    for (const Row &row : rows) {
        strcpy(ExcelPath, row.command);
        clean_excel_command();
        EXPECT_STREQ(row.cleaned, ExcelPath) << row.label;
    }
}

TEST_F(Discovery, MajorVersionFromTheVersionResource)
{
    std::string folder = make_temp_folder("version");
    struct Row {
        int resource; // 0: none
        DiscoveryStatus expected;
        int major;
    } rows[] = {{16, Found, 16}, {9, Found, 9}, {8, Found, 8}, {0, VersionUnavailable, -1}};
    for (const Row &row : rows) {
        char name[32];
        snprintf(name, sizeof name, "EXCEL%d.EXE", row.resource);
        std::string path = install_stand_in_excel(folder, row.resource, name);
        strcpy(ExcelPath, path.c_str());
        int major = -1;
        EXPECT_EQ(row.expected, read_excel_major_version(&major)) << name;
        EXPECT_EQ(row.major, major) << name;
    }
    strcpy(ExcelPath, (folder + "MISSING.EXE").c_str());
    int major = -1;
    EXPECT_EQ(VersionUnavailable, read_excel_major_version(&major));
}

const char General16[] = "Software\\Microsoft\\Office\\16.0\\Common\\General";
const char Excel8[] = "Software\\Microsoft\\Office\\8.0\\Excel\\Microsoft Excel";

TEST_F(Discovery, Office2000AndLaterUseTheApplicationDataFolder)
{
    std::string microsoft = application_data_folder() + "\\Microsoft\\";
    ASSERT_GT(microsoft.size(), strlen("\\Microsoft\\"));
    struct Row {
        const char *label;
        int major;
        void (*arrange)();
        const char *expected_tail;
    } rows[] = {
        {"no Common\\General key: the default name", 16, [] {}, "AddIns\\"},
        {"key without an AddIns value", 16,
         [] { write_reg_string(HKEY_CURRENT_USER, General16, "Other", "x"); }, "AddIns\\"},
        {"named sub-folder", 16,
         [] { write_reg_string(HKEY_CURRENT_USER, General16, "AddIns", "Complementos"); },
         "Complementos\\"},
        {"empty AddIns value is used as it reads", 16,
         [] { write_reg_string(HKEY_CURRENT_USER, General16, "AddIns", ""); }, "\\"},
        {"value ending with a backslash", 16,
         [] { write_reg_string(HKEY_CURRENT_USER, General16, "AddIns", "Makros\\"); },
         "Makros\\\\"},
        {"overlong value is a failed read: the default name", 16,
         [] { write_reg_string(HKEY_CURRENT_USER, General16, "AddIns", unterminated(300)); },
         "AddIns\\"},
        {"version 9 reads the Office\\9.0 key", 9,
         [] {
             write_reg_string(HKEY_CURRENT_USER, General16, "AddIns", "Wrong");
             write_reg_string(HKEY_CURRENT_USER, "Software\\Microsoft\\Office\\9.0\\Common\\General",
                              "AddIns", "Office2000");
         },
         "Office2000\\"},
    };
    for (const Row &row : rows) {
        reset_excel_registry();
        row.arrange();
        char AddinFolder[PathCapacity];
        ASSERT_EQ(Found, resolve_addin_folder(row.major, AddinFolder)) << row.label;
        EXPECT_EQ(microsoft + row.expected_tail, AddinFolder) << row.label;
    }
}

TEST_F(Discovery, Excel97AndEarlierUseAddInPathOrLibrary)
{
    struct Row {
        const char *label;
        int major;
        const char *excel;
        void (*arrange)();
        const char *expected;
    } rows[] = {
        {"first of several folders", 8, "c:\\office\\excel.exe",
         [] { write_reg_string(HKEY_CURRENT_USER, Excel8, "AddIn Path", "D:\\Addins;E:\\More"); },
         "D:\\Addins\\"},
        {"value ending with a backslash", 8, "c:\\office\\excel.exe",
         [] { write_reg_string(HKEY_CURRENT_USER, Excel8, "AddIn Path", "D:\\Addins\\"); },
         "D:\\Addins\\\\"},
        {"no key: Library beside Excel", 8, "c:\\office97\\office\\excel.exe", [] {},
         "c:\\office97\\office\\Library\\"},
        {"no value: Library beside Excel", 8, "c:\\office\\excel.exe",
         [] { write_reg_string(HKEY_CURRENT_USER, Excel8, "Other", "x"); },
         "c:\\office\\Library\\"},
        // An empty first entry would name the root of the current drive.
        {"empty first entry: Library beside Excel", 8, "c:\\office\\excel.exe",
         [] { write_reg_string(HKEY_CURRENT_USER, Excel8, "AddIn Path", ";D:\\Addins"); },
         "c:\\office\\Library\\"},
        {"unterminated binary value filling the buffer: Library", 8, "c:\\office\\excel.exe",
         [] { write_reg_bytes(HKEY_CURRENT_USER, Excel8, "AddIn Path", REG_BINARY, unterminated(260)); },
         "c:\\office\\Library\\"},
        {"version 0 reads the Office\\0.0 key", 0, "c:\\office\\excel.exe",
         [] {
             write_reg_string(HKEY_CURRENT_USER, "Software\\Microsoft\\Office\\0.0\\Excel\\Microsoft Excel",
                              "AddIn Path", "C:\\Zero");
         },
         "C:\\Zero\\"},
        {"version 0 without its key: Library", 0, "d:/xl/excel.exe", [] {}, "d:/xl/Library\\"},
        {"no folder at all: relative Library", 0, "", [] {}, "Library\\"},
    };
    for (const Row &row : rows) {
        reset_excel_registry();
        row.arrange();
        strcpy(ExcelPath, row.excel);
        char AddinFolder[PathCapacity];
        ASSERT_EQ(Found, resolve_addin_folder(row.major, AddinFolder)) << row.label;
        EXPECT_STREQ(row.expected, AddinFolder) << row.label;
    }
}

TEST_F(Discovery, NoApplicationDataFolderIsAStopNotTheDriveRoot)
{
    break_application_data_folder();
    char AddinFolder[PathCapacity];
    EXPECT_EQ(SpecialFolderServiceMissing, resolve_addin_folder(16, AddinFolder));
    // The Excel 97 branch does not need it.
    strcpy(ExcelPath, "c:\\office\\excel.exe");
    EXPECT_EQ(Found, resolve_addin_folder(8, AddinFolder));
}

TEST_F(Discovery, FoldersThatWouldNotFitAreRefusedWhole)
{
    char AddinFolder[PathCapacity];
    // 259 bytes fit the read, but not the final backslash.
    write_reg_string(HKEY_CURRENT_USER, Excel8, "AddIn Path", "C:\\" + unterminated(256));
    EXPECT_EQ(PathTooLong, resolve_addin_folder(8, AddinFolder));

    write_reg_string(HKEY_CURRENT_USER, General16, "AddIns", unterminated(250));
    EXPECT_EQ(PathTooLong, resolve_addin_folder(16, AddinFolder));

    // A directory beyond the 255 characters the split keeps.
    reset_excel_registry();
    strcpy(ExcelPath, ("c:\\" + unterminated(254) + "\\x").c_str());
    EXPECT_EQ(PathTooLong, resolve_addin_folder(8, AddinFolder));
}

} // namespace
