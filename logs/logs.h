// The run log (one record per request) and the error log with its error page.
//
// A call that answers the request returns its answer (reply::Done); a check
// that may refuse it returns the refusal (reply::Refusal), which the caller
// hands up to the request's function.
#pragma once
#include <string>
#include <string_view>

#include "platform/output.h"
#include "request/request.h"
#include "request/shop.h"

// Appends the run record of the shop's configuration record to
// "runlog.txt" in the program directory. A log that cannot be opened is
// reported on the reply with "Could not open <path>\n"; the run goes on.
void write_run_log(const Shop& shop);

// Appends an error record with `message` to "errlog.txt" in the program
// directory; false when the log cannot be opened.
bool append_error_record(const std::string& program_dir, std::string_view message);

// Appends an error record with `message` to "errlog.txt", writes the error
// page and answers the request with status 1.
reply::Done fail_with_error(const std::string& program_dir, std::string_view message);

// The error page alone (header and four lines).
void write_error_page();

// Refuses a name from the request that could lead out of its folder: error
// log record, error page, status 1. Nothing when the name is allowed.
[[nodiscard]] reply::Refusal refuse_basket_name(const Request& r, std::string_view name);
[[nodiscard]] reply::Refusal refuse_file_name(const Request& r, std::string_view name);
// The same for a page name (is_page_name).
[[nodiscard]] reply::Refusal refuse_page_name(const Request& r, std::string_view name);
