// The shipping calculator: checkout step 4 for pages that post to ship,
// with shipping from the lines' own amounts or from the item table's rules.
#pragma once
#include <string>

#include "request/request.h"

// Reads "webdir", "basketdir", "tax", "shiptable" and "dbfile" from
// "Program Config" of the
// program directory's tavra.cfg into the configuration record, each cut to
// limits::kConfigValue; missing ones stay empty.
void read_ship_config(const std::string& program_dir);

// Answers the request and ends the run: the usage line for a bare GET,
// step 4 for a POST whose `command` is "step4", and otherwise the refusals
// and silent ends that the web server expects of ship.
[[noreturn]] void run_ship(Request& r);
