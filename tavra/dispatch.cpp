#include <string>

#include "tavra/commands.h"
#include "platform/output.h"
#include "render/reply_pieces.h"
#include "request/command_words.h"
#include "logs/logs.h"
#include "platform/profile.h"
#include "request/config.h"
#include "request/start.h"

namespace {

using Command = reply::Done (*)(const Request&);

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

reply::Done answer_no_command() {
    write_fallback_page();
    return {1};
}

// The configuration read and logged, then the command; a configuration that
// cannot be read is the request's fatal error.
reply::Done configure_and_dispatch(Request& r) {
    const std::string config_file = config_path(r.program_dir);
    switch (read_config(config_file, config())) {
        case ConfigRead::cannot_open:
            return fail_with_error(r.program_dir, "Could not find " + config_file);
        case ConfigRead::cannot_read:
            return fail_with_error(r.program_dir, "Could not read from " + config_file);
        case ConfigRead::ok:
            break;
    }
    write_run_log(r.program_dir, config_file);
    return dispatch(r);
}

}  // namespace

reply::Done dispatch(Request& r) {
    const Started started = start_request(r);
    if (started.answer) return *started.answer;
    switch (started.kind) {
        case Start::no_method:
        case Start::no_content_type:
            return answer_no_command();
        case Start::get:
            if (r.words.empty()) return answer_no_command();
            for (const Entry& e : kGetCommands)
                if (r.words[0] == e.word) return e.run(r);
            return leave_unanswered(*r.method);  // a word that names no command: no reply at all
        case Start::post:
            for (const Entry& e : kPostCommands)
                if (r.form.has_value("command", e.word)) return e.run(r);
            return answer_no_command();
    }
    return answer_no_command();  // not reached: every start is answered above
}

reply::Reply answer_tavra(Request& r) {
    reply::Building answer;
    reply::Done done{1};
    {
        profile::RequestWrites writes;  // what the command did not store is dropped here
        done = configure_and_dispatch(r);
    }
    return answer.complete(done);
}
