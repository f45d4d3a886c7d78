// Puts the add-in's new files in place of the earlier copies in the add-in folder, all or
// nothing.
#pragma once

#include "../platform/platform.h"
#include "../product/product.h"

// The add-in's three files, as the installer names them.
const size_t ReplacedCount = ARRAYSIZE(InstallerFileSet);

// The earlier copies in folder that another program holds open so that they cannot be moved
// aside: opened without sharing them for deletion, as Excel holds a loaded add-in's files.
// Their names go into held, in the file set's order; gives how many.
size_t held_files(const char *folder, const char **held);

// Copies sources[i] into folder as InstallerFileSet[i], in place of any earlier copy. Every new file is
// first copied beside its target under a name of its own, then each earlier copy is moved
// aside and the new file moved into its place, and the earlier copies are deleted only once
// every new file is in place. On any failure all is moved back as it was, and nothing new
// stays: false, with the name whose step failed and the code that the failing call gave.
bool replace_files(const char *const *sources, const char *folder, const char **failed_name, DWORD *failed_code);
