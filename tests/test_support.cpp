// What the tests need of Windows: registry set-up, files, launching the programs and
// reading and answering their windows by automation.
#include "test_support.h"

#include <shlobj.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <stdio.h>

std::string build_folder() { return program_folder(); }

bool copy_from_build(const std::string &built, const std::string &destination)
{
    return CopyFileA((build_folder() + built).c_str(), destination.c_str(), FALSE) != 0;
}

std::string make_temp_folder(const std::string &label)
{
    static int counter = 0;
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string folder;
    for (;;) {
        char name[64];
        snprintf(name, sizeof name, "kavor-%lu-%d-", GetCurrentProcessId(), ++counter);
        folder = std::string(temp) + name + label;
        if (CreateDirectoryA(folder.c_str(), NULL))
            return folder + "\\";
    }
}

void delete_reg_tree(HKEY root, const std::string &key)
{
    RegDeleteTreeA(root, key.c_str());
    RegDeleteKeyA(root, key.c_str());
}

void write_reg_bytes(HKEY root, const std::string &key, const char *name, DWORD type,
                     const std::string &bytes)
{
    HKEY handle;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(root, key.c_str(), &handle)) << key;
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(handle, name, 0, type, (const BYTE *)bytes.data(),
                                            (DWORD)bytes.size()))
        << key;
    RegCloseKey(handle);
}

void write_reg_string(HKEY root, const std::string &key, const char *name, const std::string &value)
{
    write_reg_bytes(root, key, name, REG_SZ, std::string(value.c_str(), value.size() + 1));
}

static const char UserShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

void break_application_data_folder()
{
    // Observed under Wine: an empty entry makes SHGetSpecialFolderPathA fail.
    write_reg_bytes(HKEY_CURRENT_USER, UserShellFolders, "AppData", REG_EXPAND_SZ, std::string(1, '\0'));
}

std::string move_application_data_folder()
{
    std::string folder = make_temp_folder("Łukasz 山田 設定");
    folder.pop_back();
    write_reg_string(HKEY_CURRENT_USER, UserShellFolders, "AppData", folder);
    return folder;
}

void reset_excel_registry()
{
    // The entry Windows and Wine give every profile: a value saved from the prefix could
    // be one that an earlier test process broke and never mended.
    std::string own = "%USERPROFILE%\\AppData\\Roaming";
    write_reg_bytes(HKEY_CURRENT_USER, UserShellFolders, "AppData", REG_EXPAND_SZ,
                    std::string(own.c_str(), own.size() + 1));
    delete_reg_tree(HKEY_CLASSES_ROOT, ".xls");
    delete_reg_tree(HKEY_CLASSES_ROOT, "KavorTest.Sheet");
    delete_reg_tree(HKEY_CLASSES_ROOT, "KavorTest.Calc");
    delete_reg_tree(HKEY_CLASSES_ROOT, "Excel.Sheet.8");
    delete_reg_tree(HKEY_LOCAL_MACHINE, ExcelAppPath);
    delete_reg_tree(HKEY_CURRENT_USER, "Software\\Classes\\.xls");
    delete_reg_tree(HKEY_CURRENT_USER, "Software\\Microsoft\\Office");
    delete_reg_tree(HKEY_CURRENT_USER, "Software\\Policies\\Microsoft\\Office");
    delete_reg_tree(HKEY_CURRENT_USER, "Software\\Policies\\Microsoft\\Cloud");
    delete_reg_tree(HKEY_LOCAL_MACHINE, "Software\\Policies\\Microsoft\\Office");
}

static std::string install_excel_as(const std::string &built, const std::string &path)
{
    EXPECT_TRUE(copy_from_build(built, path)) << path;
    register_xls_command("\"" + path + "\" \"%1\"");
    return path;
}

std::string install_stand_in_excel(const std::string &folder, int major, const char *name)
{
    char source[64];
    if (major == 0)
        snprintf(source, sizeof source, "stand-in-excel-noversion.exe");
    else
        snprintf(source, sizeof source, "stand-in-excel%d.exe", major);
    return install_excel_as(source, folder + name);
}

std::string install_built_excel(const std::string &folder, const std::string &built)
{
    return install_excel_as(built, folder + "EXCEL.EXE");
}

std::string let_calc_take_xls(const std::string &folder, const std::string &excel)
{
    std::string calc = folder + "scalc.exe";
    EXPECT_TRUE(copy_from_build("stand-in-calc.exe", calc)) << calc;
    write_reg_string(HKEY_CLASSES_ROOT, ".xls", NULL, "KavorTest.Calc");
    register_class("KavorTest.Calc", "\"" + calc + "\" -o \"%1\"");
    if (!excel.empty())
        register_class("Excel.Sheet.8", "\"" + excel + "\" \"%1\"");
    return calc;
}

void expect_opened_by(const std::string &record, const std::string &document, const std::string &excel)
{
    // Started by a path the programs lower-cased, as Windows compares it, or by the
    // association's own.
    EXPECT_STRCASEEQ((document + "\tshow 1\t" + excel + "\n").c_str(), record.c_str());
}

std::string tiny_program(int bits) { return bits == 64 ? "machines\\program-x86_64.exe" : "machines\\program-i686.exe"; }
std::string tiny_library(int bits) { return bits == 64 ? "machines\\library-x86_64.dll" : "machines\\library-i686.dll"; }

std::string install_excel97_in(std::string &office, const std::string &label)
{
    office = make_temp_folder(label);
    install_stand_in_excel(office, 8);
    return office + "Library\\";
}

std::string application_data_folder()
{
    char path[MAX_PATH] = "";
    SHGetSpecialFolderPathA(NULL, path, CSIDL_APPDATA, FALSE);
    return path;
}

void write_file(const std::string &path, const std::string &content, DWORD attributes)
{
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, file) << path;
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(file, content.data(), (DWORD)content.size(), &written, NULL)) << path;
    CloseHandle(file);
    if (attributes != 0) {
        ASSERT_TRUE(SetFileAttributesA(path.c_str(), attributes)) << path;
    }
}

void mark_downloaded(const std::string &path, const std::string &text)
{
    std::string stream = path + ":Zone.Identifier";
    DeleteFileA(stream.c_str());
    if (!text.empty())
        write_file(stream, text);
}

std::string with_machine(std::string image, WORD machine)
{
    DWORD header = *(const DWORD *)&image[0x3C]; // e_lfanew; the machine follows "PE\0\0"
    memcpy(&image[header + 4], &machine, sizeof machine);
    return image;
}

bool file_exists(const std::string &path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

Launched::~Launched()
{
    if (info.hProcess != NULL) {
        // A test that failed half-way must not leave its program running.
        if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(info.hProcess, 1);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
}

bool launch(const std::string &exe, Launched &process, const std::string &arguments)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string command = "\"" + exe + "\" " + arguments;
    std::string folder = exe.substr(0, exe.rfind('\\') + 1);
    // ERROR_INTERNAL_ERROR: Wine's loader ended before the new process reached the wineserver
    // (seen once in thousands of starts), before any of the program ran. Tried twice more.
    DWORD error = 0;
    for (int attempt = 0; attempt < 3 && (attempt == 0 || error == ERROR_INTERNAL_ERROR); attempt++) {
        if (CreateProcessA(exe.c_str(), &command[0], NULL, NULL, FALSE, 0, NULL, folder.c_str(), &startup,
                           &process.info))
            return true;
        error = GetLastError();
        printf("cannot start %s: error %lu\n", exe.c_str(), error);
    }
    ADD_FAILURE() << "cannot start " << exe << ": error " << error;
    return false;
}

ExcelWindow::ExcelWindow(const char *class_name, const std::string &title, bool hidden,
                         const std::vector<std::string> &held)
{
    std::string arguments = std::string("--window ") + class_name + " \"" + title + "\"" + (hidden ? " hidden" : "");
    if (!held.empty())
        arguments += " --hold";
    for (const std::string &file : held)
        arguments += " \"" + file + "\"";
    if (!launch(build_folder() + "stand-in-excel16.exe", process, arguments))
        return;
    DWORD start = GetTickCount();
    while ((window = FindWindowA(class_name, title.c_str())) == NULL && GetTickCount() - start < 30000)
        Sleep(20);
    EXPECT_TRUE(window != NULL) << "no window of the stand-in Excel";
}

void ExcelWindow::close()
{
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(wait_for_exit(process, 30000));
}

void open_console_window(const std::string &title)
{
    FreeConsole();
    AllocConsole();
    // SetConsoleTitleA would read the title in the console's code page, not in UTF-8.
    wchar_t wide[1024];
    MultiByteToWideChar(CP_UTF8, 0, title.c_str(), -1, wide, 1024);
    SetConsoleTitleW(wide);
    // Observed under Wine: the window appears only once someone asks for it.
    GetConsoleWindow();
}

DWORD exit_status(const Launched &process)
{
    DWORD status = STILL_ACTIVE;
    GetExitCodeProcess(process.info.hProcess, &status);
    return status;
}

struct WindowSearch {
    DWORD process_id;
    const char *caption;
    HWND found;
};

static BOOL CALLBACK find_process_window(HWND window, LPARAM parameter)
{
    WindowSearch *search = (WindowSearch *)parameter;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char caption[512] = "";
    if (search->caption != NULL)
        GetWindowTextA(window, caption, sizeof caption);
    if (owner == search->process_id && IsWindowVisible(window) &&
        (search->caption == NULL || strcmp(caption, search->caption) == 0)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

static HWND visible_window_of(const Launched &process, const char *caption = NULL)
{
    WindowSearch search = {process.info.dwProcessId, caption, NULL};
    EnumWindows(find_process_window, (LPARAM)&search);
    return search.found;
}

HWND wait_for_window(const Launched &process, DWORD timeout_ms, const char *caption)
{
    DWORD start = GetTickCount();
    for (;;) {
        HWND window = visible_window_of(process, caption);
        if (window != NULL)
            return window;
        if (GetTickCount() - start > timeout_ms ||
            WaitForSingleObject(process.info.hProcess, 0) == WAIT_OBJECT_0)
            return NULL;
        Sleep(20);
    }
}

bool wait_for_window_gone(HWND window, DWORD timeout_ms)
{
    DWORD start = GetTickCount();
    while (IsWindow(window) && IsWindowVisible(window)) {
        if (GetTickCount() - start > timeout_ms)
            return false;
        Sleep(20);
    }
    return true;
}

std::string control_text(HWND window, int id)
{
    char text[1024] = "";
    GetDlgItemTextA(window, id, text, sizeof text);
    return text;
}

static BOOL CALLBACK find_edit_box(HWND child, LPARAM parameter)
{
    char class_name[64] = "";
    GetClassNameA(child, class_name, sizeof class_name);
    if (lstrcmpiA(class_name, "Edit") != 0 || !IsWindowVisible(child))
        return TRUE;
    *(HWND *)parameter = child;
    return FALSE;
}

HWND first_edit_box(HWND window)
{
    HWND found = NULL;
    EnumChildWindows(window, find_edit_box, (LPARAM)&found);
    return found;
}

static BOOL CALLBACK read_child(HWND child, LPARAM parameter)
{
    SeenWindow *seen = (SeenWindow *)parameter;
    if (!IsWindowVisible(child))
        return TRUE;
    char class_name[64] = "";
    GetClassNameA(child, class_name, sizeof class_name);
    LONG style = GetWindowLongA(child, GWL_STYLE);
    if (lstrcmpiA(class_name, "Static") == 0) {
        if ((style & SS_TYPEMASK) == SS_ICON) {
            if (SendMessageA(child, STM_GETICON, 0, 0) != 0)
                seen->has_icon = true;
        } else {
            char text[2048] = "";
            GetWindowTextA(child, text, sizeof text);
            if (strlen(text) > seen->text.size())
                seen->text = text;
        }
    } else if (lstrcmpiA(class_name, "Button") == 0) {
        seen->buttons.push_back(GetDlgCtrlID(child));
    }
    return TRUE;
}

SeenWindow read_window(HWND window)
{
    SeenWindow seen;
    seen.window = window;
    char caption[512] = "";
    GetWindowTextA(window, caption, sizeof caption);
    seen.caption = caption;
    EnumChildWindows(window, read_child, (LPARAM)&seen);
    return seen;
}

void press_button(HWND window, int id)
{
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 (LPARAM)GetDlgItem(window, id));
}

bool wait_for_exit(const Launched &process, DWORD timeout_ms)
{
    return WaitForSingleObject(process.info.hProcess, timeout_ms) == WAIT_OBJECT_0;
}

std::string opened_after(const Launched &process, const std::string &excel_folder)
{
    EXPECT_TRUE(wait_for_exit(process, 60000)) << "the program is still running";
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    FILETIME started, unused;
    GetProcessTimes(process.info.hProcess, &started, &unused, &unused, &unused);
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        HANDLE child = entry.th32ParentProcessID == process.info.dwProcessId
                           ? OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, entry.th32ProcessID)
                           : NULL;
        // A process id is used again once its process has ended: a process started before
        // ours (Wine's services.exe, say) may name ours as its parent.
        FILETIME child_started;
        if (child != NULL && GetProcessTimes(child, &child_started, &unused, &unused, &unused) &&
            CompareFileTime(&child_started, &started) >= 0) {
            EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(child, 60000)) << entry.szExeFile << " still runs";
        }
        if (child != NULL)
            CloseHandle(child);
    }
    CloseHandle(snapshot);
    return read_file(opened_record_path(excel_folder));
}

const DWORD MessageDeadline = 30000;

HWND expect_message(const Launched &run, const std::string &text, const std::vector<int> &buttons, bool icon)
{
    HWND window = wait_for_window(run, MessageDeadline);
    if (window == NULL) {
        ADD_FAILURE() << "no message box";
        return NULL;
    }
    SeenWindow seen = read_window(window);
    EXPECT_EQ(Caption, seen.caption);
    EXPECT_EQ(text, seen.text);
    EXPECT_EQ(buttons, seen.buttons);
    EXPECT_EQ(icon, seen.has_icon);
    return window;
}

void answer_and_expect_end(const Launched &run, HWND window, int button, DWORD status)
{
    press_button(window, button);
    ASSERT_TRUE(wait_for_window_gone(window, MessageDeadline));
    EXPECT_TRUE(runs_silently(run, MessageDeadline));
    EXPECT_EQ(status, exit_status(run));
}

std::string folder_state(const std::string &folder, const char *pattern)
{
    std::string state;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + pattern).c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
        state += std::string(found.cFileName) + " " + std::to_string(found.dwFileAttributes) + " " +
                 read_file(folder + found.cFileName) + "\n";
    FindClose(search);
    return state;
}

bool runs_silently(const Launched &process, DWORD timeout_ms)
{
    DWORD start = GetTickCount();
    for (;;) {
        HWND window = visible_window_of(process);
        if (window != NULL) {
            SeenWindow seen = read_window(window);
            ADD_FAILURE() << "unexpected window \"" << seen.caption << "\": " << seen.text;
            return false;
        }
        if (WaitForSingleObject(process.info.hProcess, 20) == WAIT_OBJECT_0)
            return true;
        if (GetTickCount() - start > timeout_ms) {
            ADD_FAILURE() << "still running after " << timeout_ms << " ms";
            return false;
        }
    }
}
