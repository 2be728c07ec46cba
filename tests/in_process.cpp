#include "in_process.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <exception>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <utility>

#include "platform/files.h"
#include "request/request.h"
#include "request/shop.h"
#include "ship/calculator.h"
#include "tavra/commands.h"

namespace in_process {

namespace {

// A body read as standard input would be: up to the bytes asked for, fewer
// at its end, and nothing more after that.
BodyReader body_reader(const std::string& body) {
    auto taken = std::make_shared<std::size_t>(0);
    return [body, taken](std::size_t bytes) {
        const std::string part = body.substr(*taken, bytes);
        *taken += part.size();
        return part;
    };
}

reply::Reply answer_request(const std::string& program, Request& request) {
    if (program == "ship") {
        const Shop shop = read_ship_shop(request.program_dir);
        return answer_ship(request, shop);
    }
    Shop shop = read_tavra_shop(request.program_dir);
    return answer_tavra(request, shop);
}

}  // namespace

Reply answer(const std::string& program, const std::vector<std::string>& args,
             const std::map<std::string, std::string>& env, const std::string& body, const std::string& dir) {
    static std::mutex one_at_a_time;
    std::lock_guard<std::mutex> hold(one_at_a_time);
    const std::string path = args.empty() ? std::string() : args[0];
    std::vector<std::string> words;
    if (!args.empty()) words.assign(args.begin() + 1, args.end());
    Request request = request_from(
        path, std::move(words),
        [&env](const char* name) -> std::optional<std::string> {
            const auto found = env.find(name);
            if (found == env.end()) return std::nullopt;
            return found->second;
        },
        body_reader(body));
    // The program's files are private while it answers; the tests' own keep
    // the mask they have.
    const mode_t tests_mask = ::umask(0);
    ::umask(tests_mask);
    files::keep_new_files_private();
    const int tests_folder = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (tests_folder < 0 || ::chdir(dir.c_str()) != 0) {
        if (tests_folder >= 0) ::close(tests_folder);
        ::umask(tests_mask);
        throw std::runtime_error("cannot enter " + dir);
    }
    Reply r;
    try {
        const reply::Reply done = answer_request(program, request);
        r.out = done.bytes;
        // The status as the process's exit passes it on: -1 reaches the
        // server as 255.
        r.status = done.status & 0xff;
    } catch (const std::exception&) {
        // A program that throws out of its main is aborted before it writes
        // its reply.
        r.status = 1000 + SIGABRT;
    }
    ::umask(tests_mask);
    const bool back = ::fchdir(tests_folder) == 0;
    ::close(tests_folder);
    if (!back) throw std::runtime_error("cannot return to the tests' folder");
    return r;
}

}  // namespace in_process
