// newbasket: starts a basket and answers with its page and cookie.
#include "formats/basket_file.h"
#include "basket/issued_name.h"
#include "basket/commands.h"
#include "logs/logs.h"
#include "request/shop.h"
#include "platform/files.h"
#include "platform/output.h"
#include "render/reply_pieces.h"

reply::Done command_newbasket(const Request& r, const Shop& shop) {
    const std::string page = is_get(r) ? r.word(2) : r.form.text("where");
    if (auto refused = refuse_page_name(r, page)) return *refused;
    // The name alone is issued: the first line added makes the file, so
    // asking for baskets costs the disk nothing.
    const std::string basket = issue_basket_name(r.program_dir);
    // Without the shop's key or the kernel's random numbers no name is safe
    // to hand out.
    if (basket.empty()) return fail_with_error(r.program_dir, "Could not make a basket name");
    write_basket_cookie(basket);
    write_content_type();
    // The page still names the new basket; its first added line cannot make
    // the file while the basket folder is missing.
    if (!files::is_directory(shop.config.basketdir + std::string(kBasketFolder)))
        reply::write("The file " + (is_get(r) ? shop.basket_file(basket) : basket) + " was not opened\n");
    return answer_with_page(shop, basket, page);
}
