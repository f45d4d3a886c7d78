// Finds Excel through the ".xls" association and the folder it loads add-ins from.
#include "discovery.h"

#include <shlobj.h>

#include <stdlib.h>
#include <string.h>

char ExcelPath[PathCapacity];

const DWORD PartCapacity = 256;

// Bytes of the character at c: two for a double-byte character of the system code page,
// whose second byte may have the value of a backslash or a capital and is neither.
static size_t character_length(const char *c)
{
    return IsDBCSLeadByte((BYTE)c[0]) && c[1] != '\0' ? 2 : 1;
}

// Drive ("C:" or empty, 3 bytes) and directory (up to and including the last separator,
// PartCapacity bytes) of a path; a double-byte character's second byte is never a
// separator. False when the directory would not fit.
static bool split_path(const char *path, char *drive, char *directory)
{
    size_t start = 0;
    drive[0] = '\0';
    if (path[0] != '\0' && path[1] == ':') {
        drive[0] = path[0];
        drive[1] = ':';
        drive[2] = '\0';
        start = 2;
    }

    size_t end = start; // one past the last separator
    for (size_t i = start; path[i] != '\0'; i += character_length(path + i)) {
        if (path[i] == '\\' || path[i] == '/')
            end = i + 1;
    }

    size_t length = end - start;
    if (length >= PartCapacity)
        return false;
    memcpy(directory, path + start, length);
    directory[length] = '\0';
    return true;
}

// Drive and directory of a path, joined into a path buffer; the name and extension go.
static bool folder_of(const char *path, char *folder)
{
    char drive[3];
    char directory[PartCapacity];
    if (!split_path(path, drive, directory))
        return false;
    return join_path(folder, drive, directory);
}

DiscoveryStatus source_folder(char *SourceFolder)
{
    char path[PathCapacity];
    DWORD length = GetModuleFileNameA(NULL, path, PathCapacity);
    // A full buffer means Windows cut the path short.
    if (length == 0 || length >= PathCapacity)
        return PathTooLong;

    return folder_of(path, SourceFolder) ? Found : PathTooLong;
}

void clean_excel_command()
{
    if (ExcelPath[0] == '"') {
        char scratch[PathCapacity];
        memcpy(scratch, ExcelPath + 1, PathCapacity - 1);
        scratch[PathCapacity - 1] = '\0';
        memcpy(ExcelPath, scratch, PathCapacity);
    }

    char *quote = strchr(ExcelPath, '"');
    if (quote != NULL)
        *quote = '\0';

    // Only A to Z, in place: under the UTF-8 code page some letters' lower case has another
    // length in bytes, and a lower-cased letter may name another folder (U+0130 becomes "i").
    for (size_t i = 0; ExcelPath[i] != '\0'; i += character_length(ExcelPath + i)) {
        if (ExcelPath[i] >= 'A' && ExcelPath[i] <= 'Z')
            ExcelPath[i] = (char)(ExcelPath[i] - 'A' + 'a');
    }

    // Whatever follows the executable's name is a switch.
    char *extension = strstr(ExcelPath, ".exe");
    if (extension != NULL)
        extension[4] = '\0';
}

// Whether a version resource gives another original file name than Excel's, in the first
// of its languages that gives one at all.
static bool names_other_program(void *block, decltype(&VerQueryValueA) query)
{
    WORD *translation = NULL;
    UINT length = 0;
    if (!query(block, "\\VarFileInfo\\Translation", (void **)&translation, &length) || translation == NULL)
        return false;
    // Each language: its identifier, then its code page.
    for (UINT i = 0; i + 1 < length / sizeof(WORD); i += 2) {
        char name[64];
        format_text(name, sizeof name, "\\StringFileInfo\\%04x%04x\\OriginalFilename", translation[i],
                    translation[i + 1]);
        char *original = NULL;
        UINT original_length = 0;
        if (query(block, name, (void **)&original, &original_length) && original != NULL && original_length > 0)
            return lstrcmpiA(original, "Excel.exe") != 0;
    }
    return false;
}

// The version resource of ExcelPath, read once for both of what it tells: the major
// version, and whether it is another program's.
static DiscoveryStatus read_version_resource(int *ExcelMajorVersion, bool *other_program)
{
    // VERSION.dll is no known DLL of Windows: imported, it would be looked for beside the
    // program first.
    auto get_size = SYSTEM_FUNCTION("version.dll", GetFileVersionInfoSizeA);
    auto get_info = SYSTEM_FUNCTION("version.dll", GetFileVersionInfoA);
    auto query = SYSTEM_FUNCTION("version.dll", VerQueryValueA);
    if (get_size == NULL || get_info == NULL || query == NULL)
        return VersionUnavailable;

    DWORD handle = 0;
    DWORD size = get_size(ExcelPath, &handle);
    if (size == 0)
        return VersionUnavailable;

    void *block = malloc(size);
    if (block == NULL)
        return VersionUnavailable;
    DiscoveryStatus status = VersionUnavailable;
    if (get_info(ExcelPath, handle, size, block)) {
        VS_FIXEDFILEINFO *info = NULL;
        UINT length = 0;
        if (query(block, "\\", (void **)&info, &length) && info != NULL && length >= sizeof(VS_FIXEDFILEINFO)) {
            *ExcelMajorVersion = (int)(info->dwFileVersionMS >> 16);
            status = Found;
        }
        *other_program = names_other_program(block, query);
    }
    // What the block held has been read.
    free(block);
    return status;
}

DiscoveryStatus read_excel_major_version(int *ExcelMajorVersion)
{
    bool other_program = false;
    return read_version_resource(ExcelMajorVersion, &other_program);
}

// A key's default value that names a program, cleaned into ExcelPath.
static DiscoveryStatus read_command(HKEY root, const char *key_name)
{
    HKEY key;
    if (RegOpenKeyA(root, key_name, &key) != ERROR_SUCCESS)
        return OpenCommandMissing;
    LONG result = read_reg_default(key, ExcelPath, PathCapacity);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        return OpenCommandUnreadable;
    clean_excel_command();
    return Found;
}

// The open command of a class: HKEY_CLASSES_ROOT\<class>\shell\open\command.
static DiscoveryStatus read_open_command(const char *class_name)
{
    char key_name[AssociationCapacity];
    if (!copy_text(key_name, AssociationCapacity, class_name) ||
        !append_text(key_name, AssociationCapacity, "\\shell\\open\\command"))
        return PathTooLong;
    return read_command(HKEY_CLASSES_ROOT, key_name);
}

// What a program named as Excel is: not Excel (a folder, a file that is not there, as an
// entry left behind by an Excel since removed names, or a version resource that gives
// another program's name as its original file name); Excel, as far as can be told (one
// without a version resource, or without that name in it, is still taken for Excel, and
// the installer then asks for its version); or in doubt: Windows cannot look at it (access
// denied, a bad name, an offline share).
enum ExcelClaim { NotExcel, SureExcel, DoubtfulExcel };

static ExcelClaim judge_excel_path()
{
    DWORD attributes = GetFileAttributesA(ExcelPath);
    DeleteResult state = file_state(attributes);
    if (state == FileGone || (state == FileStillThere && (attributes & FILE_ATTRIBUTE_DIRECTORY)))
        return NotExcel;
    if (state == FileInDoubt)
        return DoubtfulExcel;
    int major = 0;
    bool other_program = false;
    read_version_resource(&major, &other_program);
    return other_program ? NotExcel : SureExcel;
}

// The first program in doubt that the search met, with its class: taken only where no
// place names an Excel that is sure.
struct DoubtfulCandidate {
    bool kept;
    char path[PathCapacity];
    char excel_class[AssociationCapacity];
};

// Whether the program just read into ExcelPath (by ExcelClass, empty for App Paths) ends the
// search, being sure to be Excel. The first one in doubt is kept for the end.
static bool ends_search(const char *ExcelClass, DoubtfulCandidate *doubtful)
{
    ExcelClaim claim = judge_excel_path();
    if (claim == DoubtfulExcel && !doubtful->kept) {
        doubtful->kept = true;
        memcpy(doubtful->path, ExcelPath, PathCapacity);
        memcpy(doubtful->excel_class, ExcelClass, AssociationCapacity);
    }
    return claim == SureExcel;
}

DiscoveryStatus locate_excel(char *ExcelClass)
{
    HKEY key;
    if (RegOpenKeyA(HKEY_CLASSES_ROOT, ".xls", &key) != ERROR_SUCCESS)
        return AssociationKeyMissing;
    LONG result = read_reg_value(key, NULL, ExcelClass, AssociationCapacity);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS)
        return AssociationUnreadable;
    if (ExcelClass[0] == '\0')
        return AssociationEmpty;
    // An empty command names no program at all: taken as it reads, as it always was.
    DiscoveryStatus status = read_open_command(ExcelClass);
    DoubtfulCandidate doubtful;
    doubtful.kept = false;
    if (status != Found || ExcelPath[0] == '\0' || ends_search(ExcelClass, &doubtful))
        return status;

    // Another program took ".xls" over, the Excel it names was removed, or Windows cannot
    // look at it. Excel registers its own class from Excel 97 on, and the others leave it
    // alone.
    copy_text(ExcelClass, AssociationCapacity, "Excel.Sheet.8");
    if (read_open_command(ExcelClass) == Found && ends_search(ExcelClass, &doubtful))
        return Found;
    // Shared by 32-bit and 64-bit programs since Windows 7: 64-bit Office's entry reads as
    // it is.
    ExcelClass[0] = '\0';
    if (read_command(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\excel.exe") ==
            Found &&
        ends_search(ExcelClass, &doubtful))
        return Found;
    // A program that may well be there (access denied) is still Excel where nothing else is.
    if (doubtful.kept) {
        memcpy(ExcelPath, doubtful.path, PathCapacity);
        memcpy(ExcelClass, doubtful.excel_class, AssociationCapacity);
        return Found;
    }
    ExcelPath[0] = '\0';
    return AssociationNotExcel;
}

static DiscoveryStatus resolve_application_data_folder(int ExcelMajorVersion, char *AddinFolder)
{
    auto get_special_folder = SYSTEM_FUNCTION("shell32.dll", SHGetSpecialFolderPathA);
    if (get_special_folder == NULL)
        return SpecialFolderServiceMissing;

    AddinFolder[0] = '\0';
    BOOL obtained = get_special_folder(NULL, AddinFolder, CSIDL_APPDATA, FALSE);
    // Without it the folder would begin with "\Microsoft\": the root of the current drive.
    if (!obtained || AddinFolder[0] == '\0')
        return SpecialFolderServiceMissing;
    if (!append_text(AddinFolder, PathCapacity, "\\Microsoft\\"))
        return PathTooLong;

    char key_name[64];
    format_text(key_name, sizeof key_name, "Software\\Microsoft\\Office\\%d.0\\Common\\General",
                ExcelMajorVersion);
    char subfolder[PathCapacity];
    HKEY key;
    bool have_subfolder = false;
    if (RegOpenKeyA(HKEY_CURRENT_USER, key_name, &key) == ERROR_SUCCESS) {
        have_subfolder = read_reg_value(key, "AddIns", subfolder, PathCapacity) == ERROR_SUCCESS;
        RegCloseKey(key);
    }
    if (!have_subfolder)
        strcpy(subfolder, "AddIns");
    if (!append_text(AddinFolder, PathCapacity, subfolder))
        return PathTooLong;
    return Found;
}

static DiscoveryStatus resolve_excel97_folder(int ExcelMajorVersion, char *AddinFolder)
{
    char key_name[64];
    format_text(key_name, sizeof key_name, "Software\\Microsoft\\Office\\%d.0\\Excel\\Microsoft Excel",
                ExcelMajorVersion);
    HKEY key;
    bool have_path = false;
    if (RegOpenKeyA(HKEY_CURRENT_USER, key_name, &key) == ERROR_SUCCESS) {
        have_path = read_reg_value(key, "AddIn Path", AddinFolder, PathCapacity) == ERROR_SUCCESS;
        RegCloseKey(key);
    }
    if (have_path) {
        // The value may list several folders; the first is the one used.
        char *separator = strchr(AddinFolder, ';');
        if (separator != NULL)
            *separator = '\0';
        // An empty first entry would name the root of the current drive: it counts as none.
        if (AddinFolder[0] != '\0')
            return Found;
    }

    if (!folder_of(ExcelPath, AddinFolder) || !append_text(AddinFolder, PathCapacity, "Library"))
        return PathTooLong;
    return Found;
}

DiscoveryStatus resolve_addin_folder(int ExcelMajorVersion, char *AddinFolder)
{
    DiscoveryStatus status = ExcelMajorVersion >= FirstApplicationDataVersion
                                 ? resolve_application_data_folder(ExcelMajorVersion, AddinFolder)
                                 : resolve_excel97_folder(ExcelMajorVersion, AddinFolder);
    if (status != Found)
        return status;
    if (!append_text(AddinFolder, PathCapacity, "\\"))
        return PathTooLong;
    return Found;
}

// A home of Excel's settings: where a value is kept for a major version (%d) and a key
// under it (%s), and whether it is a policy's.
struct SettingHome {
    HKEY root;
    const char *key_format;
    bool policy;
};

// Where Excel reads its Trust Center's settings, in its order: Microsoft 365's cloud policy,
// which stands over the two below, a group policy, then the user's own.
static const SettingHome TrustCenterHomes[] = {
    {HKEY_CURRENT_USER, "Software\\Policies\\Microsoft\\Cloud\\Office\\%d.0\\%s", true},
    {HKEY_CURRENT_USER, "Software\\Policies\\Microsoft\\Office\\%d.0\\%s", true},
    {HKEY_CURRENT_USER, "Software\\Microsoft\\Office\\%d.0\\%s", false},
};
// The policies' homes come first: the leading ones of TrustCenterHomes.
const size_t TrustCenterPolicyHomes = 2;

// A REG_DWORD value from the first of count homes that sets it, as Excel takes it; false
// where none does. by_policy: that home is a policy's.
static bool read_setting(const SettingHome *homes, size_t count, int ExcelMajorVersion, const char *key,
                         const char *name, DWORD *value, bool *by_policy)
{
    for (size_t i = 0; i < count; i++) {
        char key_name[128];
        format_text(key_name, sizeof key_name, homes[i].key_format, ExcelMajorVersion, key);
        HKEY opened;
        if (RegOpenKeyA(homes[i].root, key_name, &opened) != ERROR_SUCCESS)
            continue;
        DWORD type = 0, size = sizeof *value;
        LONG result = RegQueryValueExA(opened, name, NULL, &type, (BYTE *)value, &size);
        RegCloseKey(opened);
        if (result == ERROR_SUCCESS && type == REG_DWORD && size == sizeof *value) {
            *by_policy = homes[i].policy;
            return true;
        }
    }
    return false;
}

MacroSetting read_macro_setting(int ExcelMajorVersion, bool *by_policy)
{
    const DWORD DisableExceptSigned = 3;
    const DWORD DisableWithoutNotification = 4;
    DWORD value = 0;
    if (ExcelMajorVersion < FirstTrustCenterVersion ||
        !read_setting(TrustCenterHomes, ARRAYSIZE(TrustCenterHomes), ExcelMajorVersion, "Excel\\Security",
                      "VBAWarnings", &value, by_policy))
        return MacrosMayRun;
    if (value == DisableWithoutNotification)
        return MacrosDisabled;
    return value == DisableExceptSigned ? OnlySignedMacros : MacrosMayRun;
}

FileBlock read_file_block(int ExcelMajorVersion, const char *file_type, bool *by_policy)
{
    // The values of each file type's setting, in Microsoft's words for them. 0 "Do not
    // block", 1 "Save blocked" and 5 "Allow editing and open in Protected View" let the user
    // open the file and enable its content.
    const DWORD UseOpenPolicy = 2; // "Open/Save blocked, use open policy"
    const DWORD Block = 3;         // "Block"
    const DWORD ProtectedView = 4; // "Open in Protected View"
    // "Set default file block behavior" (OpenInProtectedView), which UseOpenPolicy follows:
    // 0 "Blocked files are not opened" (also where it is not set), 1 "Blocked files open in
    // Protected View and can not be edited", 2 "... and can be edited".
    const DWORD NotOpened = 0;
    const DWORD ViewedOnly = 1;
    DWORD value = 0;
    if (ExcelMajorVersion < FirstFileBlockVersion ||
        !read_setting(TrustCenterHomes, ARRAYSIZE(TrustCenterHomes), ExcelMajorVersion, "Excel\\Security\\FileBlock",
                      file_type, &value, by_policy))
        return FileOpens;
    if (value == Block)
        return FileNotOpened;
    if (value == ProtectedView)
        return FileViewedOnly;
    if (value != UseOpenPolicy)
        return FileOpens;
    DWORD behaviour = NotOpened;
    bool behaviour_by_policy = false;
    read_setting(TrustCenterHomes, ARRAYSIZE(TrustCenterHomes), ExcelMajorVersion, "Excel\\Security\\FileBlock",
                 "OpenInProtectedView", &behaviour, &behaviour_by_policy);
    *by_policy = *by_policy || behaviour_by_policy;
    return behaviour == NotOpened ? FileNotOpened : behaviour == ViewedOnly ? FileViewedOnly : FileOpens;
}

bool vba_turned_off(int ExcelMajorVersion)
{
    // "Disable VBA for Office applications", a policy for the whole computer.
    static const SettingHome Homes[] = {
        {HKEY_LOCAL_MACHINE, "Software\\Policies\\Microsoft\\Office\\%d.0\\%s", true},
    };
    DWORD value = 0;
    bool by_policy = false;
    return read_setting(Homes, ARRAYSIZE(Homes), ExcelMajorVersion, "Common", "VBAOff", &value, &by_policy) &&
           value == 1;
}

bool addins_must_be_signed(int ExcelMajorVersion)
{
    // "Require that application add-ins are signed by Trusted Publisher", from a policy.
    DWORD value = 0;
    bool by_policy = false;
    return ExcelMajorVersion >= FirstTrustCenterVersion &&
           read_setting(TrustCenterHomes, TrustCenterPolicyHomes, ExcelMajorVersion, "Excel\\Security", "RequireAddinSig", &value,
                        &by_policy) &&
           value == 1;
}
