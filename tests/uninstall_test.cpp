// addin-uninstall as a person meets it: started from its shipment folder, its message
// read and answered by automation, the add-in folder checked on disk afterwards.
#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

const DWORD Deadline = 30000;
const char Excel8[] = "Software\\Microsoft\\Office\\8.0\\Excel\\Microsoft Excel";

const char MarkedWorkbookText[] =
    "Windows has marked the file DEL_ADDIN.XLS as downloaded from the Internet, and Excel blocks the macros "
    "of such files: the Add-In would stay registered in Excel after its files are deleted. The Add-In "
    "uninstallation cannot continue. To unblock the package, right-click the downloaded zip file, click "
    "Properties, tick \"Unblock\" and click OK; then extract the zip file again and run addin-uninstall.exe "
    "from the new folder. Shutting down.";
const char MissingWorkbookText[] =
    "The file DEL_ADDIN.XLS is missing from the folder of addin-uninstall.exe, and without it the Add-In would "
    "stay registered in Excel after its files are deleted. The Add-In uninstallation cannot continue. Extract the "
    "whole zip file of this package first (right-click it, then click \"Extract All\"), and run "
    "addin-uninstall.exe from the extracted folder: it cannot be run from inside the zip file. Shutting down.";
const char ManualRemovalText[] =
    "The uninstallation script had trouble finding the Add-Ins folder for Microsoft Excel. "
    "The Kavor Add-In for Excel will not be uninstalled automatically. To delete the Add-In, "
    "use Explorer to search for KAVORLIB.XLA. If/when found, delete the files KAVORLIB.XLA "
    "and KAVORLIB.DLL.";

class Uninstaller : public ::testing::Test {
protected:
    std::string shipment;
    std::string office;
    std::string calc; // LibreOffice's program folder, when a test lets it own ".xls"

    void SetUp() override
    {
        reset_excel_registry();
        shipment = make_temp_folder("shipment 設定 Łukasz");
        office = make_temp_folder("office");
        calc = make_temp_folder("LibreOffice");
        ASSERT_TRUE(copy_from_build(UninstallerProgram, shipment + UninstallerProgram));
        write_file(shipment + RemovalWorkbookFile, "removal workbook");
    }
    void TearDown() override { reset_excel_registry(); }

    // The folder Office 2000 and later load add-ins from, with the three files and a stranger.
    std::string lay_application_data_addins(const std::string &application_data = application_data_folder())
    {
        std::string microsoft = application_data + "\\Microsoft\\";
        CreateDirectoryA(microsoft.c_str(), NULL);
        std::string folder = microsoft + "AddIns\\";
        CreateDirectoryA(folder.c_str(), NULL);
        lay_addin_files(folder);
        return folder;
    }

    // Makes the folder if need be; gives it back.
    std::string lay_addin_files(const std::string &folder)
    {
        CreateDirectoryA(folder.c_str(), NULL);
        write_file(folder + LibraryFile, "library", FILE_ATTRIBUTE_READONLY);
        write_file(folder + AddinWorkbookFile, "add-in", FILE_ATTRIBUTE_HIDDEN);
        write_file(folder + HelpFile, "help", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
        write_file(folder + "other.xla", "someone else's add-in");
        return folder;
    }

    void expect_addin_files(const std::string &folder, bool present)
    {
        for (const char *name : AddinFiles)
            EXPECT_EQ(present, file_exists(folder + name)) << folder + name;
        EXPECT_EQ("someone else's add-in", read_file(folder + "other.xla"));
    }

    // Opened once, in a window the user sees, by the Excel in office.
    void expect_removal_workbook_opened(const Launched &run)
    {
        expect_opened_by(opened_after(run, office), shipment + RemovalWorkbookFile, office + "EXCEL.EXE");
    }

    std::string program() const { return shipment + UninstallerProgram; }
};

TEST_F(Uninstaller, DeletesTheThreeFilesWhateverTheirAttributes)
{
    struct Row {
        const char *label;
        std::function<std::string()> arrange; // gives the add-in folder, laid out
    } rows[] = {
        {"the profile's application-data folder",
         [&] {
             install_stand_in_excel(office, 16);
             return lay_application_data_addins();
         }},
        {"an application-data folder named outside code page 1252",
         [&] {
             std::string folder = move_application_data_folder();
             install_stand_in_excel(office, 16);
             return lay_application_data_addins(folder);
         }},
        {"Excel 97 in a Cyrillic folder: Library beside it",
         [&] { return lay_addin_files(install_excel97_in(office, "Программы")); }},
        // Lower-cased, these letters change their length in bytes, and "İ" becomes "i".
        {"Excel 97 in a folder of letters whose lower case differs in length: Library beside it",
         [&] { return lay_addin_files(install_excel97_in(office, "Ⱦ ẞ İ")); }},
        // An empty first entry would name the root of the current drive.
        {"Excel 97 with an empty AddIn Path: Library beside it",
         [&] {
             std::string library = install_excel97_in(office, "office97");
             write_reg_string(HKEY_CURRENT_USER, Excel8, "AddIn Path", "");
             return lay_addin_files(library);
         }},
        {"LibreOffice owns .xls, Excel's own class names Excel",
         [&] {
             install_stand_in_excel(office, 16);
             let_calc_take_xls(calc, office + "EXCEL.EXE");
             return lay_application_data_addins();
         }},
        // Excel is started by its path, not through a class.
        {"LibreOffice owns .xls, App Paths names Excel 97",
         [&] {
             std::string folder = lay_addin_files(install_excel97_in(office, "office97"));
             let_calc_take_xls(calc);
             write_reg_string(HKEY_LOCAL_MACHINE, ExcelAppPath, NULL, office + "EXCEL.EXE");
             return folder;
         }},
        // Last: the marks stay. Only the removal workbook's own mark matters.
        {"the add-in's files beside it marked as downloaded, the workbook from a trusted site",
         [&] {
             for (const char *name : AddinFiles)
                 mark_downloaded(lay_addin_files(shipment) + name, "[ZoneTransfer]\r\nZoneId=3\r\n");
             mark_downloaded(shipment + RemovalWorkbookFile, "[ZoneTransfer]\r\nZoneId=2\r\n");
             install_stand_in_excel(office, 16);
             return lay_application_data_addins();
         }},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        reset_excel_registry();
        office = make_temp_folder("office");
        calc = make_temp_folder("LibreOffice");
        std::string folder = row.arrange();
        // What the installer could not delete, and the user's own file named alike.
        write_file(folder + "kav1A2B.tmp", "earlier library");
        write_file(folder + "kavnotes.tmp", "the user's");

        Launched run;
        ASSERT_TRUE(launch(program(), run));
        ASSERT_TRUE(runs_silently(run, Deadline));
        EXPECT_EQ(0u, exit_status(run));

        expect_addin_files(folder, false);
        EXPECT_EQ(folder_state(folder, "kav*.tmp"), folder_state(folder, "kavnotes.tmp")) << "only the user's file stays";
        EXPECT_TRUE(DeleteFileA((folder + "kavnotes.tmp").c_str())) << "the user's kavnotes.tmp deleted";
        EXPECT_TRUE(file_exists(folder)) << "the add-in folder itself stays";
        expect_removal_workbook_opened(run);
        EXPECT_EQ("", read_file(opened_record_path(calc))) << "opened by LibreOffice";
    }
}

// Exit status 0 when the files are gone, whoever deleted them, without a message.
TEST_F(Uninstaller, FilesAlreadyGoneBringNoMessage)
{
    install_stand_in_excel(office, 8);
    std::string folder = make_temp_folder("addin-path");
    write_reg_string(HKEY_CURRENT_USER, Excel8, "AddIn Path",
                     folder.substr(0, folder.size() - 1) + ";C:\\Elsewhere");
    lay_addin_files(folder);

    Launched first;
    ASSERT_TRUE(launch(program(), first));
    ASSERT_TRUE(runs_silently(first, Deadline));
    EXPECT_EQ(0u, exit_status(first));
    expect_addin_files(folder, false);

    Launched second;
    ASSERT_TRUE(launch(program(), second));
    ASSERT_TRUE(runs_silently(second, Deadline));
    EXPECT_EQ(0u, exit_status(second));
    EXPECT_TRUE(file_exists(folder));
}

// Excel holds the loaded add-in's workbook and library open until it ends: the user is
// told which files are left where, and closes Excel and retries, or cancels.
TEST_F(Uninstaller, FilesExcelHoldsOpenAreNamedUntilTheUserClosesExcelAndRetries)
{
    install_stand_in_excel(office, 8);
    std::string folder = make_temp_folder("addin-path");
    write_reg_string(HKEY_CURRENT_USER, Excel8, "AddIn Path", folder.substr(0, folder.size() - 1));
    for (int answer : {IDRETRY, IDCANCEL}) {
        SCOPED_TRACE(answer == IDRETRY ? "Retry once Excel is closed" : "Cancel");
        lay_addin_files(folder);
        std::string before = folder_state(folder, "kavorlib.*"); // the two files Excel holds
        ExcelWindow excel("KavorTestWindow", "Book1 - Excel", false,
                          {folder + LibraryFile, folder + "KAVORLIB.XLA"});
        // A reader that shares kavor.hlp for deletion keeps its name until it lets go; it is deleted all the same.
        HANDLE reader = CreateFileA((folder + HelpFile).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                    NULL, OPEN_EXISTING, 0, NULL);
        Launched run;
        ASSERT_TRUE(launch(program(), run));
        HWND window = expect_message(
            run,
            "The files kavorlib.dll and KAVORLIB.XLA could not be deleted from the Add-In folder " + folder +
                " because Microsoft Excel, or another program, still has them open. Let the removal workbook "
                "finish in Excel (click \"Enable Content\" if Excel asks), close Excel, then click Retry. Cancel "
                "leaves them in that folder.",
            {IDRETRY, IDCANCEL}, true);
        ASSERT_TRUE(window != NULL);
        if (answer == IDRETRY)
            excel.close();
        answer_and_expect_end(run, window, answer, answer == IDRETRY ? 0 : 2);
        CloseHandle(reader);
        EXPECT_FALSE(file_exists(folder + HelpFile));
        if (answer == IDRETRY) {
            expect_addin_files(folder, false);
        } else {
            EXPECT_EQ(before, folder_state(folder, "kavorlib.*")) << "the files left are not as they were";
            excel.close();
        }
        EXPECT_EQ("someone else's add-in", read_file(folder + "other.xla"));
    }
}

TEST_F(Uninstaller, EveryStopShowsItsMessage)
{
    const std::string workbook = shipment + RemovalWorkbookFile;
    struct Row {
        const char *label;
        int excel; // stand-in Excel version resource, 0 none, -1 not installed
        std::function<void()> arrange;
        int answer; // IDOK: a stop of its own (OK, exclamation icon), else the manual-removal message
        std::string text = ManualRemovalText;
    } rows[] = {
        {"no .xls association", -1, [] {}, IDYES},
        {"empty .xls association", -1,
         [] { write_reg_string(HKEY_CLASSES_ROOT, ".xls", NULL, ""); }, IDNO},
        // LibreOffice cannot run the removal workbook: it goes to nobody. Entries that name an
        // Excel since removed name none.
        {"LibreOffice owns .xls, Excel's class and App Paths name a removed Excel", -1,
         [&] {
             let_calc_take_xls(calc, office + "removed\\EXCEL.EXE");
             write_reg_string(HKEY_LOCAL_MACHINE, ExcelAppPath, NULL, office + "removed\\EXCEL.EXE");
         },
         IDYES},
        {"Excel without a version resource", 0, [] {}, IDCANCEL},
        // 250 bytes of folder leave no room for "kavorlib.dll" in a 260-byte path.
        {"add-in folder too long to hold a file name", 8,
         [] {
             write_reg_string(HKEY_CURRENT_USER, Excel8, "AddIn Path", "C:\\" + std::string(247, 'p'));
         },
         IDYES},
        {"no application-data folder", 16, break_application_data_folder, IDNO},
        // "|" is no character of a file name: whether the files are there is unknown.
        {"an add-in folder Windows cannot look into", 8,
         [] { write_reg_string(HKEY_CURRENT_USER, Excel8, "AddIn Path", "C:\\no|such"); }, IDCANCEL},
        // Before the hand-off: nothing is opened, nothing deleted.
        {"the removal workbook marked as downloaded from the Internet", 16,
         [&] { mark_downloaded(shipment + RemovalWorkbookFile, "[ZoneTransfer]\r\nZoneId=3\r\n"); }, IDOK,
         MarkedWorkbookText},
        // The uninstaller opened inside a zip file in Explorer: extracted alone.
        {"no removal workbook", 16, [&] { DeleteFileA(workbook.c_str()); }, IDOK, MissingWorkbookText},
        {"a folder by the removal workbook's name", 16,
         [&] { DeleteFileA(workbook.c_str()); CreateDirectoryA(workbook.c_str(), NULL); }, IDOK, MissingWorkbookText},
        {"Excel 16 set by policy to disable all macros without notification", 16,
         [] {
             write_reg_bytes(HKEY_CURRENT_USER, "Software\\Policies\\Microsoft\\Office\\16.0\\Excel\\Security",
                             "VBAWarnings", REG_DWORD, std::string("\4\0\0\0", 4));
         },
         IDOK,
         "Microsoft Excel is set by your organization's policy to disable all macros without notification, so the "
         "macros of DEL_ADDIN.XLS, which removes the Add-In from Excel, would not run. The Add-In uninstallation "
         "cannot continue: please ask your administrator to allow macros with notification; no setting in Excel "
         "itself can change this. Shutting down."},
        // Excel 2007 has its Office Button where later ones have the File tab.
        // An empty signature stream signs nothing.
        {"Excel 2007 set by its user to run only signed macros, DEL_ADDIN.XLS's signature stream empty", 12,
         [&] {
             EXPECT_TRUE(write_workbook(workbook.c_str(), "empty DigitalSignature"));
             write_reg_bytes(HKEY_CURRENT_USER, "Software\\Microsoft\\Office\\12.0\\Excel\\Security", "VBAWarnings",
                             REG_DWORD, std::string("\3\0\0\0", 4));
         },
         IDOK,
         "No digital signature was found on the macros of DEL_ADDIN.XLS, which removes the Add-In from Excel, and "
         "Microsoft Excel is set to run only digitally signed macros, so they would not run. The Add-In "
         "uninstallation cannot continue: in Excel, click the Office Button > Excel Options > Trust Center > Trust "
         "Center Settings > Macro Settings, select \"Disable all macros with notification\" and click OK, then run "
         "addin-uninstall.exe again and click \"Enable Content\" when Excel asks. Shutting down."},
        // Last: the uninstaller runs from N: from here on. Nothing is opened, nothing deleted.
        {"the package on a network drive in the Internet zone", 16,
         [&] {
             shipment = std::string(NetworkDrive) + "kavor uninstall\\";
             CreateDirectoryA(shipment.c_str(), NULL);
             EXPECT_TRUE(copy_from_build(UninstallerProgram, program()));
             write_file(shipment + RemovalWorkbookFile, "removal workbook");
         },
         IDOK,
         "The folder N:\\kavor uninstall\\ lies on a network location that Windows counts as the Internet zone, so "
         "the macros of DEL_ADDIN.XLS, which removes the Add-In from Excel, would be blocked by Excel. The Add-In "
         "uninstallation cannot continue: copy the whole folder to this computer and run addin-uninstall.exe from "
         "the copy, or ask your administrator to add the server to the Local intranet or Trusted sites zone. "
         "Shutting down."},
    };
    std::string folder = lay_application_data_addins();
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        reset_excel_registry();
        DeleteFileA(opened_record_path(office).c_str());
        RemoveDirectoryA(workbook.c_str());
        write_file(workbook, "removal workbook");
        mark_downloaded(workbook, "");
        if (row.excel >= 0)
            install_stand_in_excel(office, row.excel);
        row.arrange();

        Launched run;
        ASSERT_TRUE(launch(program(), run));
        bool own_stop = row.answer == IDOK;
        HWND window = expect_message(run, row.text,
                                     own_stop ? std::vector<int>{IDOK} : std::vector<int>{IDYES, IDNO, IDCANCEL}, own_stop);
        ASSERT_TRUE(window != NULL);
        press_button(window, row.answer);
        ASSERT_TRUE(wait_for_exit(run, Deadline)) << "still running after the answer";
        EXPECT_EQ(1u, exit_status(run));

        expect_addin_files(folder, true);
        // Handed to Excel once found, before the add-in folder is looked for.
        if (row.excel >= 0 && !own_stop)
            expect_removal_workbook_opened(run);
        else
            EXPECT_EQ("", opened_after(run, office));
        EXPECT_EQ("", read_file(opened_record_path(calc))) << "opened by LibreOffice";
    }
}

} // namespace
