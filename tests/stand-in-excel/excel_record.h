// What the stand-in Excel shares with the tests that use it: how it is registered for
// ".xls", and the record of what the shell asked it to open.
#pragma once

#include <string>

// The folder of the running program, ending with a backslash.
std::string program_folder();

// Lines of a record, each ended by a newline.
size_t record_lines(const std::string &record);

// A class whose open verb runs command, with the DDE entries that Excel's own class has.
void register_class(const char *class_name, const std::string &command);
// ".xls" -> "KavorTest.Sheet", a class whose open verb runs command.
void register_xls_command(const std::string &command);

// The record beside the stand-in: one line a document, "PATH<TAB>show N<TAB>PROGRAM", where
// N is the show state the shell passed on (-1: none) and PROGRAM the stand-in's own path.
std::string opened_record_path(const std::string &excel_folder);

// A whole file, or nothing when it cannot be read; others may go on writing it.
std::string read_file(const std::string &path);

// Waits up to timeout_ms until the record holds at least count full lines; gives what it
// then holds.
std::string wait_for_opened(const std::string &excel_folder, int count, unsigned long timeout_ms);
