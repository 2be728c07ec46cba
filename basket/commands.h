// The basket commands of tavra. Each ends the run itself; where a command
// exists for GET and POST it reads query words or form fields as the
// method says.
#pragma once
#include "request/request.h"

[[noreturn]] void command_newbasket(const Request& r);
[[noreturn]] void command_lookup(const Request& r);
[[noreturn]] void command_add2basket(const Request& r);
[[noreturn]] void command_add2lookup(const Request& r);
[[noreturn]] void command_add2mod(const Request& r);
[[noreturn]] void command_add2check(const Request& r);
[[noreturn]] void command_calc(const Request& r);
[[noreturn]] void command_edit(const Request& r);
