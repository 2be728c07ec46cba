// The checkout commands of tavra. Each ends the run itself.
#pragma once
#include "request/request.h"

[[noreturn]] void command_step1(const Request& r);
[[noreturn]] void command_step2(const Request& r);
[[noreturn]] void command_step3(const Request& r);
[[noreturn]] void command_step4(const Request& r);
[[noreturn]] void command_confirm(const Request& r);
[[noreturn]] void command_sendmail(const Request& r);
[[noreturn]] void command_showmail(const Request& r);
