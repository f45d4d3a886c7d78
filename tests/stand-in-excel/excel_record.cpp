// What the stand-in Excel shares with the tests that use it: how it is registered for
// ".xls", and the record of what the shell asked it to open.
#include "excel_record.h"

#include <windows.h>

#include <string.h>

#include <algorithm>

std::string program_folder()
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return "";
    *(strrchr(path, '\\') + 1) = '\0';
    return path;
}

size_t record_lines(const std::string &record) { return (size_t)std::count(record.begin(), record.end(), '\n'); }

static void write_default(const char *key, const std::string &value)
{
    HKEY handle;
    if (RegCreateKeyA(HKEY_CLASSES_ROOT, key, &handle) != ERROR_SUCCESS)
        return;
    RegSetValueExA(handle, NULL, 0, REG_SZ, (const BYTE *)value.c_str(), (DWORD)value.size() + 1);
    RegCloseKey(handle);
}

void register_class(const char *class_name, const std::string &command)
{
    std::string key = std::string(class_name) + "\\shell\\open\\";
    write_default((key + "command").c_str(), command);
    // Excel's class asks for DDE too. No stand-in answers it: the shell then starts the
    // command above, which records the workbook.
    write_default((key + "ddeexec").c_str(), "[open(\"%1\")]");
    write_default((key + "ddeexec\\application").c_str(), "Excel");
    write_default((key + "ddeexec\\topic").c_str(), "system");
}

void register_xls_command(const std::string &command)
{
    write_default(".xls", "KavorTest.Sheet");
    register_class("KavorTest.Sheet", command);
}

std::string opened_record_path(const std::string &excel_folder) { return excel_folder + "opened.txt"; }

std::string read_file(const std::string &path)
{
    std::string content;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return content;
    char chunk[4096];
    DWORD got;
    while (ReadFile(file, chunk, sizeof chunk, &got, NULL) && got > 0)
        content.append(chunk, got);
    CloseHandle(file);
    return content;
}

std::string wait_for_opened(const std::string &excel_folder, int count, unsigned long timeout_ms)
{
    DWORD start = GetTickCount();
    for (;;) {
        std::string content = read_file(opened_record_path(excel_folder));
        if (record_lines(content) >= (size_t)count || GetTickCount() - start > timeout_ms)
            return content;
        Sleep(20);
    }
}
