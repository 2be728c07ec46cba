#include <string>

#include "tavra/commands.h"
#include "platform/output.h"
#include "render/reply_pieces.h"
#include "request/command_words.h"
#include "request/start.h"

namespace {

using Command = void (*)(const Request&);

struct Entry {
    std::string_view word;
    Command run;
};

// Tested in this order; the first that matches runs.
constexpr Entry kGetCommands[] = {
    {"newbasket", command_newbasket}, {"goto", command_goto}, {"info", command_info},
    {"lookup", command_lookup},       {"kill", command_kill},
};

constexpr Entry kPostCommands[] = {
    {"goto", command_goto},         {"add2basket", command_add2basket}, {"add2lookup", command_add2lookup},
    {"add2mod", command_add2mod},   {"add2check", command_add2check},   {"newbasket", command_newbasket},
    {"calc", command_calc},         {"step1", command_step1},           {"step2", command_step2},
    {"step3", command_step3},       {"step4", command_step4},           {"confirm", command_confirm},
    {"sendmail", command_sendmail}, {"showmail", command_showmail},     {"edit", command_edit},
};

// The tables answer exactly the words the shop tool knows.
template <std::size_t N, std::size_t M>
constexpr bool same_words(const Entry (&table)[N], const std::string_view (&words)[M]) {
    if (N != M) return false;
    for (std::size_t i = 0; i < N; ++i)
        if (table[i].word != words[i]) return false;
    return true;
}
static_assert(same_words(kGetCommands, kGetCommandWords));
static_assert(same_words(kPostCommands, kPostCommandWords));

[[noreturn]] void answer_no_command() {
    write_fallback_page();
    reply::finish(1);
}

}  // namespace

void dispatch(Request& r) {
    switch (start_request_or_end(r)) {
        case Start::no_method:
        case Start::no_content_type:
            answer_no_command();
        case Start::get:
            if (r.words.empty()) answer_no_command();
            for (const Entry& e : kGetCommands)
                if (r.words[0] == e.word) {
                    e.run(r);
                    reply::finish(1);  // commands end the run themselves
                }
            end_unanswered(*r.method);  // a word that names no command: no reply at all
        case Start::post:
            for (const Entry& e : kPostCommands)
                if (r.form.has_value("command", e.word)) {
                    e.run(r);
                    reply::finish(1);
                }
            answer_no_command();
    }
    reply::finish(1);  // not reached: every start is answered above
}
