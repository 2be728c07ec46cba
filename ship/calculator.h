// The shipping calculator: checkout step 4 for pages that post to ship,
// with shipping from the lines' own amounts or from the item table's rules.
#pragma once
#include <string>

#include "platform/output.h"
#include "request/request.h"

// Reads "webdir", "basketdir", "tax", "shiptable" and "dbfile" from
// "Program Config" of the
// program directory's tavra.cfg into the configuration record, each cut to
// limits::kConfigValue; missing ones stay empty.
void read_ship_config(const std::string& program_dir);

// Answers the request: the usage line for a bare GET, step 4 for a POST
// whose `command` is "step4", and otherwise the refusals and silent ends
// that the web server expects of ship.
reply::Done run_ship(Request& r);

// The whole request of ship: the configuration read, the request answered
// with its own set of writes (profile::RequestWrites), and the reply with
// its status.
reply::Reply answer_ship(Request& r);
