#include "request/request.h"

#include "common/limits.h"
#include "common/numbers.h"
#include "common/text.h"
#include "platform/files.h"
#include "platform/output.h"
#include "platform/process.h"

namespace {

using process::environment;

// RFC 3875 decoding of one query word: only "%" escapes; a word ends at a
// decoded zero byte, as a command-line word would.
std::string decode_word(const std::string& word) {
    std::string out;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (word[i] == '%' && i + 2 < word.size() && hex_digit(word[i + 1]) >= 0 && hex_digit(word[i + 2]) >= 0) {
            out += static_cast<char>(hex_digit(word[i + 1]) * 16 + hex_digit(word[i + 2]));
            i += 2;
        } else {
            out += word[i];
        }
    }
    std::size_t zero = out.find('\0');
    if (zero != std::string::npos) out.resize(zero);
    return out;
}

}  // namespace

std::vector<std::string> indexed_query_words(const std::string& query) {
    std::vector<std::string> words;
    if (query.empty() || query.find('=') != std::string::npos) return words;
    std::size_t start = 0;
    for (;;) {
        std::size_t plus = query.find('+', start);
        words.push_back(decode_word(query.substr(start, plus == std::string::npos ? std::string::npos : plus - start)));
        if (plus == std::string::npos) break;
        start = plus + 1;
    }
    return words;
}

Request request_from(const std::string& program_path, std::vector<std::string> command_words,
                     const Variables& variable, BodyReader body) {
    Request r;
    r.program_path = program_path;
    r.program_dir = files::program_directory(r.program_path);
    r.method = variable("REQUEST_METHOD");
    // Servers differ in how they pass an indexed query: some as command-line
    // words with a backslash before each shell character, some not at all.
    // QUERY_STRING is the same under every server, so it wins.
    const std::optional<std::string> query = variable("QUERY_STRING");
    if (query && query->find('=') == std::string::npos) r.words = indexed_query_words(*query);
    else r.words = std::move(command_words);
    r.content_length = variable("CONTENT_LENGTH");
    r.content_type = variable("CONTENT_TYPE");
    r.cookies = variable("HTTP_COOKIE");
    r.https = variable("HTTPS");
    r.body = std::move(body);
    return r;
}

Request read_request(int argc, char** argv) {
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) words.emplace_back(argv[i]);
    return request_from(argc > 0 && argv[0] ? argv[0] : "", std::move(words), environment,
                        files::read_standard_input);
}

BodyIntake take_body(Request& r) {
    long long announced = read_integer(r.content_length.value_or(""));
    if (announced < 0) announced = 0;
    const bool too_long = static_cast<unsigned long long>(announced) > limits::kMaxBody;
    // A shorter body than announced is split over what arrived.
    const std::string body =
        too_long || !r.body ? std::string() : r.body(static_cast<std::size_t>(announced));
    if (!r.content_type) return BodyIntake::no_content_type;
    if (*r.content_type != "application/x-www-form-urlencoded") return BodyIntake::not_url_encoded;
    if (too_long) return BodyIntake::invalid;
    auto table = FormTable::decode(body);
    if (!table) return BodyIntake::invalid;
    r.form = std::move(*table);
    return BodyIntake::ok;
}

void write_body_refusal(BodyIntake result) {
    if (result == BodyIntake::not_url_encoded) reply::write("Content-type: text/html\n\nData was not URL encoded.");
    if (result == BodyIntake::invalid) reply::write("Content-type: text/html\n\nInvalid Input");
}
