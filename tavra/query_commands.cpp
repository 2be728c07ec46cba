// The query commands goto, info and kill.
#include <string>

#include "logs/logs.h"
#include "tavra/commands.h"
#include "request/config.h"
#include "platform/output.h"
#include "render/reply_pieces.h"

void command_goto(const Request& r) {
    const std::string page = is_get(r) ? r.word(2) : r.form.text("where");
    const std::string basket = is_get(r) ? r.word(3) : r.form.text("basket");
    require_page_name_or_fail(r, page);
    require_basket_name_or_fail(r, basket);
    end_with_header_and_page(basket, page);
}

void command_info(const Request&) {
    const Config& c = config();
    std::string page = "Content-type: text/html\n\n<BODY bgcolor=\"#99CCFF\">\n";
    for (const ConfigKey& key : kConfigKeys) {
        if (key.info_label.empty()) continue;
        page += key.info_label;
        page += c.*key.value;
        page += "<br>\n";
    }
    reply::write(page);
    reply::finish(1);
}

void command_kill(const Request&) {
    reply::write("Content-type: text/html\n\nAllocated for remote shutdown\n");
    reply::finish(1);
}
