// A stand-in for EXCEL.EXE (or, built with OTHER_PROGRAM, for LibreOffice's scalc.exe).
// Opened with a document, it appends the document's path, the show state the shell passed
// on and its own path to the record beside itself, so tests see what was opened, how, and
// by which program.
//   --window CLASS TITLE [hidden] [--hold FILE...]
//                                  shows a top-level window until that is closed, holding
//                                  the files open meanwhile as Excel holds a loaded add-in's:
//                                  for reading, sharing only reading
//   --register                     registers itself as the ".xls" handler
//   --wait-opened N                waits up to 60 s until the record holds N documents
#include "excel_record.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wparam, lparam);
}

static int show_window(const char *class_name, const char *title, bool hidden)
{
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = window_proc;
    window_class.hInstance = GetModuleHandleA(NULL);
    window_class.lpszClassName = class_name;
    if (!RegisterClassA(&window_class))
        return 1;
    HWND window = CreateWindowA(class_name, title, WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, NULL,
                                NULL, window_class.hInstance, NULL);
    if (window == NULL)
        return 1;
    if (!hidden)
        ShowWindow(window, SW_SHOWNORMAL);
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}

static int record_document(const char *document)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    int show = (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : -1;
    char self[MAX_PATH] = "";
    GetModuleFileNameA(NULL, self, MAX_PATH);
    char line[MAX_PATH * 3];
    snprintf(line, sizeof line, "%s\tshow %d\t%s\n", document, show, self);

    HANDLE file = CreateFileA(opened_record_path(program_folder()).c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    BOOL ok = WriteFile(file, line, (DWORD)strlen(line), &written, NULL);
    CloseHandle(file);
    return ok ? 0 : 1;
}

int main(int argc, char **argv)
{
    if (argc >= 4 && strcmp(argv[1], "--window") == 0) {
        bool hidden = argc >= 5 && strcmp(argv[4], "hidden") == 0;
        for (int i = hidden ? 5 : 4; i < argc; i++) {
            // Closed when the process ends.
            if (strcmp(argv[i], "--hold") != 0 &&
                CreateFileA(argv[i], GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL) ==
                    INVALID_HANDLE_VALUE)
                return 1;
        }
        return show_window(argv[2], argv[3], hidden);
    }
    if (argc >= 2 && strcmp(argv[1], "--register") == 0) {
        char path[MAX_PATH];
        GetModuleFileNameA(NULL, path, MAX_PATH);
        register_xls_command(std::string("\"") + path + "\" \"%1\"");
        return 0;
    }
    if (argc >= 3 && strcmp(argv[1], "--wait-opened") == 0) {
        int count = atoi(argv[2]);
        std::string record = wait_for_opened(program_folder(), count, 60000);
        fputs(record.c_str(), stdout);
        return record_lines(record) >= (size_t)count ? 0 : 1;
    }
    return record_document(argc >= 2 ? argv[1] : "");
}
