// The run log (one record per request) and the error log with its error page.
#pragma once
#include <string>
#include <string_view>

// Appends the run record for this run's configuration record to
// "runlog.txt" in the program directory. A log that cannot be opened is
// reported on the reply with "Could not open <path>\n"; the run goes on.
void write_run_log(const std::string& program_dir, const std::string& config_file);

// Appends an error record with `message` to "errlog.txt" in the program
// directory; false when the log cannot be opened.
bool append_error_record(const std::string& program_dir, std::string_view message);

// Appends an error record with `message` to "errlog.txt", writes the error
// page and ends the run with status 1.
[[noreturn]] void fail_with_error(const std::string& program_dir, std::string_view message);

// The error page alone (header and four lines).
void write_error_page();
