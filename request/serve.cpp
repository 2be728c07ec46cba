#include "request/serve.h"

#include <exception>

#include "common/redirect_status.h"
#include "platform/fastcgi.h"
#include "platform/files.h"
#include "platform/workers.h"

namespace {

// The status as a process's exit would pass it on: -1 reaches the server as
// 255.
int exit_status(int status) { return status & 0xff; }

// One FastCGI request answered. A request that fails in a way no reply
// foresees (memory ran out, say) drops its writes as it unwinds and gets no
// reply, as a CGI run that died would; the process serves the next.
void answer_one(fastcgi::Requests& requests, const std::string& program_path, const Answer& answer) {
    Request r = request_from(
        program_path, {}, [&requests](const char* name) { return requests.variable(name); },
        [&requests](std::size_t bytes) { return requests.body(bytes); });
    reply::Reply done;
    try {
        done = answer(r);
    } catch (const std::exception&) {
        done = {1, {}};
    }
    requests.answer(with_redirect_status(done.bytes), exit_status(done.status));
}

}  // namespace

int serve(int argc, char** argv, const Answer& answer) {
    if (!fastcgi::started_on_socket()) {
        Request r = read_request(argc, argv);
        const reply::Reply done = answer(r);
        reply::send(done);
        return done.status;
    }
    // A long-lived process works from its program's folder, where a web
    // server starts each CGI run, so that a relative path in tavra.cfg (an
    // order table's, say) names the same file both ways.
    const std::string program_path = files::absolute_path(argc > 0 && argv[0] ? argv[0] : "");
    files::enter_folder(files::program_directory(program_path));
    return workers::run(workers::wanted(), [&] {
        fastcgi::Requests requests;
        while (requests.next()) answer_one(requests, program_path, answer);
        return 0;
    });
}
