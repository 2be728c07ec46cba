// Every command of tavra: the query commands here, the basket and checkout
// commands in their folders. Each returns its answer.
#pragma once
#include "basket/commands.h"
#include "checkout/commands.h"
#include "request/request.h"

// Query commands (tavra/query_commands.cpp).
reply::Done command_goto(const Request& r);
reply::Done command_info(const Request& r);
reply::Done command_kill(const Request& r);

// Runs the one command the request names, or answers it as no command.
reply::Done dispatch(Request& r);

// The whole request of tavra: the configuration read and logged, the
// command run with its own set of writes (profile::RequestWrites), and the
// reply with its status.
reply::Reply answer_tavra(Request& r);
