// newbasket: starts a basket and answers with its page and cookie.
#include "formats/basket_file.h"
#include "basket/generated_name.h"
#include "basket/commands.h"
#include "logs/logs.h"
#include "request/config.h"
#include "platform/output.h"
#include "render/reply_pieces.h"

void command_newbasket(const Request& r) {
    const std::string page = is_get(r) ? r.word(2) : r.form.text("where");
    require_file_name_or_fail(r, page);
    const NewFile made = create_generated_file(config().basketdir + std::string(kBasketFolder), ".bsk");
    // Without the kernel's random numbers no name is safe to hand out.
    if (made.name.empty()) fail_with_error(r.program_dir, "Could not make a basket name");
    const std::string basket = std::string(kBasketFolder) + made.name;
    write_basket_cookie(basket);
    write_content_type();
    // The page still names the new basket; its first added line makes the file.
    if (!made.created)
        reply::write("The file " + (is_get(r) ? basket_path(basket) : basket) + " was not opened\n");
    end_with_page(basket, page);
}
