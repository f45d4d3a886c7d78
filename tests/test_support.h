// What the tests need of Windows: registry set-up, files, launching the programs and
// reading and answering their windows by automation.
#pragma once

#include "stand-in-excel/excel_record.h"

#include <windows.h>

#include <string>
#include <vector>

// The caption and the names the user and a deploying script meet, written here and not
// taken from the programs' sources: a slip in those must fail the tests.
const char Caption[] = "Kavor Interface Add-In Setup";
const char InstallerProgram[] = "addin-install.exe";
const char UninstallerProgram[] = "addin-uninstall.exe";
const char LibraryFile[] = "kavorlib.dll";
const char AddinWorkbookFile[] = "kavorlib.xla";
const char HelpFile[] = "kavor.hlp";
const char SetupWorkbookFile[] = "addinsetup.xls";
const char RemovalWorkbookFile[] = "DEL_ADDIN.XLS";
// The add-in's three files, which the installer copies and the uninstaller deletes.
const char *const AddinFiles[] = {LibraryFile, AddinWorkbookFile, HelpFile};

// The folder of the test binary, where the build puts the programs and stand-in Excels.
std::string build_folder();
// Copies a file the build made (a path relative to build_folder()) to destination.
bool copy_from_build(const std::string &built, const std::string &destination);
// A new empty folder under the prefix's temporary folder, ending with a backslash.
std::string make_temp_folder(const std::string &label);

// Registry state, written in the throwaway prefix.
void delete_reg_tree(HKEY root, const std::string &key);
void write_reg_string(HKEY root, const std::string &key, const char *name, const std::string &value);
void write_reg_bytes(HKEY root, const std::string &key, const char *name, DWORD type,
                     const std::string &bytes);
// Makes the profile's application-data folder unobtainable until the next reset.
void break_application_data_folder();
// Moves the profile's application-data folder, until the next reset, to a new folder named
// in scripts outside code page 1252, and gives that folder (no final backslash).
std::string move_application_data_folder();
// Removes every association and Office key that discovery reads, and gives the profile
// back its own application-data folder.
void reset_excel_registry();
// Copies the stand-in Excel whose version resource says major (0: none) to folder\name
// and registers it as the ".xls" handler; gives the executable's path.
std::string install_stand_in_excel(const std::string &folder, int major,
                                   const char *name = "EXCEL.EXE");
// The same with a program the build made (a path relative to build_folder()) as EXCEL.EXE.
std::string install_built_excel(const std::string &folder, const std::string &built);
// LibreOffice takes ".xls" over, as its setup does: the association names its class, which
// opens workbooks in folder\scalc.exe, a stand-in whose version resource is Calc 7's. Excel's
// own class, Excel.Sheet.8, keeps naming excel when it is given. Gives scalc.exe's path.
std::string let_calc_take_xls(const std::string &folder, const std::string &excel = "");
// A drive that Wine reports as a network drive, in the Internet zone (tools/wine/prefix.sh).
const char NetworkDrive[] = "N:\\";
// Where Windows' App Paths names Excel, under HKEY_LOCAL_MACHINE.
const char ExcelAppPath[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\excel.exe";
// A record that holds exactly one document, opened in a window the user sees by excel.
void expect_opened_by(const std::string &record, const std::string &document, const std::string &excel);
// A program and a library of each machine, 32 or 64 bits; the stand-in Excel and the tests
// are of this one.
std::string tiny_program(int bits);
std::string tiny_library(int bits);
const int NativeBits = sizeof(void *) * 8;
std::string application_data_folder();
// Makes office a new folder whose name ends with label, with a stand-in Excel 97 in it and
// no "AddIn Path": gives the add-in folder, Library beside Excel.
std::string install_excel97_in(std::string &office, const std::string &label);

void write_file(const std::string &path, const std::string &content, DWORD attributes = 0);
// An Excel workbook as a compound file (workbook.cpp) with a Workbook stream and, by kind:
// "none", no VBA project; "unsigned", a project (_VBA_PROJECT_CUR holding VBA) without a
// signature; else a project whose signature stream, a few bytes, is named "\x05" followed by
// kind ("DigitalSignatureExt"), or by what follows "empty " in kind, and then holds nothing.
// False when it could not be made.
bool write_workbook(const char *path, const char *kind);
// Marks a file as downloaded: its Zone.Identifier stream, written by the name Windows gives
// it (under Wine, a file of that name beside it), holds text. Empty text takes the mark away.
void mark_downloaded(const std::string &path, const std::string &text);
// A PE image with another machine in its file header, e.g. IMAGE_FILE_MACHINE_ARM64.
std::string with_machine(std::string image, WORD machine);
bool file_exists(const std::string &path);

// One message box or dialog as a person sees it.
struct SeenWindow {
    HWND window = NULL;
    std::string caption;
    std::string text;         // the longest static text: a message box's message
    std::vector<int> buttons; // ids of the visible push buttons, in child order
    bool has_icon = false;
};

struct Launched {
    PROCESS_INFORMATION info = {};
    ~Launched();
};

// A top-level window of a stand-in Excel, up until the test closes it; meanwhile it holds
// the files held open as Excel holds a loaded add-in's, sharing them only for reading.
struct ExcelWindow {
    Launched process;
    HWND window = NULL;
    ExcelWindow(const char *class_name, const std::string &title, bool hidden,
                const std::vector<std::string> &held = {});
    void close();
};

// Programs launched share the test's console.
bool launch(const std::string &exe, Launched &process, const std::string &arguments = "");
// Gives the test, and so the programs it launches, a new console whose window exists from
// the start and bears this title, as Windows shows a console program started from Explorer.
void open_console_window(const std::string &title);
// Waits for a visible top-level window of the process (with this caption, when given);
// NULL at the deadline or when the process ends.
HWND wait_for_window(const Launched &process, DWORD timeout_ms, const char *caption = NULL);
bool wait_for_window_gone(HWND window, DWORD timeout_ms);
SeenWindow read_window(HWND window);
std::string control_text(HWND window, int id);
// The first visible edit box of a window, found by class: dialogs of Windows name theirs
// differently.
HWND first_edit_box(HWND window);
// Presses the button with this id the way a click does.
void press_button(HWND window, int id);
// The process's exit status; STILL_ACTIVE while it runs.
DWORD exit_status(const Launched &process);
// Waits for the process to end; false at the deadline.
bool wait_for_exit(const Launched &process, DWORD timeout_ms);
// Once the process has ended: waits until every program it started has ended too (the shell
// starts Excel from the process that asks it to open a workbook), then gives what the
// stand-in Excel in excel_folder recorded, all of it.
std::string opened_after(const Launched &process, const std::string &excel_folder);
// Waits for the process's message box, checks it as the user sees it and gives its window;
// NULL, the failure told, when none comes.
HWND expect_message(const Launched &run, const std::string &text, const std::vector<int> &buttons, bool icon);
// Answers the window and checks that the program then ends without another one, with this
// exit status: 0 done, 1 stopped with a message, 2 cancelled.
void answer_and_expect_end(const Launched &run, HWND window, int button, DWORD status);
// Each file of a folder matching pattern, with its attributes and bytes, a line each.
std::string folder_state(const std::string &folder, const char *pattern = "*");
// Runs the process to its end, failing the test if it shows any window on the way.
bool runs_silently(const Launched &process, DWORD timeout_ms);
