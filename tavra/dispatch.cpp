#include <string>

#include "tavra/commands.h"
#include "platform/output.h"
#include "render/reply_pieces.h"
#include "request/command_words.h"
#include "logs/logs.h"
#include "platform/profile.h"
#include "request/shop.h"
#include "request/start.h"

namespace {

using Command = reply::Done (*)(const Request&, Shop&);

// A command that only reads the shop.
template <reply::Done (*command)(const Request&, const Shop&)>
reply::Done reading(const Request& r, Shop& shop) {
    return command(r, shop);
}

struct Entry {
    std::string_view word;
    Command run;
};

// Tested in this order; the first that matches runs.
constexpr Entry kGetCommands[] = {
    {"newbasket", reading<command_newbasket>}, {"goto", reading<command_goto>}, {"info", reading<command_info>},
    {"lookup", reading<command_lookup>},       {"kill", reading<command_kill>},
};

// confirm alone changes the shop: it moves the invoice number on.
constexpr Entry kPostCommands[] = {
    {"goto", reading<command_goto>},
    {"add2basket", reading<command_add2basket>},
    {"add2lookup", reading<command_add2lookup>},
    {"add2mod", reading<command_add2mod>},
    {"add2check", reading<command_add2check>},
    {"newbasket", reading<command_newbasket>},
    {"calc", reading<command_calc>},
    {"step1", reading<command_step1>},
    {"step2", reading<command_step2>},
    {"step3", reading<command_step3>},
    {"step4", reading<command_step4>},
    {"confirm", command_confirm},
    {"sendmail", reading<command_sendmail>},
    {"showmail", reading<command_showmail>},
    {"edit", reading<command_edit>},
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

reply::Done answer_no_command() {
    write_fallback_page();
    return {1};
}

// The configuration logged, then the command; a configuration that the line
// reader could not read is the request's fatal error.
reply::Done configure_and_dispatch(Request& r, Shop& shop) {
    switch (shop.read) {
        case ConfigRead::cannot_open:
            return fail_with_error(r.program_dir, "Could not find " + shop.config_file);
        case ConfigRead::cannot_read:
            return fail_with_error(r.program_dir, "Could not read from " + shop.config_file);
        case ConfigRead::ok:
            break;
    }
    write_run_log(shop);
    return dispatch(r, shop);
}

}  // namespace

reply::Done dispatch(Request& r, Shop& shop) {
    const Started started = start_request(r);
    if (started.answer) return *started.answer;
    switch (started.kind) {
        case Start::no_method:
        case Start::no_content_type:
            return answer_no_command();
        case Start::get:
            if (r.words.empty()) return answer_no_command();
            for (const Entry& e : kGetCommands)
                if (r.words[0] == e.word) return e.run(r, shop);
            return leave_unanswered(*r.method);  // a word that names no command: no reply at all
        case Start::post:
            for (const Entry& e : kPostCommands)
                if (r.form.has_value("command", e.word)) return e.run(r, shop);
            return answer_no_command();
    }
    return answer_no_command();  // not reached: every start is answered above
}

Shop read_tavra_shop(const std::string& program_dir) { return read_shop(program_dir, ConfigReading::line_reader); }

reply::Reply answer_tavra(Request& r, Shop& shop) {
    reply::Building answer;
    reply::Done done{1};
    {
        profile::RequestWrites writes;  // what the command did not store is dropped here
        done = configure_and_dispatch(r, shop);
    }
    return answer.complete(done);
}
