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

void command_step1(const Request& r) { not_yet(r); }
void command_step2(const Request& r) { not_yet(r); }
void command_step3(const Request& r) { not_yet(r); }
void command_step4(const Request& r) { not_yet(r); }
