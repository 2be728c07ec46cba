#include "harness.h"

#include "fastcgi_client.h"
#include "in_process.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <cerrno>
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

TempFolder::TempFolder(const std::string& prefix) {
    std::string templ = std::string(TESTS_TMPDIR) + "/" + prefix + "-XXXXXX";
    if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
    root_ = templ;
}

TempFolder::~TempFolder() {
    std::error_code ec;
    fs::remove_all(root_, ec);
}

void TempFolder::put(const std::string& rel, const std::string& content) const {
    fs::create_directories(fs::path(path(rel)).parent_path());
    std::ofstream f(path(rel), std::ios::binary | std::ios::trunc);
    f << content;
}

std::string TempFolder::get(const std::string& rel) const {
    std::ifstream f(path(rel), std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

bool TempFolder::exists(const std::string& rel) const { return fs::exists(path(rel)); }

void TempFolder::remove(const std::string& rel) const {
    std::error_code ec;
    fs::remove_all(path(rel), ec);
}

std::vector<std::string> own_environment() {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) env.emplace_back(*e);
    return env;
}

Reply run_program(const Program& program, const RunControl& control) {
    std::vector<std::string> args = program.args, env = program.env;
    std::vector<char*> argv, envp;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    int in[2], out[2], err[2] = {-1, -1};
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 ||
        (program.errors_apart && pipe2(err, O_CLOEXEC) != 0))
        throw std::runtime_error("pipe failed");
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        if (program.errors_apart) dup2(err[1], 2);
        if (chdir(program.dir.c_str()) != 0) _exit(127);
        if (control.before_exec) control.before_exec();
        execve(program.binary.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    if (program.errors_apart) close(err[1]);
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
    std::thread feeder([fd = in[1], &body = program.input] {
        std::size_t done = 0;
        while (done < body.size()) {
            ssize_t n = write(fd, body.data() + done, body.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        close(fd);
    });
    // Both outputs are drained as they come, so a full pipe never stalls
    // the program.
    Reply r;
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* sinks[2] = {&r.out, &r.err};
    char chunk[65536];
    for (int open_fds = program.errors_apart ? 2 : 1; open_fds > 0;) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            throw std::runtime_error("poll failed");
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            const ssize_t n = read(fds[i].fd, chunk, sizeof chunk);
            if (n > 0) {
                sinks[i]->append(chunk, static_cast<std::size_t>(n));
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            close(fds[i].fd);
            fds[i].fd = -1;
            --open_fds;
        }
    }
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

struct Install::Pools {
    std::mutex lock;
    std::map<std::string, std::unique_ptr<FastcgiPool>> of;
};

Install::~Install() = default;

FastcgiPool& Install::fastcgi_pool(const std::string& program) const {
    std::lock_guard<std::mutex> hold(pools_->lock);
    auto& pool = pools_->of[program];
    if (!pool)
        pool = std::make_unique<FastcgiPool>(program == "ship" ? SHIP_BIN : TAVRA_BIN, root() + "/" + program + ".exe",
                                             root());
    return *pool;
}

namespace {

// The query words as a web server passes an indexed query: joined by "+",
// each byte that could be read otherwise escaped.
std::string indexed_query(const std::vector<std::string>& words) {
    static const char* hex = "0123456789ABCDEF";
    std::string query;
    for (const std::string& word : words) {
        if (!query.empty()) query += '+';
        for (const char ch : word) {
            const auto c = static_cast<unsigned char>(ch);
            if (std::isalnum(c) || c == '.' || c == '-' || c == '_' || c == '/') {
                query += ch;
            } else {
                query += '%';
                query += hex[c >> 4];
                query += hex[c & 15];
            }
        }
    }
    return query;
}

// A FastCGI reply as the same run gives it as CGI: a redirect to an address
// names its status over FastCGI (a CGI run leaves it to the server), and
// must.
std::string as_cgi_redirect(const std::string& reply) {
    static const std::string kStatus = "Status: 302 Found\n";
    const std::string header = reply.substr(0, reply.find("\n\n"));
    const std::size_t status = header.find(kStatus + "Location: ");
    if (status != std::string::npos && (status == 0 || header[status - 1] == '\n'))
        return reply.substr(0, status) + reply.substr(status + kStatus.size());
    const std::size_t location = header.find("Location: ");
    if (location != std::string::npos && (location == 0 || header[location - 1] == '\n') &&
        header.compare(location, 11, "Location: /") != 0 && header.size() > location + 10)
        ADD_FAILURE() << "a FastCGI redirect without its status:\n" << reply;
    return reply;
}

// A run as one FastCGI request: the words go as the query.
Reply run_by_fastcgi(FastcgiPool& pool, std::map<std::string, std::string> variables,
                     const std::vector<std::string>& words, const std::string& body, const RunControl& control) {
    if (!words.empty()) {
        const auto query = variables.find("QUERY_STRING");
        if (query == variables.end()) variables["QUERY_STRING"] = indexed_query(words);
        else if (query->second.find('=') != std::string::npos)
            ADD_FAILURE() << "command-line words beside a form query go by CGI only: the test must skip under FastCGI";
    }
    Reply r = pool.run({variables.begin(), variables.end()}, body, control);
    r.out = as_cgi_redirect(r.out);
    return r;
}

}  // namespace

Install::Install() : pools_(std::make_unique<Pools>()) {
    for (const char* dir : {"web", "baskets/basket", "mail", "batch", "styles"}) fs::create_directories(path(dir));
    put("tavra.cfg", default_config());
    // The fixed basket names of the tests are no names the shop issued:
    // their baskets exist, empty, as baskets begun before would.
    for (const char* basket : kTestBaskets) put("baskets/" + std::string(basket), "");
}

std::string without_checkout_cookie(const std::string& reply) {
    static const std::string kLine = "Set-Cookie: TAVRA_CHECKOUT=";
    if (reply.compare(0, kLine.size(), kLine) != 0) return reply;
    return reply.substr(reply.find('\n') + 1);
}

std::string without_checkout_key(const std::string& basket) {
    static const std::string kSection = "[Checkout]\nkeydigest=";
    const std::size_t at = basket.find(kSection);
    if (at == std::string::npos) return basket;
    const std::size_t end = basket.find('\n', at + kSection.size());
    return basket.substr(0, at) + (end == std::string::npos ? "" : basket.substr(end + 1));
}

std::string Install::default_config() const {
    return "[Program Config]\n"
           "webdir=" + root() + "/web/\n"
           "start=index.html\n"
           "table=items.ini\n"
           "thanks=http://shop.example/thanks.html\n"
           "email=merchant@shop.example\n"
           "name=Test Shop\n"
           "tax=0.08\n"
           "shiptable=ship.ini\n"
           "maildir=" + root() + "/mail/\n"
           "batchfile=" + root() + "/batch/\n"
           "invnumber=1000\n"
           "basketdir=" + root() + "/baskets/\n"
           "dbfile=" + root() + "/web/items.ini\n"
           "cgiurl=tavra.exe\n"
           "styles=" + root() + "/styles/\n";
}

namespace {
// TAVRA_TEST_PROCESSES=1 starts every run as a process, to show that the
// tests answered in process see what the programs do.
bool every_run_a_process() {
    static const bool every = [] {
        const char* set = std::getenv("TAVRA_TEST_PROCESSES");
        return set && std::string(set) == "1";
    }();
    return every;
}
}  // namespace

Reply Install::run(const std::string& program, const std::map<std::string, std::string>& env,
                   const std::vector<std::string>& words, const std::string& body,
                   const RunControl& control) const {
    Program p;
    p.binary = program == "ship" ? SHIP_BIN : TAVRA_BIN;
    p.args = {root() + "/" + program + ".exe"};
    p.args.insert(p.args.end(), words.begin(), words.end());
    std::map<std::string, std::string> all = base_env;
    for (const auto& [k, v] : env) all[k] = v;
    {
        std::lock_guard<std::mutex> hold(browser_->lock);
        if (!browser_->cookie.empty() && !all.count("HTTP_COOKIE")) all["HTTP_COOKIE"] = browser_->cookie;
    }
    Reply r;
    if (fastcgi) {
        r = run_by_fastcgi(fastcgi_pool(program), all, words, body, control);
    } else if (way == Runs::as_processes || control.before_exec || control.kill_after || every_run_a_process()) {
        for (const auto& [k, v] : all) p.env.push_back(k + "=" + v);
        p.dir = root();
        p.input = body;
        r = run_program(p, control);
    } else {
        r = in_process::answer(program, p.args, all, body, root());
    }
    // Like a browser, keep the checkout cookie the reply sets (its header
    // block only) for the runs after it.
    static const std::string kSet = "Set-Cookie: TAVRA_CHECKOUT=";
    const std::size_t at = r.out.find(kSet);
    if (at != std::string::npos && at < r.out.find("\n\n")) {
        const std::size_t from = at + std::string("Set-Cookie: ").size();
        std::lock_guard<std::mutex> hold(browser_->lock);
        browser_->cookie = r.out.substr(from, r.out.find(';', from) - from);
    }
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

namespace {
std::string golden_path(const std::string& name) { return std::string(TESTS_DIR) + "/golden/" + name; }
}  // namespace

std::string golden(const std::string& name) {
    std::ifstream f(golden_path(name), std::ios::binary);
    if (!f) throw std::runtime_error("missing golden file " + name);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

::testing::AssertionResult matches_golden(const std::string& actual, const std::string& name,
                                          const std::string& before) {
    if (actual.compare(0, before.size(), before) != 0)
        return ::testing::AssertionFailure() << "the reply does not start with\n" << before << "\nbut is\n" << actual;
    const char* update = std::getenv("TAVRA_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        std::ofstream f(golden_path(name), std::ios::binary | std::ios::trunc);
        f << actual.substr(before.size());
        if (!f.flush()) return ::testing::AssertionFailure() << "cannot rewrite golden file " << name;
        return ::testing::AssertionSuccess() << "rewrote golden file " << name;
    }
    const std::string expected = before + golden(name);
    if (actual == expected) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "differs from golden file " << name << " (TAVRA_UPDATE_GOLDEN=1 rewrites it)\n"
                                         << "expected:\n" << expected << "\nactual:\n" << actual;
}

const char* const kUnprivilegedRunsNote =
    "The tests run as root, and some of them start the programs as the user "
    "nobody (uid 65534) so that permission bits hold; that user cannot execute "
    "the built programs, because a folder on their path is closed to others. "
    "Build in a folder every user may search (for example chmod o+x on each "
    "folder of the path, or a build folder under /tmp), or run the tests as "
    "an unprivileged user. Those tests are skipped until then.";

bool unprivileged_runs_can_start() {
    static const bool can = [] {
        if (geteuid() != 0) return true;
        const pid_t pid = fork();
        if (pid < 0) return false;
        if (pid == 0) {
            if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(1);
            _exit(access(TAVRA_BIN, X_OK) == 0 && access(SHIP_BIN, X_OK) == 0 ? 0 : 1);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }();
    return can;
}

namespace {
// Says once, at the start of the run, why the tests that run as another
// user will be skipped.
class UnprivilegedRunsCheck : public ::testing::Environment {
public:
    void SetUp() override {
        if (!unprivileged_runs_can_start()) std::fprintf(stderr, "NOTE: %s\n", kUnprivilegedRunsNote);
    }
};
[[maybe_unused]] ::testing::Environment* const kUnprivilegedRunsCheck =
    ::testing::AddGlobalTestEnvironment(new UnprivilegedRunsCheck);
}  // namespace
