// Every command of tavra: the query commands here, the basket and checkout
// commands in their folders. Each ends the run itself.
#pragma once
#include "basket/commands.h"
#include "checkout/commands.h"
#include "request/request.h"

// Query commands (tavra/query_commands.cpp).
[[noreturn]] void command_goto(const Request& r);
[[noreturn]] void command_info(const Request& r);
[[noreturn]] void command_kill(const Request& r);

// Runs the one command the request names, or answers it as no command.
[[noreturn]] void dispatch(Request& r);
