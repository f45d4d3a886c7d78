// Excel workbooks as compound files, made by Windows' own structured storage.
#include "workbook.h"

#include <windows.h>

#include <objbase.h>

#include <string.h>

// A new element's mode: a structured storage's children are opened exclusively.
const DWORD Create = STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE;

static bool add_stream(IStorage *storage, const wchar_t *name)
{
    IStream *stream = NULL;
    if (FAILED(storage->CreateStream(name, Create, 0, 0, &stream)))
        return false;
    bool written = SUCCEEDED(stream->Write("kavor", 5, NULL));
    stream->Release();
    return written;
}

static bool add_project(IStorage *workbook, const char *kind)
{
    IStorage *project = NULL, *vba = NULL;
    if (FAILED(workbook->CreateStorage(L"_VBA_PROJECT_CUR", Create, 0, 0, &project)))
        return false;
    bool made = SUCCEEDED(project->CreateStorage(L"VBA", Create, 0, 0, &vba));
    if (made)
        vba->Release();
    if (made && strcmp(kind, "unsigned") != 0) {
        wchar_t signature[64] = L"\x05";
        MultiByteToWideChar(CP_ACP, 0, kind, -1, signature + 1, 63);
        made = add_stream(project, signature);
    }
    project->Release();
    return made;
}

bool write_workbook(const char *path, const char *kind)
{
    wchar_t wide[MAX_PATH];
    IStorage *workbook = NULL;
    if (MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH) == 0 ||
        FAILED(StgCreateDocfile(wide, Create, 0, &workbook)))
        return false;
    bool made = add_stream(workbook, L"Workbook") && (strcmp(kind, "none") == 0 || add_project(workbook, kind));
    workbook->Release();
    return made;
}
