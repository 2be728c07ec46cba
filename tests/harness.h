// Runs the built programs as a web server would: a CGI process in a
// temporary install tree, with environment, command line and body in, and
// the reply bytes, exit status and files out.
#pragma once
#include <gtest/gtest.h>

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct Reply {
    std::string out;
    std::string err;  // standard error, when the run kept it apart
    int status = -1;  // exit status as the server sees it (0..255)
};

// How a run is started and ended beyond its input, for fault injection.
struct RunControl {
    // Runs in the child just before exec: resource limits, signal
    // dispositions, another user. Only async-signal-safe calls belong here.
    std::function<void()> before_exec;
    // SIGKILL after this long, unless the program has ended by then; its
    // Reply::status is then 1000 + SIGKILL.
    std::optional<std::chrono::microseconds> kill_after;
};

// A private folder under /tmp, removed with everything in it at the end.
class TempFolder {
public:
    // `prefix` names the folder's purpose in /tmp while it exists.
    explicit TempFolder(const std::string& prefix = "tavra-test");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& root() const { return root_; }
    std::string path(const std::string& rel) const { return root_ + "/" + rel; }

    // Writes `content` to `rel`, making its folders.
    void put(const std::string& rel, const std::string& content) const;
    // The bytes of `rel`; empty when it cannot be read.
    std::string get(const std::string& rel) const;
    bool exists(const std::string& rel) const;
    void remove(const std::string& rel) const;

private:
    std::string root_;
};

// A program started with exactly this command line, environment, folder and
// standard input.
struct Program {
    std::string binary;             // the file executed
    std::vector<std::string> args;  // from argv[0] on
    std::vector<std::string> env;   // "NAME=value" entries
    std::string dir;                // working folder
    std::string input;              // standard input, then end of file
    // Standard error into Reply::err; otherwise it goes where the tests'
    // own goes.
    bool errors_apart = false;
};

// Runs `program` to its end: standard output into Reply::out, the exit
// status (1000 + signal when a signal ended it) into Reply::status.
Reply run_program(const Program& program, const RunControl& control = {});

// The tests' own environment as "NAME=value" entries, for runs that inherit
// it.
std::vector<std::string> own_environment();

// The fixed basket names the tests use (kBasket of basket_support.h,
// kBasketName of order_shop.h). A request may write only a basket whose
// file exists or whose name the shop issued, so every install holds these
// as empty files.
inline constexpr const char* kTestBaskets[] = {"basket/t.bsk", "basket/1000.1250", "basket/100.350.bsk"};

class FastcgiPool;

// Whether the runs of an Install go by FastCGI (TAVRA_TEST_VIA=fastcgi).
bool via_fastcgi();

// Skips a test that only a CGI process of its own can show (resource
// limits, a run as another user, the umask, the command line or the
// environment of the process), with the reason.
#define SKIP_UNDER_FASTCGI(why) \
    if (via_fastcgi()) GTEST_SKIP() << "not through FastCGI: " << (why)

class Install : public TempFolder {
public:
    // A fresh tree: the program directory with tavra.cfg, and web/,
    // baskets/basket/ (with an empty file for each of kTestBaskets), mail/,
    // batch/ and styles/ folders.
    Install();
    ~Install();

    // The configuration written by the constructor; tests may rewrite it.
    std::string default_config() const;

    // Environment of every run, besides what a call adds.
    std::map<std::string, std::string> base_env;

    // tavra (or ship) with REQUEST_METHOD and the other variables in `env`,
    // query words `words` and `body` on standard input. The runs of one
    // install are one browser: a checkout cookie that a reply sets is sent
    // (as HTTP_COOKIE) with every later run whose `env` and base_env name no
    // HTTP_COOKIE of their own; name one, empty say, to ask from another
    // browser. Under FastCGI (fastcgi_client.h) the run is a request to the
    // install's long-lived processes of the program, its variables the
    // request's parameters and its words a QUERY_STRING.
    Reply run(const std::string& program, const std::map<std::string, std::string>& env,
              const std::vector<std::string>& words = {}, const std::string& body = "",
              const RunControl& control = {}) const;

    // GET with query words.
    Reply get_words(const std::vector<std::string>& words, const std::string& program = "tavra") const;
    // POST of an URL-encoded body with the right content type and length.
    Reply post(const std::string& body, const std::string& program = "tavra") const;
    Reply post(const std::string& body, const RunControl& control, const std::string& program = "tavra") const;

    // Whether the runs go by FastCGI (to begin with, as via_fastcgi() says),
    // and the processes that serve `program` then.
    bool fastcgi = via_fastcgi();
    FastcgiPool& fastcgi_pool(const std::string& program) const;

    // "TAVRA_CHECKOUT=<key>" as the last reply set it; empty before.
    std::string checkout_cookie() const {
        std::lock_guard<std::mutex> hold(browser_->lock);
        return browser_->cookie;
    }

private:
    struct Browser {
        std::mutex lock;  // runs of one install may come from several threads
        std::string cookie;
    };
    std::unique_ptr<Browser> browser_ = std::make_unique<Browser>();
    struct Pools;
    std::unique_ptr<Pools> pools_;
};

// The lines every page reply and redirect carries before its content-type
// or Location line.
inline const std::string kSafetyHeaders =
    "X-Content-Type-Options: nosniff\n"
    "Referrer-Policy: same-origin\n"
    "X-Frame-Options: SAMEORIGIN\n";

// The header of every page reply.
inline const std::string kHeader = kSafetyHeaders + "Content-type: text/html\n\n";

// The header of the checkout steps' pages, which no cache may keep.
inline const std::string kStepHeader = "Cache-Control: no-store\n" + kHeader;

// The error page with which every fatal error is answered.
inline const std::string kErrorPage =
    kHeader +
    "<pre>An error has occured that has prevented\n"
    "the program from completing the requested\n"
    "operation. Consult the error log to diagnose\n"
    "the problem.\n";

// The error page of a checkout step.
inline const std::string kStepErrorPage = "Cache-Control: no-store\n" + kErrorPage;

// The page for a request that names no command.
inline const std::string kFallback =
    kHeader +
    "<html><head><title>Tavra Qel</title></head>\n"
    "<body bgcolor\"#FFFFFF\"><h1>Tavra Qel v1.1</h1>\n"
    "<a href=\"http://www.tavra-qel.example/\">\n"
    "<h3>Click here to go to the Tavra homepage</h3></a><body></html>";

// The reply without the checkout cookie line that step 1 sets first, and a
// basket file's text without the section that keeps the checkout key's
// digest: for tests of what the steps show and store besides.
std::string without_checkout_cookie(const std::string& reply);
std::string without_checkout_key(const std::string& basket);

// Encodes a form field value the way a browser does.
std::string form_encode(const std::string& text);
// Builds a body from name/value pairs, each encoded.
std::string form(const std::vector<std::pair<std::string, std::string>>& fields);

// The bytes of a golden file under tests/golden/.
std::string golden(const std::string& name);

// Whether `actual` is `before` followed by the bytes of golden file `name`.
// With TAVRA_UPDATE_GOLDEN=1 in the environment the golden file is
// rewritten with what follows `before` instead, and only `before` is
// checked: run the tests so, then review the change to tests/golden/.
::testing::AssertionResult matches_golden(const std::string& actual, const std::string& name,
                                          const std::string& before = "");

// The user that runs requests when the tests run as root: permission bits
// do not stop root, so a fault of rights would never happen.
constexpr uid_t kNobody = 65534;

// Tests that run a program as a user without rights (fault_support.h) need
// the built programs reachable by that user; when the tests run as root and
// the build folder is private, they cannot start it. Whether such runs can
// start, found once per test process.
bool unprivileged_runs_can_start();
// Why they cannot, and how to make them.
extern const char* const kUnprivilegedRunsNote;
