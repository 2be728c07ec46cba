// The order mail: its text, written to the order mail file in two pieces,
// and the outside mailer that delivers it.
#pragma once
#include <string>
#include <string_view>

#include "formats/basket_view.h"
#include "request/switches.h"

// The mail up to the separator under "Ordered Items": the merchant's name and
// the invoice number the order is given.
std::string order_mail_head(std::string_view merchant, std::string_view invoice);

// The rest of the mail, from the basket's view: every line number up to
// "NumKeys" (counted_lines), price, carrier and tax, the shopper's details
// (the card numbers as the switches show them), the options and the extra
// charges.
std::string order_mail_rest(const BasketView& basket, const Switches& switches);

// The switches for the copy sent to the shopper's address: card numbers
// masked whatever the merchant chose.
Switches shopper_switches(Switches switches);

// The shopper's copy of an order mail: at most limits::kShopperMailBytes,
// cut after its last whole line within them.
std::string shopper_copy(std::string mail);

// Starts the mailer (a program file) for the mail file and one recipient and
// waits for it; 0 when it started, otherwise the errno of the failed start.
int send_order_mail(const std::string& mailer, const std::string& mail_file, const std::string& recipient);

// The reply's line for a mailer that could not be started with this errno;
// empty text for causes that have none.
std::string_view mailer_failure_message(int start_errno);
