// Commands whose subsystems are not built yet answer as no command would.
#include "intake/commands.h"
#include "platform/output.h"
#include "render/reply.h"

namespace {
[[noreturn]] void not_yet(const Request&) {
    write_fallback_page();
    reply::finish(1);
}
}  // namespace

void command_newbasket(const Request& r) { not_yet(r); }
void command_lookup(const Request& r) { not_yet(r); }
void command_add2basket(const Request& r) { not_yet(r); }
void command_add2lookup(const Request& r) { not_yet(r); }
void command_add2mod(const Request& r) { not_yet(r); }
void command_add2check(const Request& r) { not_yet(r); }
void command_calc(const Request& r) { not_yet(r); }
void command_edit(const Request& r) { not_yet(r); }
void command_confirm(const Request& r) { not_yet(r); }
void command_sendmail(const Request& r) { not_yet(r); }
void command_showmail(const Request& r) { not_yet(r); }
