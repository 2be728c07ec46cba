// The query commands goto, info and kill.
#include <string>

#include "logs/logs.h"
#include "tavra/commands.h"
#include "request/shop.h"
#include "platform/output.h"
#include "render/reply_pieces.h"

reply::Done command_goto(const Request& r, const Shop& shop) {
    const std::string page = is_get(r) ? r.word(2) : r.form.text("where");
    const std::string basket = is_get(r) ? r.word(3) : r.form.text("basket");
    if (auto refused = refuse_page_name(r, page)) return *refused;
    if (auto refused = refuse_basket_name(r, basket)) return *refused;
    return answer_with_header_and_page(shop, basket, page);
}

reply::Done command_info(const Request&, const Shop& shop) {
    const Config& c = shop.config;
    std::string page = "Content-type: text/html\n\n<BODY bgcolor=\"#99CCFF\">\n";
    for (const ConfigKey& key : kConfigKeys) {
        if (key.info_label.empty()) continue;
        page += key.info_label;
        page += c.*key.value;
        page += "<br>\n";
    }
    reply::write(page);
    return {1};
}

reply::Done command_kill(const Request&, const Shop&) {
    reply::write("Content-type: text/html\n\nAllocated for remote shutdown\n");
    return {1};
}
