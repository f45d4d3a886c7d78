// Puts the add-in's new files in place of the earlier copies in the add-in folder, all or
// nothing.
#pragma once

#include "../platform/platform.h"
#include "../product/product.h"

// The add-in's three files, as the installer names them.
const size_t ReplacedCount = ARRAYSIZE(InstallerFileSet);

// The earlier copies in folder that another program holds open so that they cannot be moved
// aside: opened without sharing them for deletion, as Excel holds the add-in workbook it has
// loaded, or with their deletion still pending. (A library that Excel has loaded is mapped,
// not held open: it can be moved aside, but not deleted until Excel ends.) Their names go
// into held, in the file set's order; gives how many.
size_t held_files(const char *folder, const char **held);

// Why a replacement failed: the name whose step failed and the code that its call gave; and,
// where moving everything back failed too, what the folder now holds instead, as a sentence
// list ("kavorlib.dll is the new one, and the earlier kavorlib.dll lies as kav1A2B.tmp"),
// else empty.
struct ReplaceFailure {
    const char *name;
    DWORD code;
    char stranded[MessageCapacity];
};

// Copies sources[i] into folder as InstallerFileSet[i], in place of any earlier copy. Every
// new file is first copied beside its target under a name of its own, then each earlier copy
// is moved aside and the new file moved into its place, and the earlier copies are deleted
// only once every new file is in place. On any failure all is moved back as it was, and
// nothing new stays, as far as Windows lets it: false, with failure filled.
bool replace_files(const char *const *sources, const char *folder, ReplaceFailure *failure);
