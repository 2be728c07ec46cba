// The query commands goto, info and kill.
#include <string>

#include "logs/logs.h"
#include "tavra/commands.h"
#include "request/config.h"
#include "platform/output.h"
#include "render/reply.h"

void command_goto(const Request& r) {
    const std::string page = is_get(r) ? r.word(2) : r.form.text("where");
    const std::string basket = is_get(r) ? r.word(3) : r.form.text("basket");
    require_file_name_or_fail(r, page);
    require_basket_name_or_fail(r, basket);
    page_reply(basket, page);
}

void command_info(const Request&) {
    const Config& c = config();
    std::string page = "Content-type: text/html\n\n<BODY bgcolor=\"#99CCFF\">\n";
    auto line = [&page](std::string_view label, const std::string& value) {
        page += label;
        page += value;
        page += "<br>\n";
    };
    line("Web Directory is ", c.webdir);
    line("Email Address is ", c.email);
    line("Merchant Name is ", c.name);
    line("Thanks Page is ", c.thanks);
    line("Basket Directory is ", c.basketdir);
    line("Applicable Tax is ", c.tax);
    line("Ship Table is ", c.shiptable);
    line("Mail Directory is ", c.maildir);
    line("Batchfile Directory is ", c.batchfile);
    reply::write(page);
    reply::finish(1);
}

void command_kill(const Request&) {
    reply::write("Content-type: text/html\n\nAllocated for remote shutdown\n");
    reply::finish(1);
}
