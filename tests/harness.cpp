#include "harness.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

namespace {
// A program may end without reading all of its body; the test must not die
// of the broken pipe when it feeds the rest.
const bool kIgnoreBrokenPipes = [] {
    signal(SIGPIPE, SIG_IGN);
    return true;
}();
}  // namespace

Install::Install() {
    char templ[] = "/tmp/tavra-test-XXXXXX";
    if (!mkdtemp(templ)) throw std::runtime_error("mkdtemp failed");
    root_ = templ;
    for (const char* dir : {"web", "baskets/basket", "mail", "batch", "styles"}) fs::create_directories(path(dir));
    put("tavra.cfg", default_config());
}

Install::~Install() {
    std::error_code ec;
    fs::remove_all(root_, ec);
}

std::string Install::default_config() const {
    return "[Program Config]\n"
           "webdir=" + root_ + "/web/\n"
           "start=index.html\n"
           "table=items.ini\n"
           "thanks=http://shop.example/thanks.html\n"
           "email=merchant@shop.example\n"
           "name=Test Shop\n"
           "tax=0.08\n"
           "shiptable=ship.ini\n"
           "maildir=" + root_ + "/mail/\n"
           "batchfile=" + root_ + "/batch/\n"
           "invnumber=1000\n"
           "basketdir=" + root_ + "/baskets/\n"
           "dbfile=" + root_ + "/web/items.ini\n"
           "cgiurl=tavra.exe\n"
           "styles=" + root_ + "/styles/\n";
}

void Install::put(const std::string& rel, const std::string& content) const {
    fs::create_directories(fs::path(path(rel)).parent_path());
    std::ofstream f(path(rel), std::ios::binary | std::ios::trunc);
    f << content;
}

std::string Install::get(const std::string& rel) const {
    std::ifstream f(path(rel), std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

bool Install::exists(const std::string& rel) const { return fs::exists(path(rel)); }

void Install::remove(const std::string& rel) const {
    std::error_code ec;
    fs::remove_all(path(rel), ec);
}

Reply Install::run(const std::string& program, const std::map<std::string, std::string>& env,
                   const std::vector<std::string>& words, const std::string& body,
                   const RunControl& control) const {
    const std::string binary = program == "ship" ? SHIP_BIN : TAVRA_BIN;
    const std::string argv0 = root_ + "/" + program + ".exe";
    std::vector<std::string> args{argv0};
    args.insert(args.end(), words.begin(), words.end());
    std::map<std::string, std::string> all = base_env;
    for (const auto& [k, v] : env) all[k] = v;
    std::vector<std::string> env_text;
    for (const auto& [k, v] : all) env_text.push_back(k + "=" + v);

    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env_text) envp.push_back(e.data());
    envp.push_back(nullptr);

    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        if (chdir(root_.c_str()) != 0) _exit(127);
        if (control.before_exec) control.before_exec();
        execve(binary.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    // The killer waits for the delay or for the end of the output; the child
    // is reaped only after it is done, so its pid cannot be another's yet.
    std::mutex ended_mutex;
    std::condition_variable ended_signal;
    bool ended = false;
    std::thread killer;
    if (control.kill_after)
        killer = std::thread([&, pid] {
            std::unique_lock<std::mutex> lock(ended_mutex);
            if (!ended_signal.wait_for(lock, *control.kill_after, [&] { return ended; })) kill(pid, SIGKILL);
        });
    std::thread feeder([fd = in[1], &body] {
        std::size_t done = 0;
        while (done < body.size()) {
            ssize_t n = write(fd, body.data() + done, body.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        close(fd);
    });
    Reply r;
    char chunk[65536];
    for (;;) {
        ssize_t n = read(out[0], chunk, sizeof chunk);
        if (n <= 0) break;
        r.out.append(chunk, static_cast<std::size_t>(n));
    }
    close(out[0]);
    feeder.join();
    if (killer.joinable()) {
        {
            std::lock_guard<std::mutex> lock(ended_mutex);
            ended = true;
        }
        ended_signal.notify_all();
        killer.join();
    }
    int status = 0;
    waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
    return r;
}

Reply Install::get_words(const std::vector<std::string>& words, const std::string& program) const {
    return run(program, {{"REQUEST_METHOD", "GET"}}, words);
}

Reply Install::post(const std::string& body, const std::string& program) const {
    return post(body, RunControl{}, program);
}

Reply Install::post(const std::string& body, const RunControl& control, const std::string& program) const {
    return run(program,
               {{"REQUEST_METHOD", "POST"},
                {"CONTENT_TYPE", "application/x-www-form-urlencoded"},
                {"CONTENT_LENGTH", std::to_string(body.size())}},
               {}, body, control);
}

std::string form_encode(const std::string& text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (std::isalnum(c) || c == '.' || c == '-' || c == '_' || c == '*') out += static_cast<char>(c);
        else if (c == ' ') out += '+';
        else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string form(const std::vector<std::pair<std::string, std::string>>& fields) {
    std::string body;
    for (const auto& [name, value] : fields) {
        if (!body.empty()) body += '&';
        body += form_encode(name) + "=" + form_encode(value);
    }
    return body;
}

std::string golden(const std::string& name) {
    std::ifstream f(std::string(TESTS_DIR) + "/golden/" + name, std::ios::binary);
    if (!f) throw std::runtime_error("missing golden file " + name);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}
