// Puts the add-in's new files in place of the earlier copies in the add-in folder, all or
// nothing.
#include "replace.h"

#include <string.h>

// One file's way into the folder, and what undoes it.
struct Replacement {
    char target[PathCapacity];
    char staged[PathCapacity];  // the new file beside its target; empty before it is made
    char earlier[PathCapacity]; // the earlier copy moved aside; empty when there is none
    bool placed;                // the new file has taken the target's name
};

// Another program has the file open without sharing it for deletion, or its deletion is
// still pending (Windows before 10 version 1903, while a reader shares it for deletion).
static bool held_error(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

size_t held_files(const char *folder, const char **held)
{
    size_t count = 0;
    for (size_t i = 0; i < ReplacedCount; i++) {
        char path[PathCapacity];
        if (!join_path(path, folder, InstallerFileSet[i]))
            continue; // reported by the replacement, which cannot name it either
        // A folder by the name is reported by the replacement, which cannot move it.
        DWORD attributes = GetFileAttributesA(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        // What moving it aside asks for, and nothing more: a reader that shares it for
        // deletion (an antivirus, the indexer) does not block.
        HANDLE file = CreateFileA(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        else if (held_error(GetLastError()))
            held[count++] = InstallerFileSet[i];
    }
    return count;
}

// An on-access scanner opens each file the moment it is written or renamed, and may keep it
// for a moment without sharing it for deletion: a step on one of our files is tried again
// for about two seconds before it counts as failed. A wait for a machine, not for the user.
const int Tries = 10;
const DWORD PauseMs = 200;

// The steps, each replacing nothing: the target's name is new, or must be free.
static bool move_once(const char *from, const char *to)
{
    return MoveFileExA(from, to, 0) != 0;
}
static bool copy_once(const char *from, const char *to)
{
    return CopyFileA(from, to, TRUE) != 0;
}

static bool retried(bool (*step)(const char *, const char *), const char *from, const char *to)
{
    for (int tries = 1;; tries++) {
        if (step(from, to))
            return true;
        if (tries == Tries || !held_error(GetLastError()))
            return false;
        Sleep(PauseMs);
    }
}

static bool move_file(const char *from, const char *to)
{
    return retried(move_once, from, to);
}

// A file that still cannot be deleted stays, to be swept by the next run.
static void delete_own_file(const char *path)
{
    for (int tries = 1; delete_file(path) == FileStillThere && tries < Tries; tries++)
        Sleep(PauseMs);
}

// The number of the next name of our own; seeded by the clock, as GetTempFileNameA does.
static DWORD NextName;

// Gives the file at from (the new file's source, or the earlier copy) a new name of our own
// in folder, by copying or moving it there (step, retried); names already taken are passed
// over, so that no file of the user's is ever overwritten. The new name goes into to, or an
// empty text on failure. Made here: GetTempFileNameA refuses a folder of more than 246
// characters, where the add-in's own names still fit.
static bool take_own_name(bool (*step)(const char *, const char *), const char *from, const char *folder, char *to)
{
    if (NextName == 0)
        NextName = GetTickCount();
    for (DWORD tries = 0; tries <= 0xFFFF; tries++) {
        char name[16];
        format_text(name, sizeof name, OwnNameFormat, (unsigned)(NextName++ & 0xFFFF));
        if (!join_path(to, folder, name)) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            break;
        }
        if (retried(step, from, to))
            return true;
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            break;
    }
    to[0] = '\0';
    return false;
}

// Copies the new file beside its target.
static bool stage(Replacement &file, const char *source, const char *folder, const char *name)
{
    if (!join_path(file.target, folder, name)) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return false;
    }
    return take_own_name(copy_once, source, folder, file.staged);
}

// Moves the earlier copy aside, if there is one, and the new file into its place. Moved,
// never deleted: a reader that shares the earlier copy for deletion keeps a deleted file's
// name taken until it lets go. A folder by the target's name stays where it is, and the
// move onto it fails.
static bool swap_in(Replacement &file, const char *folder)
{
    DWORD attributes = GetFileAttributesA(file.target);
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
        !take_own_name(move_once, file.target, folder, file.earlier))
        return false;
    if (!move_file(file.staged, file.target))
        return false;
    file.placed = true;
    return true;
}

// Undoes every step taken, the last first, and looks at each: a new file leaves its
// target's name only for its staged one and is deleted only once the earlier copy has its
// name back, and no name that had a file is left empty while a file can take it. False when
// an earlier copy could not get its name back, or a new file could not leave it.
static bool roll_back(Replacement *files)
{
    bool whole = true;
    for (size_t i = ReplacedCount; i-- > 0;) {
        Replacement &file = files[i];
        if (file.placed && move_file(file.target, file.staged))
            file.placed = false;
        if (!file.placed && file.earlier[0] != '\0') {
            if (move_file(file.earlier, file.target))
                file.earlier[0] = '\0';
            else if (move_file(file.staged, file.target))
                file.placed = true;
        }
        if (file.placed || file.earlier[0] != '\0')
            whole = false;
        else if (file.staged[0] != '\0')
            delete_own_file(file.staged);
    }
    return whole;
}

// The name of a path in the add-in folder, without the folder.
static const char *name_in_folder(const char *path)
{
    return strrchr(path, '\\') + 1;
}

// What the folder holds in place of each file whose undoing failed, as a sentence lists it.
static void describe_stranded(const Replacement *files, char *text, size_t capacity)
{
    text[0] = '\0';
    for (size_t i = 0; i < ReplacedCount; i++) {
        const Replacement &file = files[i];
        const char *name = InstallerFileSet[i];
        char part[MessageCapacity / 2];
        if (file.placed && file.earlier[0] != '\0')
            format_text(part, sizeof part, "%s is the new one, and the earlier %s lies as %s", name, name,
                        name_in_folder(file.earlier));
        else if (file.placed)
            format_text(part, sizeof part, "%s is the new one, where there was none", name);
        else if (file.earlier[0] != '\0')
            format_text(part, sizeof part, "the new %s lies as %s, and the earlier one as %s", name,
                        name_in_folder(file.staged), name_in_folder(file.earlier));
        else
            continue;
        if (text[0] != '\0')
            append_text(text, capacity, "; ");
        append_text(text, capacity, part);
    }
}

bool replace_files(const char *const *sources, const char *folder, ReplaceFailure *failure)
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
    failure->stranded[0] = '\0';
    if (failed < ReplacedCount) {
        failure->name = InstallerFileSet[failed];
        failure->code = GetLastError();
        if (!roll_back(files))
            describe_stranded(files, failure->stranded, sizeof failure->stranded);
        return false;
    }
    for (Replacement &file : files)
        if (file.earlier[0] != '\0')
            delete_own_file(file.earlier);
    return true;
}
