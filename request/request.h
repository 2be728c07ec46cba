// What a request brings: the program's own path, the method, the query
// words of a GET request, the CGI variables the commands read, where its
// body comes from and, once the body is taken in, the form fields. A CGI
// run and a FastCGI request fill the same Request, each from its own source.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "request/form.h"

// Up to `bytes` bytes of a request's body: fewer when it ends first.
using BodyReader = std::function<std::string(std::size_t bytes)>;

// The value of one of a request's CGI variables; nothing when it is not set.
using Variables = std::function<std::optional<std::string>(const char* name)>;

struct Request {
    std::string program_path;  // first command-line word
    std::string program_dir;   // its directory, with the trailing "/"
    std::optional<std::string> method;
    std::vector<std::string> words;  // query words; words[0] is word 1
    FormTable form;
    std::optional<std::string> content_length;  // CONTENT_LENGTH
    std::optional<std::string> content_type;    // CONTENT_TYPE
    std::optional<std::string> cookies;         // HTTP_COOKIE
    std::optional<std::string> https;           // HTTPS
    BodyReader body;  // none: the body is empty

    // Query word n (1 for the command); empty text when absent.
    std::string word(std::size_t n) const { return n >= 1 && n <= words.size() ? words[n - 1] : std::string(); }
};

// Whether the request came as GET (query words) rather than POST (fields).
inline bool is_get(const Request& r) { return r.method && *r.method == "GET"; }

// The request of `program_path` from its CGI variables. When QUERY_STRING
// is set and holds no "=" (an indexed query, RFC 3875, 4.4), the query
// words are taken from it: split at "+", each word URL-decoded once;
// `command_words` are then ignored. Without QUERY_STRING, or with a query
// holding "=", the query words are `command_words`.
Request request_from(const std::string& program_path, std::vector<std::string> command_words,
                     const Variables& variable, BodyReader body);

// A CGI run's request: the command line (the program path, then the words
// after it), the environment, and the body on standard input.
Request read_request(int argc, char** argv);

// The words of an indexed query (RFC 3875, 4.4); none for other queries.
std::vector<std::string> indexed_query_words(const std::string& query);

enum class BodyIntake { ok, no_content_type, not_url_encoded, invalid };

// Reads CONTENT_LENGTH bytes of the request's body (before any check),
// checks CONTENT_TYPE and decodes the body into its form fields. A negative
// length counts as 0; a length above limits::kMaxBody is not read and the
// body is invalid.
BodyIntake take_body(Request& r);

// The reply to a body that was not taken in: "Data was not URL encoded." or
// "Invalid Input" after the content-type header. Nothing for the other cases.
void write_body_refusal(BodyIntake result);
