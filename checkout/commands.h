// The checkout commands of tavra. Each returns its answer.
#pragma once
#include "platform/output.h"
#include "request/request.h"
#include "request/shop.h"

reply::Done command_step1(const Request& r, const Shop& shop);
reply::Done command_step2(const Request& r, const Shop& shop);
reply::Done command_step3(const Request& r, const Shop& shop);
reply::Done command_step4(const Request& r, const Shop& shop);
reply::Done command_confirm(const Request& r, Shop& shop);
reply::Done command_sendmail(const Request& r, const Shop& shop);
reply::Done command_showmail(const Request& r, const Shop& shop);
