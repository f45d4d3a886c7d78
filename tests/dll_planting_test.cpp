// A "version.dll" planted beside the programs, as a stranger's DLL may lie in a download
// folder, is never loaded.
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

const DWORD Deadline = 30000;

class DllPlanting : public ::testing::Test {
protected:
    std::string shipment;
    std::string office;
    std::string addins;

    void SetUp() override
    {
        reset_excel_registry();
        shipment = make_temp_folder("planted");
        office = make_temp_folder("office");
        ASSERT_TRUE(copy_from_build("planted\\version.dll", shipment + "version.dll"));
        // The programs built as they ship: the test build's stack protector loads DLLs of
        // its own before main.
        for (const char *program : {InstallerProgram, UninstallerProgram})
            ASSERT_TRUE(copy_from_build(std::string("shipped-flags\\") + program, shipment + program));
        ASSERT_TRUE(copy_from_build("version-probe.exe", shipment + "version-probe.exe"));
        for (const char *name :
             {LibraryFile, AddinWorkbookFile, HelpFile, SetupWorkbookFile, RemovalWorkbookFile})
            write_file(shipment + name, name);
        install_stand_in_excel(office, 16);
        addins = application_data_folder() + "\\Microsoft\\KavorPlanted\\";
        write_reg_string(HKEY_CURRENT_USER, "Software\\Microsoft\\Office\\16.0\\Common\\General",
                         "AddIns", "KavorPlanted");
    }
    void TearDown() override
    {
        reset_excel_registry();
    }

    bool planted_dll_loaded() const { return file_exists(shipment + "planted-version-loaded.txt"); }

    void run(const char *program)
    {
        Launched process;
        ASSERT_TRUE(launch(shipment + program, process));
        ASSERT_TRUE(runs_silently(process, Deadline));
    }
};

TEST_F(DllPlanting, ProgramsReadExcelsVersionWithoutLoadingThePlantedDll)
{
    // Control: an ordinary import of VERSION.dll takes the planted copy here. CTest runs
    // this with WINEDLLOVERRIDES=version=n,b: Wine otherwise prefers its own DLLs, and
    // with it searches the way Windows does.
    run("version-probe.exe");
    ASSERT_TRUE(planted_dll_loaded()) << "the planted DLL is not found the way Windows finds it";
    ASSERT_TRUE(DeleteFileA((shipment + "planted-version-loaded.txt").c_str()));

    // Excel 16's version read correctly: the files go to the Office 2000 and later folder.
    run(InstallerProgram);
    EXPECT_FALSE(planted_dll_loaded()) << "the installer loaded the planted version.dll";
    EXPECT_EQ(AddinWorkbookFile, read_file(addins + AddinWorkbookFile));

    run(UninstallerProgram);
    EXPECT_FALSE(planted_dll_loaded()) << "the uninstaller loaded the planted version.dll";
    EXPECT_FALSE(file_exists(addins + AddinWorkbookFile));
}

} // namespace
