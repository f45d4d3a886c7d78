// addin-install as a person meets it: started from its shipment folder, every message and
// the Where-is-Excel dialog read and answered by automation, the add-in folder checked on disk.
#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

const DWORD Deadline = 30000;

const char RunningExcelText[] =
    "The Setup program has detected that Microsoft Excel is running. The Add-In installation "
    "cannot work properly until you close Excel. If you wish to proceed with the Add-In "
    "installation, close Excel then click OK. Otherwise click Cancel.";
const char VersionQuestionText[] =
    "The installation script had trouble determining which version of Excel is installed. Do "
    "you have Office 2000 of a later version of Excel? If so, click Yes. Click No if you have "
    "Excel 97 or an earlier version, or click Cancel to abort the Add-In installation.";
const char NoExcelText[] =
    " This system does not seem to have Microsoft Excel (required for the Excel Add-In) "
    "installed. Shutting down.";

// The stops of a package that cannot work as it lies.
std::string missing_text(const std::string &file)
{
    return "The file " + file + " is missing from the Setup program's folder. The Add-In installation cannot "
           "continue. Extract the whole zip file of this package first (right-click it, then click \"Extract "
           "All\"), and run Setup from the extracted folder: Setup cannot be run from inside the zip file. "
           "Shutting down.";
}
const char DamagedLibrary64Text[] =
    "The file kavorlib64.dll in the Setup program's folder is not a whole library for 64-bit Excel: it is "
    "damaged, incomplete or built for another kind of processor. The Add-In installation cannot continue: "
    "please get this Add-In package again from whoever supplied it. Shutting down.";
// What a mark does: Excel blocks the macros of a marked workbook; any other file only
// carries its mark along, and the library for 64-bit Excel only into a 64-bit Excel.
const char KeepsMark[] = "its copy in Excel's Add-In folder would keep that mark";
std::string marked_text(const std::string &file, const char *effect = "Excel blocks the macros of such files")
{
    return "Windows has marked the file " + file + " as downloaded from the Internet, and " + effect +
           ". The Add-In installation cannot continue. To unblock the package, right-click the downloaded zip "
           "file, click Properties, tick \"Unblock\" and click OK; then extract the zip file again and run Setup "
           "from the new folder. Shutting down.";
}
// What is too long, and what the user can do about it.
std::string too_long_text(const std::string &subject, const std::string &remedy)
{
    return subject + " is too long for the Setup program. The Add-In installation cannot continue: " + remedy +
           ". Shutting down.";
}
const char MoveThePackage[] = "move the package to a folder with a shorter path and run Setup from there";

const char Excel8[] = "Software\\Microsoft\\Office\\8.0\\Excel\\Microsoft Excel";
// Excel's macro setting, where a cloud policy, a group policy or the user's Trust Center
// writes it.
const char CloudSecurity16[] = "Software\\Policies\\Microsoft\\Cloud\\Office\\16.0\\Excel\\Security";
const char PolicySecurity16[] = "Software\\Policies\\Microsoft\\Office\\16.0\\Excel\\Security";
const char UserSecurity16[] = "Software\\Microsoft\\Office\\16.0\\Excel\\Security";
const char UserSecurity15[] = "Software\\Microsoft\\Office\\15.0\\Excel\\Security";
void set_dword(HKEY root, const std::string &key, const char *name, char value)
{
    write_reg_bytes(root, key, name, REG_DWORD, std::string(1, value) + std::string(3, '\0'));
}
void set_macro_setting(const char *key, char value) { set_dword(HKEY_CURRENT_USER, key, "VBAWarnings", value); }
const std::vector<int> OkOnly = {IDOK};
const std::vector<int> YesNoCancel = {IDYES, IDNO, IDCANCEL};

// ANSI file functions stop at 260 bytes; the wide ones with "\\?\" do not.
bool create_long_folder(const std::string &path)
{
    std::wstring wide = L"\\\\?\\" + std::wstring(path.begin(), path.end());
    return CreateDirectoryW(wide.c_str(), NULL) != 0;
}

class Installer : public ::testing::Test {
protected:
    std::string shipment;
    std::string office;
    std::string addins; // the registry's "AddIn Path" for a stand-in Excel 97
    std::string calc;   // LibreOffice's program folder, when a test lets it own ".xls"
    std::string program = InstallerProgram; // as it lies in the shipment
    std::string users_tmp_files;            // files of the user's that the installer's own names match

    void SetUp() override
    {
        reset_excel_registry();
        // A download folder named after Excel, in a name outside code page 1252: the
        // installer's own console window, titled with its path, then reads "Microsoft
        // Excel" too.
        shipment = make_temp_folder("Microsoft Excel add-ins Łukasz 山田");
        office = make_temp_folder("office");
        addins = make_temp_folder("addins");
        calc = make_temp_folder("LibreOffice");
        ASSERT_TRUE(copy_from_build(InstallerProgram, shipment + InstallerProgram));
        open_console_window(console_title());
        lay_shipment_files();
    }
    void TearDown() override { reset_excel_registry(); }

    // As Windows titles the console of a program started from Explorer.
    std::string console_title() const { return shipment + InstallerProgram; }

    // Unmarked, without kavorlib64.dll.
    // Each file whose path fits.
    void lay_shipment_files()
    {
        for (const char *name :
             {LibraryFile, AddinWorkbookFile, HelpFile, SetupWorkbookFile, "kavorlib64.dll"}) {
            mark_downloaded(shipment + name, "");
            RemoveDirectoryA((shipment + name).c_str());
        }
        DeleteFileA((shipment + "kavorlib64.dll").c_str());
        for (const char *name : {LibraryFile, AddinWorkbookFile, HelpFile, SetupWorkbookFile})
            if ((shipment + name).size() < MAX_PATH)
                write_file(shipment + name, name == SetupWorkbookFile ? "setup workbook" : std::string("new ") + name);
    }

    // The whole shipment in a new folder this many bytes long, final backslash included,
    // with the installer as setup.exe.
    void use_long_shipment(size_t length)
    {
        std::string folder = make_temp_folder("long");
        folder += std::string(length - 1 - folder.size(), 'k');
        EXPECT_TRUE(create_long_folder(folder));
        shipment = folder + "\\";
        program = "setup.exe";
        EXPECT_TRUE(copy_from_build(InstallerProgram, shipment + program));
        lay_shipment_files();
    }

    // The registry names the folder without its final backslash, as Excel writes it.
    std::string addin_path() const { return addins.substr(0, addins.size() - 1); }

    void use_excel97(int version_resource = 8)
    {
        install_stand_in_excel(office, version_resource);
        write_reg_string(HKEY_CURRENT_USER, Excel8, "AddIn Path", addin_path());
    }

    bool launch_installer(Launched &run) { return launch(shipment + program, run); }

    // library: what kavorlib.dll must hold, when not the shipment's own.
    void expect_installed(const std::string &folder, const std::string &library = "")
    {
        for (const char *name : AddinFiles) {
            std::string expected = read_file(shipment + name); // as shipped: "new kavorlib.xla", or a workbook
            if (name == LibraryFile && !library.empty())
                expected = library;
            EXPECT_EQ(expected, read_file(folder + name)) << folder + name;
        }
        EXPECT_FALSE(file_exists(folder + "kavorlib64.dll")) << "kavorlib64.dll installed under its own name";
        EXPECT_EQ(users_tmp_files, folder_state(folder, "kav*.tmp")) << "the installer's own files left";
    }

    // The shipment's libraries: kavorlib.dll, and kavorlib64.dll unless bits64 is 0, as
    // real DLLs of those kinds; gives the bytes of the one given as expected.
    std::string library_bytes(int bits) const { return read_file(build_folder() + tiny_library(bits)); }
    std::string ship_libraries(int bits, int bits64, int expected)
    {
        std::string library = library_bytes(bits);
        write_file(shipment + "kavorlib.dll", library);
        if (bits64 == 0)
            return library;
        std::string library64 = library_bytes(bits64);
        write_file(shipment + "kavorlib64.dll", library64);
        return expected == bits64 ? library64 : library;
    }

    // The stop for an Excel that cannot load the shipment's library.
    std::string library_mismatch_text(int excel, int library) const
    {
        std::string e = std::to_string(excel), l = std::to_string(library);
        return "The Setup program has detected that Microsoft Excel (" + excel_path_as_cleaned() + ") is " +
               e + "-bit, but the Add-In's library in this package is " + l + "-bit, and " + e +
               "-bit Excel cannot load a " + l + "-bit library. The Add-In installation cannot "
               "continue: please get this Add-In for " + e + "-bit Excel from whoever supplied it. "
               "Shutting down.";
    }

    std::string excel_path_as_cleaned() const
    {
        std::string path = office + "EXCEL.EXE";
        for (char &c : path)
            if (c >= 'A' && c <= 'Z')
                c = (char)(c - 'A' + 'a');
        return path;
    }

    // A stop: the row arranges the situation and gives the message that the installer must
    // show (OK, exclamation icon) before it ends with status 1, having opened nothing. The
    // add-in folder stays as it was unless the row says it changes; check_after checks more.
    struct StopRow {
        const char *label;
        std::function<std::string()> arrange;
        std::function<void()> check_after = nullptr;
        bool folder_changes = false;
    };
    void expect_each_stop(const std::vector<StopRow> &rows)
    {
        const std::string home = shipment;
        for (const StopRow &row : rows) {
            SCOPED_TRACE(row.label);
            reset_excel_registry();
            office = make_temp_folder("office");
            addins = make_temp_folder("addins");
            shipment = home;
            program = InstallerProgram;
            lay_shipment_files();
            std::string text = row.arrange();
            std::string before = folder_state(addins);

            Launched run;
            ASSERT_TRUE(launch_installer(run));
            HWND message = expect_message(run, text, OkOnly, true);
            if (message != NULL) // else the failure is told, and the next rows run all the same
                answer_and_expect_end(run, message, IDOK, 1);
            TerminateProcess(run.info.hProcess, 1); // one that went on, waiting for an answer
            EXPECT_EQ("", opened_after(run, office)) << "setup workbook opened";
            if (row.check_after)
                row.check_after();
            if (!row.folder_changes) {
                EXPECT_EQ(before, folder_state(addins)) << "the add-in folder changed";
            }
        }
    }

    void expect_nothing_copied(const std::string &folder)
    {
        for (const char *name : AddinFiles)
            EXPECT_FALSE(file_exists(folder + name)) << folder + name;
    }

    // Opened once, in a window the user sees (SW_SHOWNORMAL, passed on by the shell), by the
    // Excel in office, and never by LibreOffice, which got no add-in folder either.
    void expect_setup_workbook_opened(const Launched &run)
    {
        expect_opened_by(opened_after(run, office), shipment + SetupWorkbookFile, office + "EXCEL.EXE");
        EXPECT_EQ("", read_file(opened_record_path(calc))) << "opened by LibreOffice";
        EXPECT_FALSE(file_exists(calc + "Library")) << "an add-in folder beside LibreOffice";
    }
};

TEST_F(Installer, InstallsTheThreeFilesOverEarlierCopiesAndOpensTheSetupWorkbook)
{
    std::string library; // what kavorlib.dll must hold, when a row ships real libraries
    auto office16 = [&] {
        install_stand_in_excel(office, 16);
        return application_data_folder() + "\\Microsoft\\AddIns\\";
    };
    struct Row {
        const char *label;
        std::function<std::string()> arrange; // gives the add-in folder
        int excel_bits = 0; // the stand-in Excel must be of this kind and start: 0 either
        bool version_asked = false; // answered Yes; no stand-in Excel records the workbook
    } rows[] = {
        {"the profile's application-data folder, a library that is no PE image", office16},
        // The tiny 64-bit program as EXCEL.EXE: no version resource, and it records nothing
        // (32-bit Wine cannot even start it).
        {"64-bit Excel: kavorlib64.dll installed as kavorlib.dll",
         [&] {
             library = ship_libraries(32, 64, 64);
             install_built_excel(office, tiny_program(64));
             return application_data_folder() + "\\Microsoft\\AddIns\\";
         },
         0, true},
        {"64-bit Excel, kavorlib.dll alone and 64-bit",
         [&] {
             library = ship_libraries(64, 0, 64);
             return office16();
         },
         64},
        {"32-bit Excel with both libraries: kavorlib.dll",
         [&] {
             library = ship_libraries(32, 64, 32);
             return office16();
         },
         32},
        // Marks of zones whose macros Excel runs.
        {"files marked from the local intranet, trusted sites, this computer, and without a zone",
         [&] {
             mark_downloaded(shipment + LibraryFile, "[ZoneTransfer]\r\nZoneId=1\r\n");
             mark_downloaded(shipment + AddinWorkbookFile, "[ZoneTransfer]\r\nZoneId=2\r\n");
             mark_downloaded(shipment + HelpFile, "[ZoneTransfer]\r\nZoneId=0\r\n");
             mark_downloaded(shipment + SetupWorkbookFile, "[ZoneTransfer]\r\nHostUrl=about:internet\r\n");
             return office16();
         }},
        // Not in [ZoneTransfer], where GetPrivateProfileIntA looks.
        {"files marked in another section, and without a section",
         [&] {
             mark_downloaded(shipment + SetupWorkbookFile, "[Other]\r\nZoneId=3\r\n");
             mark_downloaded(shipment + AddinWorkbookFile, "ZoneId=3\r\n");
             return office16();
         }},
        {"the longest shipment folder whose download marks can be read", [&] {
             use_long_shipment(229);
             return office16();
         }},
        {"LibreOffice owns .xls, Excel's own class names Excel",
         [&] {
             std::string folder = office16();
             let_calc_take_xls(calc, office + "EXCEL.EXE");
             return folder;
         }},
        // Started by its path, not through the class that names a removed one.
        {".xls names an Excel since removed, App Paths names Excel",
         [&] {
             std::string folder = office16();
             register_xls_command("\"" + office + "removed\\EXCEL.EXE\" \"%1\"");
             write_reg_string(HKEY_LOCAL_MACHINE, ExcelAppPath, NULL, office + "EXCEL.EXE");
             return folder;
         }},
        // A bad name: Windows cannot even look, so whatever else names Excel comes first.
        {".xls names a program Windows cannot check, App Paths names Excel",
         [&] {
             std::string folder = office16();
             register_xls_command("\"" + office + "bad<name>\\EXCEL.EXE\" \"%1\"");
             write_reg_string(HKEY_LOCAL_MACHINE, ExcelAppPath, NULL, office + "EXCEL.EXE");
             return folder;
         }},
        {"a policy allows macros with notification, the user's own setting disables them all",
         [&] {
             set_macro_setting(PolicySecurity16, 2);
             set_macro_setting(UserSecurity16, 4);
             return office16();
         }},
        // Excel asks itself whether to trust a publisher.
        {"only signed macros run, the setup workbook signed with DigitalSignatureExt alone",
         [&] {
             set_macro_setting(UserSecurity16, 3);
             EXPECT_TRUE(write_workbook((shipment + SetupWorkbookFile).c_str(), "DigitalSignatureExt"));
             return office16();
         }},
        // "Open selected file types in Protected View and allow editing": the user can act.
        {"File Block opens Excel 97-2003 workbooks and add-ins in Protected View, editing allowed",
         [&] {
             for (const char *type : {"XL97WorkbooksandTemplates", "XL97AddIns", "OpenInProtectedView"})
                 set_dword(HKEY_CURRENT_USER, UserSecurity16 + std::string("\\FileBlock"), type, 2);
             return office16();
         }},
        {"a policy loads only signed add-ins, kavorlib.xla signed",
         [&] {
             set_dword(HKEY_CURRENT_USER, PolicySecurity16, "RequireAddinSig", 1);
             EXPECT_TRUE(write_workbook((shipment + AddinWorkbookFile).c_str(), "DigitalSignature"));
             return office16();
         }},
        {"an application-data folder named outside code page 1252",
         [&] {
             std::string folder = move_application_data_folder();
             install_stand_in_excel(office, 16);
             return folder + "\\Microsoft\\AddIns\\";
         }},
        // A library that Excel had mapped could not be deleted; the user's own files stay.
        {"a leftover of an earlier run beside the user's own files named alike",
         [&] {
             addins = make_temp_folder("addins");
             use_excel97();
             for (const char *name : {"kavorlib.tmp", "kav12345.tmp"})
                 write_file(addins + name, "the user's");
             users_tmp_files = folder_state(addins, "kav*.tmp");
             write_file(addins + "kav1A2B.tmp", "old library");
             return addins;
         }},
        // GetTempFileNameA takes no folder longer than 246 bytes.
        {"an add-in folder of 247 bytes, final backslash included: kavorlib.dll's path 259",
         [&] {
             use_excel97();
             std::string folder = addins + std::string(246 - addins.size(), 'f');
             write_reg_string(HKEY_CURRENT_USER, Excel8, "AddIn Path", folder);
             return folder + "\\";
         }},
        {"Excel 97 in a Cyrillic folder: Library beside it",
         [&] { return install_excel97_in(office, "Программы"); }},
        // Lower-cased, these letters change their length in bytes, and "İ" becomes "i".
        {"Excel 97 in a folder of letters whose lower case differs in length: Library beside it",
         [&] { return install_excel97_in(office, "Ⱦ ẞ İ"); }},
        // An empty first entry would name the root of the current drive.
        {"Excel 97 whose AddIn Path begins with an empty entry: Library beside it",
         [&] {
             std::string folder = install_excel97_in(office, "office97");
             write_reg_string(HKEY_CURRENT_USER, Excel8, "AddIn Path", ";" + addin_path());
             return folder;
         }},
    };
    const std::string home = shipment;
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        shipment = home;
        program = InstallerProgram;
        if (row.excel_bits != 0 && row.excel_bits != NativeBits) {
            printf("row \"%s\" runs in the %d-bit stage only\n", row.label, row.excel_bits);
            continue;
        }
        reset_excel_registry();
        office = make_temp_folder("office");
        calc = make_temp_folder("LibreOffice");
        lay_shipment_files();
        library.clear();
        users_tmp_files.clear();
        std::string folder = row.arrange();
        std::string parent = folder.substr(0, folder.rfind('\\', folder.size() - 2));
        CreateDirectoryA(parent.c_str(), NULL);
        CreateDirectoryA(folder.c_str(), NULL);
        write_file(folder + LibraryFile, "old library", FILE_ATTRIBUTE_READONLY);
        write_file(folder + AddinWorkbookFile, "old add-in", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);

        Launched run;
        ASSERT_TRUE(launch_installer(run));
        if (row.version_asked) {
            HWND question = expect_message(run, VersionQuestionText, YesNoCancel, false);
            ASSERT_TRUE(question != NULL);
            press_button(question, IDYES);
            ASSERT_TRUE(wait_for_window_gone(question, Deadline));
        }
        ASSERT_TRUE(runs_silently(run, Deadline));
        EXPECT_EQ(0u, exit_status(run));
        expect_installed(folder, library);
        if (!row.version_asked)
            expect_setup_workbook_opened(run);
    }
}

// Excel's process holds the loaded add-in's files a moment longer than its window stands
// (the test holds two of them as Excel does, shared only for reading); a reader that shares
// the third for deletion does not count.
TEST_F(Installer, RunningExcelMessageComesBackUntilExcelIsClosedAndLetsGo)
{
    use_excel97();
    auto lay_earlier_copies = [&] {
        write_file(addins + LibraryFile, "old library", FILE_ATTRIBUTE_READONLY);
        write_file(addins + AddinWorkbookFile, "old add-in", FILE_ATTRIBUTE_HIDDEN);
        write_file(addins + HelpFile, "old help");
    };
    auto hold = [&](const char *name, DWORD sharing) {
        return CreateFileA((addins + name).c_str(), GENERIC_READ, sharing, NULL, OPEN_EXISTING, 0, NULL);
    };
    const std::string held_text =
        "The files kavorlib.dll and kavorlib.xla in the Add-In folder " + addins + " cannot be replaced because "
        "Microsoft Excel, or another program, still has them open. Close Excel (if you have just closed it, wait a "
        "moment until it has finished), then click Retry. Cancel leaves the Add-In as it was.";
    lay_earlier_copies();
    const std::string before = folder_state(addins);
    HANDLE held[] = {hold(LibraryFile, FILE_SHARE_READ), hold(AddinWorkbookFile, FILE_SHARE_READ),
                     hold(HelpFile, FILE_SHARE_READ | FILE_SHARE_DELETE)};
    ExcelWindow excel("KavorTestWindow", "Microsoft Excel - Book1", false);
    ASSERT_TRUE(excel.window != NULL);

    Launched run;
    ASSERT_TRUE(launch_installer(run));
    HWND message = expect_message(run, RunningExcelText, {IDOK, IDCANCEL}, true);
    ASSERT_TRUE(message != NULL);
    // The uninstaller started while the first run waits: it is told, and nothing changes.
    ASSERT_TRUE(copy_from_build(UninstallerProgram, shipment + UninstallerProgram));
    Launched second;
    ASSERT_TRUE(launch(shipment + UninstallerProgram, second));
    HWND told = expect_message(second,
                               "The Add-In's Setup program or its uninstaller is already running. Finish it first (its "
                               "window may be behind other windows), then run addin-uninstall.exe again if you still "
                               "need to. Nothing has been changed. Shutting down.",
                               OkOnly, true);
    ASSERT_TRUE(told != NULL);
    answer_and_expect_end(second, told, IDOK, 1);
    press_button(message, IDOK);
    ASSERT_TRUE(wait_for_window_gone(message, Deadline));
    message = expect_message(run, RunningExcelText, {IDOK, IDCANCEL}, true);
    ASSERT_TRUE(message != NULL);
    EXPECT_EQ(before, folder_state(addins));

    excel.close();
    press_button(message, IDOK);
    ASSERT_TRUE(wait_for_window_gone(message, Deadline));
    message = expect_message(run, held_text, {IDRETRY, IDCANCEL}, true);
    ASSERT_TRUE(message != NULL);
    EXPECT_EQ(before, folder_state(addins));
    CloseHandle(held[0]);
    CloseHandle(held[1]);
    answer_and_expect_end(run, message, IDRETRY, 0);
    CloseHandle(held[2]);
    expect_installed(addins);

    // Cancel while they are still held: the earlier add-in stays as it was.
    lay_earlier_copies();
    held[0] = hold(LibraryFile, FILE_SHARE_READ);
    held[1] = hold(AddinWorkbookFile, FILE_SHARE_READ);
    Launched cancelled;
    ASSERT_TRUE(launch_installer(cancelled));
    message = expect_message(cancelled, held_text, {IDRETRY, IDCANCEL}, true);
    ASSERT_TRUE(message != NULL);
    answer_and_expect_end(cancelled, message, IDCANCEL, 2);
    EXPECT_EQ(before, folder_state(addins)) << "the earlier add-in changed";
    CloseHandle(held[0]);
    CloseHandle(held[1]);
}

// A scanner that holds what Setup has just written longer than Setup waits: the earlier
// kavor.hlp cannot be moved aside, then the new kavorlib.dll cannot be moved back. The
// message says where the earlier library lies, and Setup run again as it says installs.
TEST_F(Installer, ReplacementThatCannotBeUndoneSaysWhatLiesWhere)
{
    use_excel97();
    write_file(addins + LibraryFile, "old library");
    write_file(addins + HelpFile, "old help");
    auto hold = [](const std::string &path, DWORD sharing) {
        return CreateFileA(path.c_str(), GENERIC_READ, sharing, NULL, OPEN_EXISTING, 0, NULL);
    };
    // Each hold is taken while one of Setup's two-second retries waits.
    auto wait_until_holds = [&](const char *pattern, const std::string &text) {
        for (DWORD start = GetTickCount(); folder_state(addins, pattern).find(text) == std::string::npos; Sleep(10))
            if (GetTickCount() - start > Deadline)
                return false;
        return true;
    };
    HANDLE source = hold(shipment + HelpFile, 0); // its staging copy waits
    Launched run;
    ASSERT_TRUE(launch_installer(run));
    ASSERT_TRUE(wait_until_holds("kav*.tmp", " new kavorlib.dll\n"));
    HANDLE earlier_help = hold(addins + HelpFile, FILE_SHARE_READ);
    CloseHandle(source);
    ASSERT_TRUE(wait_until_holds(LibraryFile, " new kavorlib.dll\n"));
    HANDLE new_library = hold(addins + LibraryFile, FILE_SHARE_READ);

    ASSERT_TRUE(wait_for_window(run, Deadline) != NULL);
    std::string left = folder_state(addins, "kav*.tmp");
    std::string earlier = left.substr(0, left.find(' '));
    EXPECT_EQ(earlier + " 32 old library\n", left) << "only the earlier library under a name of the installer's";
    HWND message = expect_message(run,
                                  "Setup could not put the new kavor.hlp in place (error code=32), and could not put "
                                  "every earlier file of the Add-In back either, because another program holds them. "
                                  "The Add-In folder " + addins + " now holds: kavorlib.dll is the new one, and the "
                                  "earlier kavorlib.dll lies as " + earlier + ". Close Excel and any other program "
                                  "that may have these files open, then run Setup again. Shutting down.",
                                  OkOnly, true);
    ASSERT_TRUE(message != NULL);
    answer_and_expect_end(run, message, IDOK, 1);
    EXPECT_EQ("old help", read_file(addins + HelpFile));
    EXPECT_FALSE(file_exists(addins + AddinWorkbookFile)) << "a new file that had no earlier copy stays";

    CloseHandle(new_library);
    CloseHandle(earlier_help);
    Launched again;
    ASSERT_TRUE(launch_installer(again));
    EXPECT_TRUE(runs_silently(again, Deadline));
    expect_installed(addins);
}

TEST_F(Installer, WhichWindowsCountAsARunningExcel)
{
    struct Row {
        const char *label;
        const char *class_name;
        std::string title;
        bool hidden;
        bool counts;
    } rows[] = {
        {"hidden window titled Microsoft Excel", "KavorTestWindow", "Microsoft Excel", true, true},
        {"Excel 2013 main window", "XLMAIN", "Book1 - Excel", false, true},
        {"other letter case", "KavorTestWindow", "microsoft excel - book1", false, false},
        // Windows 11's terminal hosts the console in a window of its own process.
        {"terminal window bearing the console's title", "CASCADIA_HOSTING_WINDOW_CLASS",
         console_title(), false, false},
        {"terminal window titled otherwise", "CASCADIA_HOSTING_WINDOW_CLASS", "Microsoft Excel - Book1", false,
         true},
    };
    use_excel97();
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        addins = make_temp_folder("addins");
        write_reg_string(HKEY_CURRENT_USER, Excel8, "AddIn Path", addin_path());
        ExcelWindow excel(row.class_name, row.title, row.hidden);
        ASSERT_TRUE(excel.window != NULL);
        Launched run;
        ASSERT_TRUE(launch_installer(run));
        if (row.counts) {
            HWND message = expect_message(run, RunningExcelText, {IDOK, IDCANCEL}, true);
            ASSERT_TRUE(message != NULL);
            answer_and_expect_end(run, message, IDCANCEL, 2);
            expect_nothing_copied(addins);
        } else {
            EXPECT_TRUE(runs_silently(run, Deadline));
            EXPECT_EQ(0u, exit_status(run));
            expect_installed(addins);
        }
        excel.close();
    }
}

TEST_F(Installer, EachAssociationStopHasItsMessage)
{
    struct Row {
        const char *label;
        void (*arrange)();
        std::string text;
    } rows[] = {
        {"no .xls key", [] {}, std::string(".XLS registry entry not found.") + NoExcelText},
        {"unreadable .xls value",
         [] { write_reg_string(HKEY_CLASSES_ROOT, ".xls", NULL, std::string(300, 'x')); },
         std::string("Unable to open .XLS registry key.") + NoExcelText},
        {"no open command",
         [] { write_reg_string(HKEY_CLASSES_ROOT, ".xls", NULL, "KavorTest.Sheet"); },
         std::string("No registry entry for opening .XLS files.") + NoExcelText},
        {"unreadable open command", [] { register_xls_command(std::string(300, 'x')); },
         std::string("Invalid registry entry for opening .XLS files.") + NoExcelText},
        // 240 bytes leave no room for "\shell\open\command" in the 256-byte buffer.
        {"association too long to name its command key",
         [] { write_reg_string(HKEY_CLASSES_ROOT, ".xls", NULL, std::string(240, 'x')); },
         too_long_text("The .XLS registry entry", "repair Microsoft Office from Windows' list of installed programs, "
                                                  "then run Setup again")},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        reset_excel_registry();
        row.arrange();
        Launched run;
        ASSERT_TRUE(launch_installer(run));
        HWND message = expect_message(run, row.text, OkOnly, true);
        ASSERT_TRUE(message != NULL);
        answer_and_expect_end(run, message, IDOK, 1);
    }
}

class WhereIsExcel : public Installer {
protected:
    HWND dialog = NULL;

    // An Excel 97 stand-in that the association no longer names (it is empty, names
    // LibreOffice alone, or an Excel since removed), and the dialog up.
    enum Association { EmptyAssociation, CalcOwnsXls, RemovedExcel };
    void open_dialog(Launched &run, Association association = EmptyAssociation)
    {
        use_excel97();
        if (association == CalcOwnsXls)
            let_calc_take_xls(calc);
        else if (association == RemovedExcel)
            register_xls_command("\"" + office + "removed\\EXCEL.EXE\" \"%1\"");
        else
            write_reg_string(HKEY_CLASSES_ROOT, ".xls", NULL, "");
        ASSERT_TRUE(launch_installer(run));
        dialog = wait_for_window(run, Deadline);
        ASSERT_TRUE(dialog != NULL);
        ASSERT_EQ("Where is Excel?", read_window(dialog).caption);
    }
};

TEST_F(WhereIsExcel, TypedPathIsCleanedAndUsedAndOpensTheSetupWorkbook)
{
    for (Association association : {EmptyAssociation, CalcOwnsXls, RemovedExcel}) {
        SCOPED_TRACE(association);
        office = make_temp_folder("office");
        addins = make_temp_folder("addins");
        Launched run;
        open_dialog(run, association);
        SetDlgItemTextA(dialog, 100, ("\"" + office + "EXCEL.EXE\" /e").c_str());
        answer_and_expect_end(run, dialog, IDOK, 0);
        expect_installed(addins);
        expect_setup_workbook_opened(run);
    }
}

TEST_F(WhereIsExcel, TypedExcelThatCannotLoadTheLibraryStops)
{
    Launched run;
    open_dialog(run);
    ship_libraries(32, 0, 32);
    ASSERT_TRUE(copy_from_build(tiny_program(64), office + "EXCEL.EXE"));
    SetDlgItemTextA(dialog, 100, (office + "EXCEL.EXE").c_str());
    press_button(dialog, IDOK);
    ASSERT_TRUE(wait_for_window_gone(dialog, Deadline));
    HWND message = expect_message(run, library_mismatch_text(64, 32), OkOnly, true);
    ASSERT_TRUE(message != NULL);
    answer_and_expect_end(run, message, IDOK, 1);
    expect_nothing_copied(addins);
}

TEST_F(WhereIsExcel, BrowsePutsTheChosenFileIntoTheEditBox)
{
    Launched run;
    open_dialog(run);
    press_button(dialog, 101);
    HWND chooser = wait_for_window(run, Deadline, "Find EXCEL.EXE");
    ASSERT_TRUE(chooser != NULL) << "no open-file dialog";
    std::string chosen = office + "EXCEL.EXE";
    SetWindowTextA(first_edit_box(chooser), chosen.c_str());
    press_button(chooser, IDOK);
    ASSERT_TRUE(wait_for_window_gone(chooser, Deadline));
    EXPECT_EQ(chosen, control_text(dialog, 100));

    answer_and_expect_end(run, dialog, IDCANCEL, 2);
    expect_nothing_copied(addins);
}

TEST_F(WhereIsExcel, CloseBoxEndsSilently)
{
    Launched run;
    open_dialog(run);
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(wait_for_window_gone(dialog, Deadline));
    EXPECT_TRUE(runs_silently(run, Deadline));
    EXPECT_EQ(2u, exit_status(run));
    expect_nothing_copied(addins);
}

TEST_F(WhereIsExcel, PathTooLongForItsBufferIsRefusedNotCut)
{
    struct Row {
        const char *label;
        size_t length;    // of the typed path, in bytes
        const char *tail; // how it ends; "€" is 3 bytes in UTF-8
        bool refused;     // else a stand-in Excel lies there and the path is used whole
    } rows[] = {
        {"320 bytes", 320, "\\EXCEL.EXE", true},
        {"260 bytes", 260, "\\EXCEL.EXE", true},
        {"259 bytes: the longest that fits", 259, "\\EXCEL.EXE", false},
        {"a 3-byte character over byte 259", 260, "€", true},
        {"a 3-byte character from byte 259 on", 261, "€", true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.label);
        addins = make_temp_folder("addins");
        std::string path =
            office + std::string(row.length - office.size() - strlen(row.tail), 'x') + row.tail;
        if (!row.refused) {
            ASSERT_TRUE(create_long_folder(path.substr(0, path.rfind('\\'))));
            ASSERT_TRUE(copy_from_build("stand-in-excel8.exe", path));
        }
        Launched run;
        open_dialog(run);
        SetDlgItemTextA(dialog, 100, path.c_str());
        if (!row.refused) {
            answer_and_expect_end(run, dialog, IDOK, 0);
            expect_installed(addins);
            continue;
        }
        press_button(dialog, IDOK);
        ASSERT_TRUE(wait_for_window_gone(dialog, Deadline));
        HWND message = expect_message(run,
                                      too_long_text("The path of EXCEL.EXE that you entered",
                                                    "run Setup again and enter the path of EXCEL.EXE alone, with "
                                                    "nothing after it"),
                                      OkOnly, true);
        ASSERT_TRUE(message != NULL);
        answer_and_expect_end(run, message, IDOK, 1);
        expect_nothing_copied(addins);
    }
}

// With no Excel named, the setup workbook goes to nobody, not to LibreOffice.
TEST_F(WhereIsExcel, EmptyPathAndNoFillRelativeLibraryFolderAndOpenNothing)
{
    Launched run;
    open_dialog(run, CalcOwnsXls);
    press_button(dialog, IDOK);
    ASSERT_TRUE(wait_for_window_gone(dialog, Deadline));
    HWND question = expect_message(run, VersionQuestionText, YesNoCancel, false);
    ASSERT_TRUE(question != NULL);
    answer_and_expect_end(run, question, IDNO, 0);
    // Library\ under the current directory, which is the shipment folder here.
    expect_installed(shipment + "Library\\");
    EXPECT_EQ("", opened_after(run, calc)) << "opened by LibreOffice";
}

TEST_F(Installer, VersionQuestionAnswers)
{
    struct Row {
        int answer;
        const char *installed; // "9.0", "0.0" or nothing
        DWORD status;
    } rows[] = {{IDYES, "9.0", 0}, {IDNO, "0.0", 0}, {IDCANCEL, "", 2}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.answer);
        reset_excel_registry();
        office = make_temp_folder("office");
        addins = make_temp_folder("addins");
        std::string subfolder = "KavorTestAddIns" + std::to_string(row.answer);
        std::string office2000 = application_data_folder() + "\\Microsoft\\" + subfolder + "\\";
        install_stand_in_excel(office, 0);
        write_reg_string(HKEY_CURRENT_USER, "Software\\Microsoft\\Office\\9.0\\Common\\General",
                         "AddIns", subfolder);
        write_reg_string(HKEY_CURRENT_USER, "Software\\Microsoft\\Office\\0.0\\Excel\\Microsoft Excel",
                         "AddIn Path", addin_path());

        Launched run;
        ASSERT_TRUE(launch_installer(run));
        HWND question = expect_message(run, VersionQuestionText, YesNoCancel, false);
        ASSERT_TRUE(question != NULL);
        answer_and_expect_end(run, question, row.answer, row.status);
        if (std::string(row.installed) == "9.0")
            expect_installed(office2000);
        else
            expect_nothing_copied(office2000);
        if (std::string(row.installed) == "0.0")
            expect_installed(addins);
        else
            expect_nothing_copied(addins);
    }
}

TEST_F(Installer, PackageThatCannotWorkStopsItBeforeAnything)
{
    std::unique_ptr<ExcelWindow> excel; // open while the installer runs
    // Each row has an Excel 97, and makes the shipment one that cannot work: this file
    // missing, marked with this Zone.Identifier text, these bytes as kavorlib64.dll, or all
    // of it in a folder this many bytes long (final backslash included), with the installer
    // as setup.exe and the files whose paths fit.
    auto missing = [&](const char *file) {
        use_excel97();
        DeleteFileA((shipment + file).c_str());
        return missing_text(file);
    };
    auto marked = [&](const char *file, const std::string &text, const char *effect = NULL) {
        use_excel97();
        mark_downloaded(shipment + file, text);
        return effect != NULL ? marked_text(file, effect) : marked_text(file);
    };
    auto ship64 = [&](const std::string &bytes) {
        use_excel97();
        write_file(shipment + "kavorlib64.dll", bytes);
        return std::string(DamagedLibrary64Text);
    };
    auto long_shipment = [&](size_t length) {
        use_excel97();
        use_long_shipment(length);
    };
    // Zone.Identifier text as some tools write it: UTF-16 with its byte-order mark.
    auto utf16 = [](const std::string &text) {
        std::string wide = "\xFF\xFE";
        for (char c : text)
            wide += std::string(1, c) + '\0';
        return wide;
    };
    HANDLE held = NULL;
    expect_each_stop({
        // As Explorer extracts a downloaded zip: the setup workbook is named.
        {"every file marked as downloaded from the Internet, while Excel runs",
         [&] {
             excel.reset(new ExcelWindow("KavorTestWindow", "Microsoft Excel - Book1", false));
             ship_libraries(32, 64, 32);
             for (const char *file : {LibraryFile, "kavorlib64.dll", AddinWorkbookFile, HelpFile})
                 mark_downloaded(shipment + file, "[ZoneTransfer]\r\nZoneId=3\r\n");
             return marked(SetupWorkbookFile, "[ZoneTransfer]\r\nZoneId=3\r\n");
         },
         [&] { excel->close(); }},
        {"kavorlib.xla marked, its zone after other lines",
         [&] {
             return marked(AddinWorkbookFile, "[ZoneTransfer]\r\n"
                                              "LastWriterPackageFamilyName=Microsoft.Microsoft"
                                              "Edge_8wekyb3d8bbwe\r\n"
                                              "ReferrerUrl=https://example.com/\r\nZoneId=3\r\n"
                                              "HostUrl=https://example.com/kavor.zip\r\n");
         }},
        {"kavor.hlp marked from Restricted sites",
         [&] { return marked(HelpFile, "[ZoneTransfer]\nZoneId=4\n", KeepsMark); }},
        {"kavorlib64.dll marked", [&] {
             ship_libraries(32, 64, 32);
             return marked("kavorlib64.dll", "[ZoneTransfer]\r\nZoneId=3\r\n", "a 64-bit Excel's copy of it would keep that mark");
         }},
        // What GetPrivateProfileIntA reads as zone 3.
        {"kavorlib.xla marked ZoneId=03", [&] { return marked(AddinWorkbookFile, "[ZoneTransfer]\r\nZoneId=03\r\n"); }},
        {"kavorlib.xla marked with spaces around =",
         [&] { return marked(AddinWorkbookFile, "[ZoneTransfer]\r\nZoneId = 3\r\n"); }},
        {"kavorlib.xla marked in UTF-16",
         [&] { return marked(AddinWorkbookFile, utf16("[ZoneTransfer]\r\nZoneId=3\r\n")); }},
        {"kavor.hlp's mark held open by another program, unread", [&] {
             std::string text = marked(HelpFile, "[ZoneTransfer]\r\nZoneId=0\r\n", KeepsMark);
             held = CreateFileA((shipment + HelpFile + ":Zone.Identifier").c_str(), GENERIC_READ, 0, NULL,
                                OPEN_EXISTING, 0, NULL);
             return text;
         },
         [&] { CloseHandle(held); }},
        {"kavorlib.dll missing, over earlier copies",
         [&] {
             write_file(addins + LibraryFile, "old library", FILE_ATTRIBUTE_READONLY);
             write_file(addins + AddinWorkbookFile, "old add-in", FILE_ATTRIBUTE_HIDDEN);
             return missing(LibraryFile);
         }},
        {"addinsetup.xls missing", [&] { return missing(SetupWorkbookFile); }},
        {"a folder named kavor.hlp",
         [&] {
             std::string text = missing(HelpFile);
             CreateDirectoryA((shipment + HelpFile).c_str(), NULL);
             return text;
         }},
        {"a folder named kavorlib64.dll",
         [&] {
             use_excel97();
             CreateDirectoryA((shipment + "kavorlib64.dll").c_str(), NULL);
             return std::string(DamagedLibrary64Text);
         }},
        {"kavorlib64.dll empty", [&] { return ship64(""); }},
        {"kavorlib64.dll cut after its DOS header", [&] { return ship64(library_bytes(64).substr(0, 64)); }},
        {"kavorlib64.dll cut short of its last byte",
         [&] { return ship64(library_bytes(64).substr(0, library_bytes(64).size() - 1)); }},
        {"kavorlib64.dll for ARM64",
         [&] { return ship64(with_machine(library_bytes(64), IMAGE_FILE_MACHINE_ARM64)); }},
        {"kavorlib64.dll for i386", [&] { return ship64(library_bytes(32)); }},
        {"kavorlib64.dll an x86-64 program", [&] { return ship64(read_file(build_folder() + tiny_program(64))); }},
        // The optional header's magic, after the file header: 0x20B made 0x10B.
        {"kavorlib64.dll with a PE32 optional header", [&] {
             std::string image = library_bytes(64);
             image[*(const DWORD *)&image[0x3C] + 25] = 0x01;
             return ship64(image);
         }},
        // Before Excel is even looked for: there is none here.
        {"kavorlib.dll for ARM64",
         [&] {
             write_file(shipment + LibraryFile, with_machine(library_bytes(64), IMAGE_FILE_MACHINE_ARM64));
             return std::string("The file kavorlib.dll in the Setup program's folder is built for another kind of "
                                "processor (such as ARM64), which no Excel that this Setup program serves can load. "
                                "The Add-In installation cannot continue: please get this Add-In for your Excel, "
                                "32-bit or 64-bit, from whoever supplied it. Shutting down.");
         }},
        // Before Excel is even looked for: Excel blocks the macros there, whatever it is.
        {"the package on a network drive in the Internet zone",
         [&] {
             use_excel97();
             shipment = std::string(NetworkDrive) + "kavor setup\\";
             CreateDirectoryA(shipment.c_str(), NULL);
             EXPECT_TRUE(copy_from_build(InstallerProgram, shipment + program));
             lay_shipment_files();
             return "The folder " + shipment + " lies on a network location that Windows counts as the Internet "
                    "zone, so the macros of addinsetup.xls, which sets up the Add-In in Excel, would be blocked "
                    "by Excel. The Add-In installation cannot continue: copy the whole folder to this computer "
                    "and run Setup from the copy, or ask your administrator to add the server to the Local "
                    "intranet or Trusted sites zone. Shutting down.";
         }},
        {"addinsetup.xls's path one byte too long, kavorlib.dll's not",
         [&] {
             long_shipment(246);
             return too_long_text("The path of addinsetup.xls", MoveThePackage);
         }},
        // The mark's stream is named by the file's path and 16 characters more: one byte more
        // than the longest shipment folder that installs.
        {"the download mark's path one byte too long to read",
         [&] {
             long_shipment(230);
             return too_long_text(std::string("The path of the download mark of ") + SetupWorkbookFile,
                                  MoveThePackage);
         }},
    });
}

TEST_F(Installer, StopsAfterDiscoveryHaveTheirMessages)
{
    // An Excel of this version whose macro setting (value in key) silences the setup
    // workbook, all macros (4) or unsigned ones (3), set by a policy or not, with the
    // remedy the user gets (policy's or not). Its add-in folder must not come to be.
    const std::string never_made = application_data_folder() + "\\Microsoft\\KavorNeverMade";
    auto macros_disabled = [&](int version, const char *key, char value, bool by_policy, const std::string &remedy) {
        install_stand_in_excel(office, version);
        write_reg_string(HKEY_CURRENT_USER, "Software\\Microsoft\\Office\\" + std::to_string(version) +
                         ".0\\Common\\General", "AddIns", "KavorNeverMade");
        set_macro_setting(key, value);
        std::string workbook = "addinsetup.xls, which sets up the Add-In in Excel,";
        std::string set = std::string("Microsoft Excel is set") + (by_policy ? " by your organization's policy" : "");
        return (value == 4 ? set + " to disable all macros without notification, so the macros of " + workbook +
                             " would not run."
                           : "No digital signature was found on the macros of " + workbook + " and " + set +
                             " to run only digitally signed macros, so they would not run.") +
               " The Add-In installation cannot continue: " +
               (by_policy ? "please ask your administrator to allow macros with notification" + remedy +
                                "; no setting in Excel itself can change this"
                          : "in Excel, click File > Options > Trust Center > Trust Center Settings > Macro Settings, "
                            "select \"Disable all macros with notification\"" + remedy + " and click OK, then run "
                            "Setup again and click \"Enable Content\" when Excel asks") +
               ". Shutting down.";
    };
    const std::string in_microsoft_365 = " (\"Disable VBA macros with notification\" in Microsoft 365)";
    auto never_made_check = [&] { EXPECT_FALSE(file_exists(never_made)); };
    HANDLE held_source = NULL;
    // An Excel 97 whose "AddIn Path" names a folder inside one that does not exist.
    auto missing_parent = [&](const std::string &parent, const std::string &folder) {
        use_excel97();
        write_reg_string(HKEY_CURRENT_USER, Excel8, "AddIn Path", addins + parent + "\\" + folder);
        return "Failed to create the folder " + addins + parent + "\\" + folder + "\\";
    };
    expect_each_stop({
        {"no application-data folder",
         [&] {
             install_stand_in_excel(office, 16);
             break_application_data_folder();
             return std::string("Unable to find Application Data folder, quitting.");
         },
         [] {}},
        {"add-in folder too long",
         [&] {
             install_stand_in_excel(office, 16);
             write_reg_string(HKEY_CURRENT_USER, "Software\\Microsoft\\Office\\16.0\\Common\\General",
                              "AddIns", std::string(250, 'a'));
             return too_long_text("The path of the Add-In folder for Excel",
                                  "ask whoever looks after this computer to give Excel an Add-In folder with a "
                                  "shorter path, then run Setup again");
         },
         [] {}},
        {"parent of the add-in folder missing", [&] { return missing_parent("missing", "inner"); },
         [&] { EXPECT_FALSE(file_exists(addins + "missing")); }},
        {"parent missing, both named outside code page 1252", [&] { return missing_parent("Łukasz", "山田"); },
         [&] { EXPECT_FALSE(file_exists(addins + "Łukasz")); }},
        // A folder so long that no file name fits after it in a 260-byte path.
        {"no file name fits after the folder",
         [&] {
             use_excel97();
             std::string deep = addins + std::string(248 - addins.size(), 'd');
             EXPECT_TRUE(create_long_folder(deep));
             write_reg_string(HKEY_CURRENT_USER, Excel8, "AddIn Path", deep);
             return "CopyFile failed for " + deep + "\\kavorlib.dll with error code=206";
         },
         [] {}},
        // Excel is never started: these run in both stages.
        {"64-bit Excel, a 32-bit library",
         [&] {
             install_built_excel(office, tiny_program(64));
             ship_libraries(32, 0, 32);
             return library_mismatch_text(64, 32);
         },
         [] {}},
        {"32-bit Excel, a 64-bit library, kavorlib64.dll beside it",
         [&] {
             install_built_excel(office, tiny_program(32));
             ship_libraries(64, 64, 64);
             return library_mismatch_text(32, 64);
         },
         [] {}},
        // A scanner that never lets go: the third copy fails after its tries, and the two new
        // files staged before it go.
        {"the package's kavor.hlp held open without sharing",
         [&] {
             use_excel97();
             write_file(addins + LibraryFile, "old library", FILE_ATTRIBUTE_READONLY);
             // An earlier run's leftover, maybe the user's only earlier library: kept.
             write_file(addins + "kav1A2B.tmp", "earlier library");
             held_source = CreateFileA((shipment + HelpFile).c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
             return "CopyFile failed for " + addins + "kavor.hlp with error code=32";
         },
         [&] { CloseHandle(held_source); }},
        // Found once the other two are in place: they go back, and the earlier copies
        // with them, as they were.
        {"the third file's place taken by a folder",
         [&] {
             use_excel97();
             write_file(addins + LibraryFile, "old library", FILE_ATTRIBUTE_READONLY);
             write_file(addins + AddinWorkbookFile, "old add-in", FILE_ATTRIBUTE_HIDDEN);
             CreateDirectoryA((addins + HelpFile).c_str(), NULL);
             return "CopyFile failed for " + addins + "kavor.hlp with error code=183";
         }},
        {"Excel 16 set by policy to disable all macros without notification",
         [&] { return macros_disabled(16, PolicySecurity16, 4, true, ""); }, never_made_check},
        {"Excel 16 set by its user to disable all macros without notification",
         [&] { return macros_disabled(16, UserSecurity16, 4, false, in_microsoft_365); }, never_made_check},
        {"a cloud policy disables all macros over a group policy's notification",
         [&] {
             set_macro_setting(PolicySecurity16, 2);
             return macros_disabled(16, CloudSecurity16, 4, true, "");
         }},
        // Excel 2013 reads its own version's keys, not those of 16.0.
        {"Excel 2013 set by its user to disable all macros, Excel 16's setting enables them",
         [&] {
             set_macro_setting(UserSecurity16, 1);
             return macros_disabled(15, UserSecurity15, 4, false, "");
         }},
        {"only signed macros run, the setup workbook's VBA project unsigned",
         [&] {
             EXPECT_TRUE(write_workbook((shipment + SetupWorkbookFile).c_str(), "unsigned"));
             return macros_disabled(16, UserSecurity16, 3, false, in_microsoft_365);
         },
         never_made_check},
        {"VBA turned off by the computer's policy",
         [&] {
             install_stand_in_excel(office, 16);
             set_dword(HKEY_LOCAL_MACHINE, "Software\\Policies\\Microsoft\\Office\\16.0\\Common", "VBAOff", 1);
             return std::string("Microsoft Excel is set by your organization's policy to run no VBA code at all "
                                "(\"Disable VBA for Office applications\"), so the macros of addinsetup.xls, which "
                                "sets up the Add-In in Excel, would not run. The Add-In installation cannot "
                                "continue: please ask your administrator to allow VBA in Microsoft Office; no "
                                "setting in Excel itself can change this. Shutting down.");
         }},
        // "Open/Save blocked, use open policy", and no open policy: "Blocked files are not opened".
        {"a policy blocks Excel 97-2003 add-in files, the default file block behaviour unset",
         [&] {
             install_stand_in_excel(office, 16);
             set_dword(HKEY_CURRENT_USER, PolicySecurity16 + std::string("\\FileBlock"), "XL97AddIns", 2);
             return std::string("Microsoft Excel is set by your organization's policy not to open Excel 97-2003 "
                                "add-in files (File Block Settings), so kavorlib.xla, the Add-In itself, would not "
                                "open at all. The Add-In installation cannot continue: please ask your "
                                "administrator to let Excel open Excel 97-2003 add-in files, or open them in "
                                "Protected View with editing allowed; no setting in Excel itself can change "
                                "this. Shutting down.");
         }},
        {"a policy loads only signed add-ins, kavorlib.xla unsigned",
         [&] {
             install_stand_in_excel(office, 16);
             set_dword(HKEY_CURRENT_USER, PolicySecurity16, "RequireAddinSig", 1);
             EXPECT_TRUE(write_workbook((shipment + AddinWorkbookFile).c_str(), "unsigned"));
             return std::string("No digital signature was found on the macros of kavorlib.xla, the Add-In itself, "
                                "and Microsoft Excel is set by your organization's policy to load only add-ins "
                                "signed by a trusted publisher, so it would not load the Add-In. The Add-In "
                                "installation cannot continue: please ask whoever supplied the Add-In for one "
                                "whose macros are signed; no setting in Excel itself can change this. Shutting "
                                "down.");
         }},
        // Not taken for unsigned: it may well be signed.
        {"only signed macros run, the setup workbook held open without sharing",
         [&] {
             install_stand_in_excel(office, 16);
             set_macro_setting(UserSecurity16, 3);
             EXPECT_TRUE(write_workbook((shipment + SetupWorkbookFile).c_str(), "DigitalSignature"));
             held_source = CreateFileA((shipment + SetupWorkbookFile).c_str(), GENERIC_READ, 0, NULL,
                                       OPEN_EXISTING, 0, NULL);
             return std::string("The file addinsetup.xls, which sets up the Add-In in Excel, could not be read "
                                "(error code 0x80030020), so it cannot be told whether its macros carry the "
                                "digital signature that Microsoft Excel is set to require. The Add-In "
                                "installation cannot continue: close any program that has the file open, or copy "
                                "the package's folder again, then run Setup again. Shutting down.");
         },
         [&] { CloseHandle(held_source); }},
        {"a policy lets only signed macros run, the setup workbook no compound file",
         [&] {
             return macros_disabled(16, PolicySecurity16, 3, true, ", or ask whoever supplied the Add-In for a "
                                                                   "package whose workbooks are signed");
         }},
    });
}

} // namespace
