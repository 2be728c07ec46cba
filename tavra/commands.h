// Every command of tavra: the query commands here, the basket and checkout
// commands in their folders. Each returns its answer.
#pragma once
#include "basket/commands.h"
#include "checkout/commands.h"
#include "request/request.h"

// Query commands (tavra/query_commands.cpp).
reply::Done command_goto(const Request& r, const Shop& shop);
reply::Done command_info(const Request& r, const Shop& shop);
reply::Done command_kill(const Request& r, const Shop& shop);

// Runs the one command the request names, or answers it as no command.
reply::Done dispatch(Request& r, Shop& shop);

// The shop of a request to tavra: tavra.cfg as it stands now, "[Program
// Config]" by the line reader. Read afresh for every request.
Shop read_tavra_shop(const std::string& program_dir);

// The whole request of tavra for the shop read for it: the configuration
// logged (or refused when unreadable), the command run with its own set of
// writes (profile::RequestWrites), and the reply with its status.
reply::Reply answer_tavra(Request& r, Shop& shop);
