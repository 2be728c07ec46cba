// Card numbers as shown where a merchant's staff or a spreadsheet sees them.
#pragma once
#include <string>
#include <string_view>

// Every character but the last four replaced by "*" ("4111111111111111"
// shows as "************1111"); a value of four characters or fewer shows as
// "****", and an empty value, which holds no number, stays empty.
std::string masked_card_number(std::string_view number);
