// Runs the built programs as a web server would: a CGI process in a
// temporary install tree, with environment, command line and body in, and
// the reply bytes, exit status and files out.
#pragma once
#include <map>
#include <string>
#include <utility>
#include <vector>

struct Reply {
    std::string out;
    int status = -1;  // exit status as the server sees it (0..255)
};

class Install {
public:
    // A fresh tree: the program directory with tavra.cfg, and web/,
    // baskets/basket/, mail/, batch/ and styles/ folders.
    Install();
    ~Install();
    Install(const Install&) = delete;
    Install& operator=(const Install&) = delete;

    const std::string& root() const { return root_; }
    std::string path(const std::string& rel) const { return root_ + "/" + rel; }

    void put(const std::string& rel, const std::string& content) const;
    std::string get(const std::string& rel) const;
    bool exists(const std::string& rel) const;
    void remove(const std::string& rel) const;

    // The configuration written by the constructor; tests may rewrite it.
    std::string default_config() const;

    // Environment of every run, besides what a call adds.
    std::map<std::string, std::string> base_env;

    // tavra (or ship) with REQUEST_METHOD and the other variables in `env`,
    // query words `words` and `body` on standard input.
    Reply run(const std::string& program, const std::map<std::string, std::string>& env,
              const std::vector<std::string>& words = {}, const std::string& body = "") const;

    // GET with query words.
    Reply get_words(const std::vector<std::string>& words, const std::string& program = "tavra") const;
    // POST of an URL-encoded body with the right content type and length.
    Reply post(const std::string& body, const std::string& program = "tavra") const;

private:
    std::string root_;
};

// The error page with which every fatal error is answered.
inline const std::string kErrorPage =
    "Content-type: text/html\n\n"
    "<pre>An error has occured that has prevented\n"
    "the program from completing the requested\n"
    "operation. Consult the error log to diagnose\n"
    "the problem.\n";

// The page for a request that names no command.
inline const std::string kFallback =
    "Content-type: text/html\n\n"
    "<html><head><title>Tavra Qel</title></head>\n"
    "<body bgcolor\"#FFFFFF\"><h1>Tavra Qel v1.1</h1>\n"
    "<a href=\"http://www.tavra-qel.example/\">\n"
    "<h3>Click here to go to the Tavra homepage</h3></a><body></html>";

// Encodes a form field value the way a browser does.
std::string form_encode(const std::string& text);
// Builds a body from name/value pairs, each encoded.
std::string form(const std::vector<std::pair<std::string, std::string>>& fields);

// The bytes of a golden file under tests/golden/.
std::string golden(const std::string& name);
