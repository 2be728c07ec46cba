// The basket commands of tavra. Each returns its answer; where a command
// exists for GET and POST it reads query words or form fields as the
// method says.
#pragma once
#include "platform/output.h"
#include "request/request.h"
#include "request/shop.h"

reply::Done command_newbasket(const Request& r, const Shop& shop);
reply::Done command_lookup(const Request& r, const Shop& shop);
reply::Done command_add2basket(const Request& r, const Shop& shop);
reply::Done command_add2lookup(const Request& r, const Shop& shop);
reply::Done command_add2mod(const Request& r, const Shop& shop);
reply::Done command_add2check(const Request& r, const Shop& shop);
reply::Done command_calc(const Request& r, const Shop& shop);
reply::Done command_edit(const Request& r, const Shop& shop);
