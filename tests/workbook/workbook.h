// Excel workbooks as compound files, made by Windows' own structured storage, for the
// tests and for the package check's payloads.
#pragma once

// A compound file at path with a Workbook stream and, by kind: "none", no VBA project;
// "unsigned", a VBA project (_VBA_PROJECT_CUR holding a VBA storage) without a signature;
// otherwise a project whose signature stream is kind preceded by "\x05"
// ("DigitalSignature", "DigitalSignatureEx", "DigitalSignatureExt"). False when it could
// not be made.
bool write_workbook(const char *path, const char *kind);
