// The shipping calculator: checkout step 4 for pages that post to ship,
// with shipping from the lines' own amounts or from the item table's rules.
#pragma once
#include <string>

#include "platform/output.h"
#include "request/request.h"
#include "request/shop.h"

// The shop of a request to ship: tavra.cfg as it stands now, "[Program
// Config]" by the profile store ("webdir", "basketdir", "tax", "shiptable"
// and "dbfile", each cut to limits::kConfigValue; missing ones stay empty).
// Read afresh for every request.
Shop read_ship_shop(const std::string& program_dir);

// Answers the request: the usage line for a bare GET, step 4 for a POST
// whose `command` is "step4", and otherwise the refusals and silent ends
// that the web server expects of ship.
reply::Done run_ship(Request& r, const Shop& shop);

// The whole request of ship for the shop read for it: the request answered
// with its own set of writes (profile::RequestWrites), and the reply with
// its status.
reply::Reply answer_ship(Request& r, const Shop& shop);
