// The run log (one record per request) and the error log with its error page.
//
// A call that may end the run says so in its name: "_or_fail" ends it with
// the error page when something is refused or missing, "_or_end" also when
// the reply is complete early (a page that opts out of parsing); functions
// that always end it are [[noreturn]].
#pragma once
#include <string>
#include <string_view>

#include "request/request.h"

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

// Refuses a name from the request that could lead out of its folder: error
// log record, error page, status 1. Returns only when the name is allowed.
void require_basket_name_or_fail(const Request& r, std::string_view name);
void require_file_name_or_fail(const Request& r, std::string_view name);
// The same for a page name (is_page_name).
void require_page_name_or_fail(const Request& r, std::string_view name);
