// Excel workbooks as compound files, made by Windows' own structured storage, for the tests
// and, built as make-workbook.exe (MAKE_WORKBOOK), for the package check's payloads.
#include <windows.h>

#include <objbase.h>

#include <string.h>

// See test_support.h.
bool write_workbook(const char *path, const char *kind)
{
    const DWORD Create = STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE;
    const char Empty[] = "empty ";
    bool empty = strncmp(kind, Empty, sizeof Empty - 1) == 0;
    wchar_t wide_path[MAX_PATH], signature[64] = L"\x05";
    MultiByteToWideChar(CP_ACP, 0, path, -1, wide_path, MAX_PATH);
    MultiByteToWideChar(CP_ACP, 0, empty ? kind + sizeof Empty - 1 : kind, -1, signature + 1, 63);
    IStorage *workbook = NULL, *project = NULL, *vba = NULL;
    IStream *book = NULL, *signed_by = NULL;
    bool made = SUCCEEDED(StgCreateDocfile(wide_path, Create, 0, &workbook)) &&
                SUCCEEDED(workbook->CreateStream(L"Workbook", Create, 0, 0, &book)) &&
                (strcmp(kind, "none") == 0 ||
                 (SUCCEEDED(workbook->CreateStorage(L"_VBA_PROJECT_CUR", Create, 0, 0, &project)) &&
                  SUCCEEDED(project->CreateStorage(L"VBA", Create, 0, 0, &vba)) &&
                  (strcmp(kind, "unsigned") == 0 ||
                   (SUCCEEDED(project->CreateStream(signature, Create, 0, 0, &signed_by)) &&
                    (empty || SUCCEEDED(signed_by->Write("PKCS#7", 6, NULL)))))));
    IUnknown *elements[] = {signed_by, vba, project, book, workbook};
    for (IUnknown *element : elements)
        if (element != NULL)
            element->Release();
    return made;
}

#ifdef MAKE_WORKBOOK
int main(int argc, char **argv)
{
    return argc == 3 && write_workbook(argv[1], argv[2]) ? 0 : 1;
}
#endif
