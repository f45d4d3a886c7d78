// A stand-in for EXCEL.EXE. Opened with a document, it appends the document's path to
// "opened.txt" beside itself, so tests see what the shell asked it to open.
// With --window CLASS TITLE [hidden] it shows a top-level window until that is closed.
#include <windows.h>

#include <stdio.h>
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
    char record[MAX_PATH * 2];
    DWORD length = GetModuleFileNameA(NULL, record, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return 1;
    char *slash = strrchr(record, '\\');
    strcpy(slash + 1, "opened.txt");
    FILE *file = fopen(record, "ab");
    if (file == NULL)
        return 1;
    fprintf(file, "%s\n", document);
    fclose(file);
    return 0;
}

int main(int argc, char **argv)
{
    if (argc >= 4 && strcmp(argv[1], "--window") == 0)
        return show_window(argv[2], argv[3], argc >= 5 && strcmp(argv[4], "hidden") == 0);
    return record_document(argc >= 2 ? argv[1] : "");
}
