// tavra-shop check, the pages: every form and link that reaches tavra or
// ship, every tag of a template page, every placeholder of a style sheet and
// every amount of an item table, modifier file or form, read the way the
// programs read them. Each finding names its file and line and says what to
// do.
#include "shop_tool/page_check.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <map>
#include <memory>
#include <regex>
#include <set>

#include "basket/quantity.h"
#include "common/lines.h"
#include "common/numbers.h"
#include "platform/profile_document.h"
#include "render/style_sheet.h"
#include "request/command_words.h"
#include "shop_tool/shop_files.h"

namespace shop_tool {
namespace {

// What the sample shop calls itself. A shop laid out from it that still
// says so mails its orders as the sample.
constexpr std::string_view kSampleName = "The Little Tea Shop";
constexpr std::string_view kSampleDomain = "teashop.example";

// The page the basket table's "Place Order" button opens.
constexpr std::string_view kCheckoutPage = "wizard.html";

// The fields each step stores; a form whose fields are another step's
// posts to the wrong step.
const std::vector<std::string_view> kStepFields[] = {
    {"fname", "minitial", "lname", "addr1", "addr2", "city", "stpr", "country", "zip", "dphone", "fphone", "email"},
    {"paytype", "cname", "cnum1", "cnum2", "expmo", "expyr"},
    {"option", "addcharge"},
    {"agent"},
};

struct Needs {
    std::string_view word;
    std::vector<std::string_view> fields;
};

// What each POST command of tavra reads before it can do its work.
const Needs kPostNeeds[] = {
    {"goto", {"where", "basket"}},
    {"add2basket", {"qty", "basket", "where", "item", "name", "price"}},
    {"add2lookup", {"qty", "basket", "where", "lookup", "item"}},
    {"add2mod", {"qty", "basket", "where", "item", "name", "price", "modifier"}},
    {"add2check", {"basket", "where", "numentries"}},
    {"newbasket", {"where"}},
    {"calc", {}},
    {"step1", {"basket", "where"}},
    {"step2", {"basket", "where"}},
    {"step3", {"basket", "where"}},
    {"step4", {"basket", "where", "agent"}},
    {"confirm", {"basket"}},
    {"sendmail", {}},
    {"showmail", {}},
    {"edit", {"basket", "where"}},
};

// The query words each GET command of tavra reads, from word 2 on.
const std::map<std::string_view, std::vector<std::string_view>> kGetWords = {
    {"newbasket", {"page"}},
    {"goto", {"page", "basket"}},
    {"info", {}},
    {"lookup", {"page", "basket", "item", "item table", "quantity"}},
    {"kill", {}},
};

bool known(std::string_view word, const std::string_view* begin, const std::string_view* end) {
    return std::find(begin, end, word) != end;
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// --- Markup -----------------------------------------------------------------

struct Field {
    std::string value;
    int line;
};

struct Form {
    int line = 0;
    std::string action, method;
    std::multimap<std::string, Field> fields;

    const Field* first(const std::string& name) const {
        auto it = fields.find(name);
        return it == fields.end() ? nullptr : &it->second;
    }
    bool has(std::string_view name) const { return fields.count(std::string(name)) != 0; }
};

struct Link {
    int line;
    std::string href;
};

struct Markup {
    std::vector<Form> forms;
    std::vector<Link> links;
};

class MarkupReader {
public:
    explicit MarkupReader(std::string_view text) : text_(text) {}

    // The forms (with the fields a browser would post) and the links.
    Markup read();

private:
    int line_at(std::size_t pos) const {
        return 1 + static_cast<int>(std::count(text_.begin(), text_.begin() + static_cast<std::ptrdiff_t>(pos), '\n'));
    }
    std::map<std::string, std::string> attributes(std::size_t& pos);
    void add_field(const std::string& name, const std::string& value, int line);

    std::string_view text_;
    Form* form_ = nullptr;
};

std::map<std::string, std::string> MarkupReader::attributes(std::size_t& pos) {
    std::map<std::string, std::string> attrs;
    auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (pos < text_.size() && text_[pos] != '>') {
        if (blank(text_[pos]) || text_[pos] == '/') {
            ++pos;
            continue;
        }
        const std::size_t start = pos;
        while (pos < text_.size() && !blank(text_[pos]) && text_[pos] != '=' && text_[pos] != '>') ++pos;
        const std::string name = lower(text_.substr(start, pos - start));
        std::string value;
        if (pos < text_.size() && text_[pos] == '=') {
            ++pos;
            if (pos < text_.size() && (text_[pos] == '"' || text_[pos] == '\'')) {
                const char quote = text_[pos++];
                const std::size_t close = std::min(text_.find(quote, pos), text_.size());
                value = text_.substr(pos, close - pos);
                pos = std::min(close + 1, text_.size());
            } else {
                const std::size_t from = pos;
                while (pos < text_.size() && !blank(text_[pos]) && text_[pos] != '>') ++pos;
                value = text_.substr(from, pos - from);
            }
        }
        attrs.emplace(name, value);
    }
    return attrs;
}

void MarkupReader::add_field(const std::string& name, const std::string& value, int line) {
    if (form_ && !name.empty()) form_->fields.emplace(name, Field{value, line});
}

Markup MarkupReader::read() {
    Markup m;
    std::string select;  // the name of the open select list
    for (std::size_t pos = text_.find('<'); pos != std::string_view::npos; pos = text_.find('<', pos)) {
        if (text_.compare(pos, 4, "<!--") == 0) {
            pos = text_.find("-->", pos);
            if (pos == std::string_view::npos) break;
            continue;
        }
        const int line = line_at(pos);
        std::size_t end = ++pos;
        while (end < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[end])) || text_[end] == '/')) ++end;
        const std::string tag = lower(text_.substr(pos, end - pos));
        pos = end;
        auto attrs = attributes(pos);
        auto attr = [&](const char* name) { return attrs.count(name) ? attrs[name] : std::string(); };
        if (tag == "form") {
            m.forms.push_back(Form{line, attr("action"), lower(attr("method")), {}});
            form_ = &m.forms.back();
        } else if (tag == "/form") {
            form_ = nullptr;
        } else if (tag == "input" || tag == "button") {
            const std::string type = lower(attr("type"));
            // A box or button without a value posts "on".
            const bool box = type == "checkbox" || type == "radio";
            add_field(attr("name"), attrs.count("value") || !box ? attr("value") : "on", line);
        } else if (tag == "textarea") {
            add_field(attr("name"), {}, line);
        } else if (tag == "select") {
            select = attr("name");
        } else if (tag == "/select") {
            select.clear();
        } else if (tag == "option" && !select.empty()) {
            std::string value = attr("value");
            if (!attrs.count("value") && pos < text_.size()) {
                const std::size_t close = std::min(text_.find('<', pos), text_.size());
                value = text_.substr(pos + 1, close - pos - 1);
                while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back()))) value.pop_back();
            }
            add_field(select, value, line);
        } else if (tag == "a" && attrs.count("href")) {
            m.links.push_back(Link{line, attr("href")});
        }
    }
    return m;
}

// --- Item tables and modifier files -------------------------------------------

struct IniLine {
    int line;
    std::string section, key, value;  // section and key folded to lower case
    std::string written, written_section;  // the key and section as the file writes them
};

// Counts the lines of a text as its file has them: a line longer than the
// reader's piece comes back in pieces, which stand on one line of the file.
class NumberedLines {
public:
    explicit NumberedLines(std::string_view text) : lines_(text) {}
    bool next(std::string& line) {
        if (!lines_.next(line, &ended_)) return false;
        if (started_) number_ += 1;
        started_ = ended_;
        return true;
    }
    int number() const { return number_; }

private:
    LineReader lines_;
    bool ended_ = true, started_ = true;
    int number_ = 0;
};

// The key lines of a profile file with their sections, as the programs see
// them (section and key names folded to lower case).
std::vector<IniLine> ini_lines(std::string_view text) {
    std::vector<IniLine> out;
    NumberedLines lines(text);
    std::string line, section, written_section;
    while (lines.next(line)) {
        std::string_view s = line;
        while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
        if (s.empty() || s.front() == ';') continue;
        if (s.front() == '[') {
            const std::size_t close = s.find(']');
            written_section = s.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
            section = lower(written_section);
            continue;
        }
        const std::size_t eq = s.find('=');
        if (eq == std::string_view::npos) continue;
        std::string_view key = s.substr(0, eq);
        while (!key.empty() && key.back() == ' ') key.remove_suffix(1);
        out.push_back(IniLine{lines.number(), section, lower(key), std::string(s.substr(eq + 1)), std::string(key),
                              written_section});
    }
    return out;
}

// --- The checker --------------------------------------------------------------

enum class Source { template_page, public_page, style_sheet };

struct File {
    std::string shown;  // the file as a finding names it
    Source source;
    bool parsed;  // a template page whose tags the program replaces
};

class PageCheck {
public:
    // Folders and files of tavra.cfg that are not absolute are the
    // programs' own, in cgi-bin/.
    PageCheck(std::string shop, Config config, const Finding& fault)
        : shop_(std::move(shop)), config_(std::move(config)), fault_(fault) {
        for (std::string* path : {&config_.webdir, &config_.dbfile, &config_.styles})
            if (!path->empty() && (*path)[0] != '/') *path = "cgi-bin/" + *path;
    }

    void run(const std::string& cfg_text);

private:
    // Whether a value is filled in by the program from a tag or placeholder.
    static bool placeholder(std::string_view value) {
        return value.find('%') != std::string_view::npos || value.find('{') != std::string_view::npos;
    }
    void report(const File& d, int line, const std::string& what) const { fault_(d.shown, line, what); }
    bool page_exists(const std::string& page) const { return read_shop_file(shop_, config_.webdir + page).has_value(); }
    const profile::Document* item_table(const std::string& name);

    void identity(const std::string& cfg_text);
    void item_table_lines(const std::string& path, const std::string& text);
    void modifier_file(const std::string& name, const File& d, int line);
    void template_lines(const File& d, std::string_view text);
    void style_sheet(const File& d, std::string_view text);
    void markup(const File& d, std::string_view text);
    void form(const File& d, const Form& f);
    void link(const File& d, const Link& l);
    void basket_value(const File& d, int line, std::string_view value, std::string_view what);
    void named_page(const File& d, int line, const std::string& page, std::string_view what);
    void amount(const File& d, int line, std::string_view field, std::string_view value);
    void step_fields(const File& d, const Form& f, std::string_view program, std::string_view command);
    void step3_counts(const File& d, const Form& f);
    void check_list(const File& d, const Form& f);

    std::string shop_;
    Config config_;
    const Finding& fault_;
    std::map<std::string, std::unique_ptr<profile::Document>> tables_;  // by name in the web folder
    std::set<std::string> modifiers_;  // modifier files read already
    profile::Document items_;  // the item table (dbfile), read once for every page
};

const profile::Document* PageCheck::item_table(const std::string& name) {
    auto it = tables_.find(name);
    if (it == tables_.end()) {
        const auto text = read_shop_file(shop_, config_.webdir + name);
        it = tables_.emplace(name, text ? std::make_unique<profile::Document>(profile::Document::parse(*text)) : nullptr)
                 .first;
    }
    return it->second.get();
}

void PageCheck::basket_value(const File& d, int line, std::string_view value, std::string_view what) {
    const std::string_view filled = d.source == Source::style_sheet ? "%BASKET%" : "{SHOPPER}";
    if (d.source == Source::public_page)
        return report(d, line, std::string(what) + " is not filled here: the programs serve no basket in a public page; "
                                                   "link to tavra.exe?newbasket+PAGE to start one");
    if (d.source == Source::template_page && !d.parsed)
        return report(d, line, std::string(what) + " is not filled: the page begins with <!--NO PARSE-->, so no tag "
                                                   "is replaced; take that first line out");
    if (value != filled)
        report(d, line, std::string(what) + " is \"" + std::string(value) + "\", not " + std::string(filled) +
                            "; give it " + std::string(filled) + " so the shopper keeps the basket");
}

void PageCheck::named_page(const File& d, int line, const std::string& page, std::string_view what) {
    if (placeholder(page)) return;
    if (!page_exists(page))
        report(d, line, std::string(what) + " names the page " + page + ", which is not in " +
                            shown_path(shop_, config_.webdir) + "; write it or correct the name");
}

void PageCheck::amount(const File& d, int line, std::string_view field, std::string_view value) {
    if (value.empty() || placeholder(value) || written_amount(value)) return;
    const std::string read_as =
        plain_amount(value) ? "it reads as " + two_decimals(read_decimal(value)) : std::string("the basket refuses it");
    report(d, line, std::string(field) + "=" + std::string(value) + " is not a plain amount (" + read_as +
                        "); write digits and a point, such as 4.50");
}

void PageCheck::modifier_file(const std::string& name, const File& d, int line) {
    if (placeholder(name)) return;
    const std::string path = config_.webdir + name;
    const auto text = read_shop_file(shop_, path);
    if (!text) {
        report(d, line, "define=" + name + " names no modifier file in " + shown_path(shop_, config_.webdir) +
                            "; write it or correct the name");
        return;
    }
    if (!modifiers_.insert(name).second) return;
    static const std::regex kAdjustment("[+-]?([0-9]+(\\.[0-9]*)?|\\.[0-9]+)");
    const File file{shown_path(shop_, path), Source::template_page, false};
    for (const IniLine& l : ini_lines(*text))
        if (!l.value.empty() && !std::regex_match(l.value, kAdjustment))
            report(file, l.line, "[" + l.written_section + "] " + l.written + "=" + l.value +
                                     " is not an amount (it changes the price by " + two_decimals(read_decimal(l.value)) +
                                     "); write digits and a point, such as 2.50 or -1.50");
}

// Tags of a parsed template page: only "{SHOPPER}" and "{ITEM=" in upper
// case, one of each per line, each closed on its line.
void PageCheck::template_lines(const File& d, std::string_view text) {
    static const std::regex kShopperAnyCase("\\{shopper\\}?", std::regex::icase);
    static const std::regex kItemAnyCase("\\{item=", std::regex::icase);
    const std::string items_shown = shown_path(shop_, config_.dbfile);
    const profile::Document& items = items_;
    NumberedLines lines(text);
    std::string line;
    while (lines.next(line)) {
        const int number = lines.number();
        if (number == 1) continue;  // the mode line is never shown
        for (auto it = std::sregex_iterator(line.begin(), line.end(), kShopperAnyCase); it != std::sregex_iterator(); ++it) {
            const std::string tag = it->str();
            if (tag == "{SHOPPER}") continue;
            report(d, number, tag.back() == '}' ? tag + " is not replaced: tags are upper case; write {SHOPPER}"
                                                : tag + " is not closed; write {SHOPPER}");
        }
        for (auto it = std::sregex_iterator(line.begin(), line.end(), kItemAnyCase); it != std::sregex_iterator(); ++it)
            if (it->str() != "{ITEM=") {
                const std::size_t at = static_cast<std::size_t>(it->position());
                const std::string tag = line.substr(at, line.find('}', at) - at + 1);
                report(d, number, tag + " is not replaced: tags are upper case; write {ITEM=" + tag.substr(6));
            }
        const std::size_t shopper = line.find("{SHOPPER}");
        if (shopper != std::string::npos && line.find("{SHOPPER}", shopper + 9) != std::string::npos)
            report(d, number, "a second {SHOPPER} on one line stays as it is: only the first is replaced; "
                              "put the second on a line of its own");
        const std::size_t tag = line.find("{ITEM=");
        if (tag == std::string::npos) continue;
        const std::size_t close = line.find('}', tag);
        if (close == std::string::npos) {
            report(d, number, "the item tag is not closed on its line; end it with }");
            continue;
        }
        if (line.find("{ITEM=", close) != std::string::npos)
            report(d, number, "a second item tag on one line stays as it is: only the first is laid out; "
                              "put it on a line of its own");
        const std::string item = line.substr(tag + 6, close - tag - 6);
        if (!items.has_section(item)) {
            report(d, number, "{ITEM=" + item + "} names no item of " + items_shown + "; add [" + item +
                                  "] there or correct the number");
            continue;
        }
        const std::string style(items.get(item, "style").value_or(""));
        if (style.empty())
            report(d, number, "{ITEM=" + item + "}: the item has no style= in " + items_shown +
                                  ", so it shows \"No style sheet\"; give it style=NAME for " +
                                  shown_path(shop_, config_.styles) + "NAME.sty");
    }
}

void PageCheck::style_sheet(const File& d, std::string_view text) {
    static const std::regex kPlaceholder("%[A-Za-z][A-Za-z0-9_]*%");
    NumberedLines lines(text);
    std::string line;
    while (lines.next(line))
        for (auto it = std::sregex_iterator(line.begin(), line.end(), kPlaceholder); it != std::sregex_iterator(); ++it) {
            const std::string name = it->str();
            if (known(name, std::begin(kStyleSheetPlaceholders), std::end(kStyleSheetPlaceholders))) continue;
            std::string known_ones;
            for (std::string_view p : kStyleSheetPlaceholders) known_ones += (known_ones.empty() ? "" : " ") + std::string(p);
            report(d, lines.number(), name + " is not a placeholder and is shown as it stands; use one of " + known_ones);
        }
}

void PageCheck::item_table_lines(const std::string& path, const std::string& text) {
    const File d{shown_path(shop_, path), Source::template_page, false};
    for (const IniLine& l : ini_lines(text)) {
        if (l.key == "price" || l.key == "ship" || l.key == "percent" || l.key == "first" || l.key == "remain" ||
            l.key == "unitship" || l.key == "regular")
            amount(d, l.line, "[" + l.written_section + "] " + l.written, l.value);
        if (l.key == "style" && !l.value.empty() && !read_shop_file(shop_, config_.styles + l.value + ".sty"))
            report(d, l.line, "[" + l.written_section + "] style=" + l.value + ": the style sheet " +
                                  shown_path(shop_, config_.styles + l.value + ".sty") +
                                  " does not exist; write it or name one that does");
    }
}

void PageCheck::step_fields(const File& d, const Form& f, std::string_view program, std::string_view command) {
    const int step = command.size() == 5 && command.substr(0, 4) == "step" ? command[4] - '0' : 0;
    if (step < 1 || step > 4) return;
    for (int other = 1; other <= 4; ++other) {
        if (other == step) continue;
        const auto& mine = kStepFields[step - 1];
        const auto& theirs = kStepFields[other - 1];
        const bool has_mine = std::any_of(mine.begin(), mine.end(), [&](std::string_view n) { return f.has(n); });
        const auto stray = std::find_if(theirs.begin(), theirs.end(), [&](std::string_view n) { return f.has(n); });
        if (!has_mine && stray != theirs.end())
            report(d, f.line, "the form posts step" + std::to_string(step) + " but holds the fields of step " +
                                  std::to_string(other) + " (" + std::string(*stray) +
                                  "), which it does not store; give command the value step" + std::to_string(other));
    }
    const Field* agent = f.first("agent");
    if (step == 4 && program == "tavra" && agent && agent->value == "lookup")
        report(d, agent->line, "agent=lookup posted to tavra charges no shipping: only ship prices by the item "
                               "rules; post this form to ship.exe");
}

// Step 3 counts its numbered fields: "option" the options, "addcharge" the
// fields, three per charge.
void PageCheck::step3_counts(const File& d, const Form& f) {
    if (const Field* option = f.first("option")) {
        const int count = read_integer(option->value);
        for (int i = 1; i <= count && i <= 100; ++i)
            if (!f.has("option" + std::to_string(i)))
                report(d, option->line, "option=" + option->value + " but the form has no field option" +
                                            std::to_string(i) + "; add it or lower the count");
        if (f.has("option" + std::to_string(count + 1)))
            report(d, option->line, "option=" + option->value + " but the form has option" + std::to_string(count + 1) +
                                        ", which is never stored; raise the count");
    }
    if (const Field* add = f.first("addcharge")) {
        const int count = read_integer(add->value);
        for (int n = 1; n <= count && n <= 300; n += 3) {
            for (int k : {n, n + 1, n + 2})
                if (!f.has("a" + std::to_string(k)))
                    report(d, add->line, "addcharge=" + add->value + " but the form has no field a" + std::to_string(k) +
                                             " (each charge has three: amount, tick box, description); add it");
            if (const Field* a = f.first("a" + std::to_string(n))) amount(d, a->line, "a" + std::to_string(n), a->value);
        }
        int past = count + 1;
        while (past % 3 != 1) ++past;
        if (f.has("a" + std::to_string(past)))
            report(d, add->line, "addcharge=" + add->value + " counts fields, three per charge: a" + std::to_string(past) +
                                     " and the charges after it are never read; give addcharge the number of a fields");
    }
}

// A check list: numentries entries of six fields each, f(6k+1) to f(6k+6).
void PageCheck::check_list(const File& d, const Form& f) {
    const Field* entries = f.first("numentries");
    if (!entries) return;
    const int count = read_integer(entries->value);
    static const char* const kParts[] = {"quantity", "item number", "name", "price", "shipping", "tick box"};
    for (int k = 0; k < count && k < 100; ++k)
        for (int j = 1; j <= 6; ++j) {
            const std::string name = "f" + std::to_string(6 * k + j);
            const Field* field = f.first(name);
            if (!field)
                report(d, entries->line, "numentries=" + entries->value + " but entry " + std::to_string(k + 1) +
                                             " has no field " + name + " (its " + kParts[j - 1] +
                                             "; entry k holds f(6k+1) to f(6k+6)); add it or lower the count");
            else if (j == 4 || j == 5)
                amount(d, field->line, name, field->value);
        }
    if (f.has("f" + std::to_string(6 * count + 1)))
        report(d, entries->line, "numentries=" + entries->value + " but the form has f" + std::to_string(6 * count + 1) +
                                     ", an entry that is never added; raise the count");
}

void PageCheck::form(const File& d, const Form& f) {
    const std::string program = [&]() -> std::string {
        const std::string path = f.action.substr(0, f.action.find_first_of("?#"));
        const std::string base = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
        if (base == "tavra.exe" || base == config_.cgiurl || path == "%CGIURL%" || path == config_.cgiurl) return "tavra";
        if (base == "ship.exe") return "ship";
        return {};
    }();
    if (program.empty()) return;
    if (f.method != "post")
        return report(d, f.line, "the form to " + program + ".exe is sent with GET, which the programs do not read as "
                                                             "fields; give it method=\"post\"");
    const Field* command = f.first("command");
    if (!command)
        return report(d, f.line, "the form to " + program + ".exe has no command field; add "
                                                            "<input type=\"hidden\" name=\"command\" value=\"...\">");
    const std::string& word = command->value;
    if (program == "ship" && !known(word, std::begin(kShipCommandWords), std::end(kShipCommandWords)))
        return report(d, command->line, "ship does only step4, not \"" + word +
                                            "\"; post this form to tavra.exe or give command the value step4");
    const auto needs = fields_needed(word);
    if (!needs)
        return report(d, command->line, "command=" + word + " is no command of tavra; use one such as add2basket, "
                                                            "add2lookup, goto or step1");
    std::vector<std::string_view> wanted = *needs;
    if (program == "ship" && f.first("agent") && f.first("agent")->value == "lookup") wanted.push_back("lookup");
    for (std::string_view name : wanted)
        if (!f.has(name))
            report(d, f.line, "the " + word + " form has no field " + std::string(name) + ", which " + word +
                                  " needs; add <input type=\"hidden\" name=\"" + std::string(name) + "\" value=\"...\">");

    if (const Field* basket = f.first("basket"); basket && word != "newbasket")
        basket_value(d, basket->line, basket->value, "the basket field");
    for (auto [it, end] = f.fields.equal_range("where"); it != end; ++it)
        named_page(d, it->second.line, it->second.value, "where=" + it->second.value);
    for (const char* name : {"price", "ship"})
        for (auto [it, end] = f.fields.equal_range(name); it != end; ++it) amount(d, it->second.line, name, it->second.value);
    if (const Field* qty = f.first("qty"); qty && !qty->value.empty() && !placeholder(qty->value) &&
                                           !quantity_accepted(qty->value))
        report(d, qty->line, "qty=" + qty->value + " is a quantity the basket refuses; write a whole number such as 1");

    const Field* lookup = f.first("lookup");
    if (lookup && !placeholder(lookup->value) && (word == "add2lookup" || program == "ship")) {
        const profile::Document* table = item_table(lookup->value);
        if (!table) {
            report(d, lookup->line, "lookup=" + lookup->value + " names no item table in " +
                                        shown_path(shop_, config_.webdir) + "; write it or correct the name");
        } else if (const Field* item = f.first("item"); item && word == "add2lookup" && !placeholder(item->value) &&
                                                        !table->has_section(item->value)) {
            report(d, item->line, "item=" + item->value + " is no item of " + lookup->value + "; add [" + item->value +
                                      "] there or correct the number");
        }
    }
    if (word == "add2mod") {
        const Field* modifier = f.first("modifier");
        const int count = modifier ? read_integer(modifier->value) : 0;
        if (modifier && modifier->value != "0") {
            if (const Field* define = f.first("define")) modifier_file(define->value, d, define->line);
            else report(d, modifier->line, "the add2mod form has modifier=" + modifier->value +
                                               " but no define field naming its modifier file; add it");
            for (int i = 1; i <= count && i <= 100; ++i)
                if (!f.has("m" + std::to_string(i)))
                    report(d, modifier->line, "modifier=" + modifier->value + " but the form has no field m" +
                                                  std::to_string(i) + "; add it or lower the count");
        }
    }
    if (word == "add2check") check_list(d, f);
    if (word == "step3") step3_counts(d, f);
    step_fields(d, f, program, word);
}

void PageCheck::link(const File& d, const Link& l) {
    const std::size_t query = l.href.find('?');
    const std::string path = l.href.substr(0, query);
    const std::string base = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    const bool tavra = base == "tavra.exe" || path == "%CGIURL%" || path == config_.cgiurl;
    if (base == "ship.exe")
        return report(d, l.line, "a link to ship.exe gets only its usage line; post a step4 form to it instead");
    if (!tavra) return;
    if (query == std::string::npos)
        return report(d, l.line, "the link to tavra.exe names no command; add ?newbasket+PAGE or ?goto+PAGE+{SHOPPER}");
    std::vector<std::string> words;
    const std::string rest = l.href.substr(query + 1, l.href.find('#', query) - query - 1);
    for (std::size_t from = 0;;) {
        const std::size_t plus = rest.find('+', from);
        words.push_back(rest.substr(from, plus - from));
        if (plus == std::string::npos) break;
        from = plus + 1;
    }
    const auto it = kGetWords.find(words[0]);
    if (!known(words[0], std::begin(kGetCommandWords), std::end(kGetCommandWords)) || it == kGetWords.end())
        return report(d, l.line, "?" + words[0] + " is no command of tavra for a link; use newbasket, goto or lookup");
    const auto& names = it->second;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i + 1 >= words.size()) {
            report(d, l.line, "the " + words[0] + " link has no word " + std::to_string(i + 2) + " (the " +
                                  std::string(names[i]) + "); add it after a +");
            continue;
        }
        const std::string& w = words[i + 1];
        if (names[i] == "page") named_page(d, l.line, w, "the " + words[0] + " link");
        if (names[i] == "basket") basket_value(d, l.line, w, "the link's basket word");
        if (names[i] == "item table" && !placeholder(w)) {
            const profile::Document* table = item_table(w);
            if (!table)
                report(d, l.line, "the lookup link names the item table " + w + ", which is not in " +
                                      shown_path(shop_, config_.webdir) + "; write it or correct the name");
            else if (!placeholder(words[3]) && !table->has_section(words[3]))
                report(d, l.line, "the lookup link's item " + words[3] + " is no item of " + w +
                                      "; add [" + words[3] + "] there or correct the number");
        }
        if (names[i] == "quantity" && !placeholder(w) && !quantity_accepted(w))
            report(d, l.line, "the lookup link's quantity " + w + " is refused; write a whole number such as 1");
    }
}

void PageCheck::markup(const File& d, std::string_view text) {
    std::string copy(text);
    // The mode line of a template page is never shown: nothing on it counts.
    if (d.source == Source::template_page) copy.replace(0, std::min(copy.find('\n'), copy.size()), "");
    const Markup m = MarkupReader(copy).read();
    for (const Form& f : m.forms) form(d, f);
    for (const Link& l : m.links) link(d, l);
}

void PageCheck::identity(const std::string& cfg_text) {
    const File cfg{shown_path(shop_, "cgi-bin/tavra.cfg"), Source::template_page, false};
    const std::vector<IniLine> lines = ini_lines(cfg_text);
    auto last = [&](std::string_view section, std::string_view key) -> const IniLine* {
        const IniLine* found = nullptr;
        for (const IniLine& l : lines)
            if (l.section == section && l.key == key) found = &l;
        return found;
    };
    auto set_hint = [&](const char* section, const char* key, const char* example) {
        return "tavra-shop set " + shop_ + " \"" + section + "\" " + key + " " + example;
    };
    const IniLine* email = last("program config", "email");
    const IniLine* name = last("program config", "name");
    const int email_line = email ? email->line : 0, name_line = name ? name->line : 0;
    if (config_.email.empty())
        report(cfg, email_line, "no merchant address in email=: orders reach nobody; " +
                                    set_hint("Program Config", "email", "orders@your-shop.example"));
    else if (config_.email.find(kSampleDomain) != std::string::npos)
        report(cfg, email_line, "email=" + config_.email + " is the sample shop's address; " +
                                    set_hint("Program Config", "email", "orders@your-shop.example"));
    if (config_.name.empty())
        report(cfg, name_line, "no merchant name in name=: the order mail names no shop; " +
                                   set_hint("Program Config", "name", "\"Your Shop\""));
    else if (config_.name == kSampleName)
        report(cfg, name_line, "name=" + config_.name + " is the sample shop's name; " +
                                   set_hint("Program Config", "name", "\"Your Shop\""));
    if (const IniLine* from = last("mail delivery", "from"); from && from->value.find(kSampleDomain) != std::string::npos)
        report(cfg, from->line, "from=" + from->value + " is the sample shop's sender: mail would go out as it; " +
                                    "leave it empty to send from email=, or " +
                                    set_hint("Mail Delivery", "from", "orders@your-shop.example"));
    static const std::regex kHost("https?://([^/:?#]*)[^ ]*");
    std::smatch host;
    if (std::regex_match(config_.thanks, host, kHost) && host[1].str().find(kSampleDomain) != std::string::npos) {
        const IniLine* thanks = last("program config", "thanks");
        report(cfg, thanks ? thanks->line : 0, "thanks=" + config_.thanks + " is the sample shop's page; " +
                                                   set_hint("Program Config", "thanks", "https://your-shop.example/thanks.html"));
    }
}

void PageCheck::run(const std::string& cfg_text) {
    identity(cfg_text);
    if (config_.webdir.empty()) return;
    // A missing item table is reported with the configuration.
    const auto items_text = read_shop_file(shop_, config_.dbfile);
    items_ = profile::Document::parse(items_text.value_or(""));
    if (items_text && !config_.dbfile.empty()) item_table_lines(config_.dbfile, *items_text);
    for (const std::string& page : shop_files_in(shop_, config_.webdir, {".html", ".htm"})) {
        const std::string path = config_.webdir + page;
        const std::string text = read_shop_file(shop_, path).value_or("");
        std::string mode;
        LineReader(text).next(mode);
        const bool parsed = mode != "<!--NO PARSE-->";
        const File d{shown_path(shop_, path), Source::template_page, parsed};
        if (parsed) template_lines(d, text);
        markup(d, text);
    }
    if (!page_exists(std::string(kCheckoutPage)))
        fault_(shown_path(shop_, config_.webdir), 0, "no page " + std::string(kCheckoutPage) +
                                                         ": the basket's Place Order button opens it; write the "
                                                         "checkout's first step there");
    for (const std::string& page : shop_files_in(shop_, "web", {".html", ".htm"})) {
        const std::string path = "web/" + page;
        markup(File{path, Source::public_page, false}, read_shop_file(shop_, path).value_or(""));
    }
    if (!config_.styles.empty())
        for (const std::string& sheet : shop_files_in(shop_, config_.styles, {".sty"})) {
            const std::string path = config_.styles + sheet;
            const std::string text = read_shop_file(shop_, path).value_or("");
            const File d{shown_path(shop_, path), Source::style_sheet, false};
            style_sheet(d, text);
            markup(d, text);
        }
    // Item tables named by forms and links other than dbfile.
    for (const auto& [name, table] : tables_) {
        const std::string path = config_.webdir + name;
        if (table && shown_path(shop_, path) != shown_path(shop_, config_.dbfile))
            item_table_lines(path, read_shop_file(shop_, path).value_or(""));
    }
}

}  // namespace

std::optional<std::vector<std::string_view>> fields_needed(std::string_view word) {
    if (!known(word, std::begin(kPostCommandWords), std::end(kPostCommandWords))) return std::nullopt;
    for (const Needs& n : kPostNeeds)
        if (n.word == word) return n.fields;
    return std::nullopt;
}

bool written_amount(std::string_view text) {
    static const std::regex kAmount("[0-9]+(\\.[0-9]*)?|\\.[0-9]+");
    return plain_amount(text) && std::regex_match(text.begin(), text.end(), kAmount);
}

void check_shop_pages(const std::string& shop, const Config& config, const std::string& cfg_text,
                      const Finding& fault) {
    PageCheck(shop, config, fault).run(cfg_text);
}

}  // namespace shop_tool
