// Every command of tavra. Each ends the run itself.
#pragma once
#include "request/request.h"

// Query commands (intake/query_commands.cpp).
[[noreturn]] void command_goto(const Request& r);
[[noreturn]] void command_info(const Request& r);
[[noreturn]] void command_kill(const Request& r);

// Basket commands (basket/). Where a command exists for GET and POST it
// reads query words or form fields as the method says.
[[noreturn]] void command_newbasket(const Request& r);
[[noreturn]] void command_lookup(const Request& r);
[[noreturn]] void command_add2basket(const Request& r);
[[noreturn]] void command_add2lookup(const Request& r);
[[noreturn]] void command_add2mod(const Request& r);
[[noreturn]] void command_add2check(const Request& r);
[[noreturn]] void command_calc(const Request& r);
[[noreturn]] void command_edit(const Request& r);

// Checkout commands (checkout/).
[[noreturn]] void command_step1(const Request& r);
[[noreturn]] void command_step2(const Request& r);
[[noreturn]] void command_step3(const Request& r);
[[noreturn]] void command_step4(const Request& r);
[[noreturn]] void command_confirm(const Request& r);
[[noreturn]] void command_sendmail(const Request& r);
[[noreturn]] void command_showmail(const Request& r);

// Runs the one command the request names, or answers it as no command.
[[noreturn]] void dispatch(Request& r);

// Refuses a name from the request that could lead out of its folder:
// error log record, error page, status 1.
void require_basket_name(const Request& r, std::string_view name);
void require_file_name(const Request& r, std::string_view name);

// Whether the request came as GET (query words) rather than POST (fields).
inline bool is_get(const Request& r) { return r.method && *r.method == "GET"; }
