// The manual names everything a merchant can write or read: the words are
// taken from the code's own tables, so a new command, key, switch,
// placeholder or table column fails here until its page describes it.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "render/style_sheet.h"
#include "request/command_words.h"
#include "request/config_keys.h"

namespace {

std::string source(const std::string& relative) {
    std::ifstream in(std::string(SOURCE_DIR) + "/" + relative);
    EXPECT_TRUE(in) << relative << " cannot be read";
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The page as a reader sees its words: font changes, zero-width marks and
// escaped hyphens and backslashes taken out of the roff source.
std::string manual_text(const std::string& page) {
    std::string text = std::regex_replace(source("man/" + page), std::regex(R"(\\f[BIRP]|\\&|\\c)"), "");
    text = std::regex_replace(text, std::regex(R"(\\-)"), "-");
    return std::regex_replace(text, std::regex(R"(\\e)"), "\\");
}

// The first group of every match of `pattern` in `text`.
std::set<std::string> matches(const std::string& text, const std::string& pattern) {
    std::set<std::string> found;
    const std::regex re(pattern);
    for (auto m = std::sregex_iterator(text.begin(), text.end(), re); m != std::sregex_iterator(); ++m)
        found.insert((*m)[1]);
    return found;
}

// Whether `word` stands in `text` as a word of its own, not inside a longer one.
bool mentions(const std::string& text, const std::string& word) {
    auto word_char = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
        const bool starts = at == 0 || !word_char(text[at - 1]) || !word_char(word.front());
        const std::size_t end = at + word.size();
        const bool ends = end == text.size() || !word_char(text[end]) || !word_char(word.back());
        if (starts && ends) return true;
    }
    return false;
}

void expect_documented(const std::string& page, const std::set<std::string>& words, const std::string& what) {
    EXPECT_FALSE(words.empty()) << "no " << what << " found in the code: has its table moved?";
    const std::string text = manual_text(page);
    for (const std::string& word : words) EXPECT_TRUE(mentions(text, word)) << page << " lacks " << what << " " << word;
}

// The string literals of a source file, trimmed, that are at least two
// characters long and hold no escape, leaving out the include lines;
// basket_keys constants count as their values (formats/basket_file.h).
std::set<std::string> literals(const std::string& file) {
    const std::string text = std::regex_replace(source(file), std::regex("#include [^\\n]*|//[^\\n]*"), "");
    std::set<std::string> found;
    for (std::string s : matches(text, R"re("((?:[^"\\]|\\.)*)")re")) {
        s = std::regex_replace(s, std::regex("^ +| +$"), "");
        if (s.size() >= 2 && s.find('\\') == std::string::npos) found.insert(s);
    }
    const std::string keys = source("formats/basket_file.h");
    for (const std::string& name : matches(text, R"(basket_keys::(k\w+))"))
        for (const std::string& value : matches(keys, name + R"re( = "([^"]+)")re")) found.insert(value);
    return found;
}

TEST(Manual, NamesEveryCommandKeySwitchPlaceholderAndColumn) {
    std::set<std::string> commands;
    for (std::string_view word : kGetCommandWords) commands.emplace(word);
    for (std::string_view word : kPostCommandWords) commands.emplace(word);
    for (std::string_view word : kShipCommandWords) commands.emplace(word);
    expect_documented("tavra.7", commands, "the command");
    std::set<std::string> placeholders;
    for (std::string_view placeholder : kStyleSheetPlaceholders) placeholders.emplace(placeholder);
    expect_documented("tavra.7", placeholders, "the placeholder");

    std::set<std::string> keys;
#define TAVRA_KEY_NAME(key, run_log_label, info_label) keys.insert(#key);
    TAVRA_CONFIG_KEYS(TAVRA_KEY_NAME)
#undef TAVRA_KEY_NAME
    keys.merge(matches(source("mailer/mailer_main.cpp"), R"re("Mail Delivery", "(\w+)")re"));
    expect_documented("tavra.cfg.5", keys, "the configuration key");
    expect_documented("tavra.cfg.5", literals("request/switches.cpp"), "the switch word");

    expect_documented("tavra-orders.5", literals("checkout/export.cpp"), "the table column or key");
    expect_documented("tavra-shop.8", matches(source("shop_tool/shop_tool_main.cpp"), R"re(\{"(\w+)", ")re"),
                      "the subcommand");
    // Every option of a subcommand, as --NAME.
    std::set<std::string> options;
    const std::string tool = source("shop_tool/shop_tool_main.cpp");
    for (const std::string& list : matches(tool, R"re(\{"\w+", "[^"]*", \d+,\s*(?:with_places\()?\{([^}]*)\})re"))
        for (const std::string& option : matches(list, R"re("([a-z-]+)=?")re")) options.insert("--" + option);
    for (const std::string& option : matches(tool, R"re("([a-z-]+)=")re")) options.insert("--" + option);
    expect_documented("tavra-shop.8", options, "the option");
}

}  // namespace
