// What a CGI request brings: the program's own path, the method, the query
// words of a GET request and, once the body is taken in, the form fields.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "request/form.h"

struct Request {
    std::string program_path;  // first command-line word
    std::string program_dir;   // its directory, with the trailing "/"
    std::optional<std::string> method;
    std::vector<std::string> words;  // query words; words[0] is word 1
    FormTable form;

    // Query word n (1 for the command); empty text when absent.
    std::string word(std::size_t n) const { return n >= 1 && n <= words.size() ? words[n - 1] : std::string(); }
};

// Whether the request came as GET (query words) rather than POST (fields).
inline bool is_get(const Request& r) { return r.method && *r.method == "GET"; }

// Reads the command line and the environment. When QUERY_STRING is set and
// holds no "=" (an indexed query, RFC 3875, 4.4), the query words are taken
// from it: split at "+", each word URL-decoded once; the command-line words
// are then ignored. Without QUERY_STRING, or with a query holding "=", the
// query words are the command-line words after the program path.
Request read_request(int argc, char** argv);

// The words of an indexed query (RFC 3875, 4.4); none for other queries.
std::vector<std::string> indexed_query_words(const std::string& query);

enum class BodyIntake { ok, no_content_type, not_url_encoded, invalid };

// Reads CONTENT_LENGTH bytes of body from standard input (before any check),
// checks CONTENT_TYPE and decodes the body into `form`. A negative length
// counts as 0; a length above limits::kMaxBody is not read and the body is
// invalid.
BodyIntake take_body(FormTable& form);

// The reply to a body that was not taken in: "Data was not URL encoded." or
// "Invalid Input" after the content-type header. Nothing for the other cases.
void write_body_refusal(BodyIntake result);
