// Puts the add-in's new files in place of the earlier copies in the add-in folder, all or
// nothing.
#include "replace.h"

// One file's way into the folder, and what undoes it.
struct Replacement {
    char target[PathCapacity];
    char staged[PathCapacity];  // the new file beside its target; empty before it is made
    char earlier[PathCapacity]; // the earlier copy moved aside; empty when there is none
    bool placed;                // the new file has taken the target's name
};

size_t held_files(const char *folder, const char **held)
{
    size_t count = 0;
    for (size_t i = 0; i < ReplacedCount; i++) {
        char path[PathCapacity];
        if (!join_path(path, folder, InstallerFileSet[i]))
            continue; // reported by the replacement, which cannot name it either
        // What moving it aside asks for, and nothing more: a reader that shares it for
        // deletion (an antivirus, the indexer) does not block.
        HANDLE file = CreateFileA(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            continue;
        }
        DWORD error = GetLastError();
        if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
            held[count++] = InstallerFileSet[i];
    }
    return count;
}

// A new empty file of our own in folder, so that no file of the user's bears its name.
static bool make_own_name(const char *folder, char *name)
{
    if (GetTempFileNameA(folder, "kav", 0, name))
        return true;
    name[0] = '\0';
    return false;
}

// Copies the new file beside its target.
static bool stage(Replacement &file, const char *source, const char *folder, const char *name)
{
    if (!join_path(file.target, folder, name)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    return make_own_name(folder, file.staged) && CopyFileA(source, file.staged, FALSE);
}

// Moves the earlier copy aside, if there is one, and the new file into its place. Moved,
// never deleted: a reader that shares the earlier copy for deletion keeps a deleted file's
// name taken until it lets go. A folder by the target's name stays where it is, and the
// move onto it fails.
static bool swap_in(Replacement &file, const char *folder)
{
    DWORD attributes = GetFileAttributesA(file.target);
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        if (!make_own_name(folder, file.earlier))
            return false;
        if (!MoveFileExA(file.target, file.earlier, MOVEFILE_REPLACE_EXISTING)) {
            DWORD error = GetLastError();
            DeleteFileA(file.earlier);
            file.earlier[0] = '\0';
            SetLastError(error);
            return false;
        }
    }
    if (!MoveFileExA(file.staged, file.target, 0))
        return false;
    file.placed = true;
    return true;
}

// Undoes every step taken, the last first; the earlier copies get their names back with
// their content and attributes, and no file of ours stays.
static void roll_back(Replacement *files)
{
    for (size_t i = ReplacedCount; i-- > 0;) {
        Replacement &file = files[i];
        if (file.placed)
            MoveFileExA(file.target, file.staged, 0);
        if (file.earlier[0] != '\0')
            MoveFileExA(file.earlier, file.target, 0);
        if (file.staged[0] != '\0')
            delete_file(file.staged);
    }
}

bool replace_files(const char *const *sources, const char *folder, const char **failed_name, DWORD *failed_code)
{
    Replacement files[ReplacedCount] = {};
    size_t failed = ReplacedCount;
    // Every new file beside its target before any earlier copy moves: a copy that fails (a
    // full disk, say) then changes nothing.
    for (size_t i = 0; failed == ReplacedCount && i < ReplacedCount; i++)
        if (!stage(files[i], sources[i], folder, InstallerFileSet[i]))
            failed = i;
    for (size_t i = 0; failed == ReplacedCount && i < ReplacedCount; i++)
        if (!swap_in(files[i], folder))
            failed = i;
    if (failed < ReplacedCount) {
        *failed_name = InstallerFileSet[failed];
        *failed_code = GetLastError();
        roll_back(files);
        return false;
    }
    for (Replacement &file : files)
        if (file.earlier[0] != '\0')
            delete_file(file.earlier);
    return true;
}
