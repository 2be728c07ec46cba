#include "order_shop.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

const char* const kSampleBasket =
    "[Basket]\n"
    "NumKeys=2\n"
    "[1]\n"
    "NAME=Blue Mug\n"
    "ITEM=M-100\n"
    "PRICE=7.50\n"
    "SHIP=1.50\n"
    "QUANTITY=2\n"
    "[2]\n"
    "NAME=Tea, \"Green\"\n"
    "ITEM=T-7\n"
    "PRICE=4.00\n"
    "SHIP=0.50\n"
    "QUANTITY=0\n"
    "[Shipping]\n"
    "fname=Ana\n"
    "minitial=Q\n"
    "lname=Berg\n"
    "addr1=12 Long Road, Flat 3\n"
    "addr2=\n"
    "city=Springfield\n"
    "stpr=OR\n"
    "country=US\n"
    "zip=97477\n"
    "dphone=555-0100\n"
    "fphone=555-0101\n"
    "email=ana@example.org\n"
    "paytype=card\n"
    "cname=Ana Q Berg\n"
    "cnum1=41111111111111112222\n"
    "cnum2=\n"
    "expmo=05\n"
    "expyr=99\n"
    "carrier=predetermined\n"
    "[Optional]\n"
    "numfields=2\n"
    "option1=Gift wrap\n"
    "option2=Leave at \"side\" door\n"
    "[Additional]\n"
    "numfields=6\n"
    "a1=5\n"
    "a3=Express handling\n"
    "[Total]\n"
    "Tax=1.20\n"
    "Total=26.70\n"
    "[Order State]\n"
    "state=summarised\n";

namespace {

// Each run appends "argv", then each argument after a unit separator, a line
// end, the mail text and a record separator with a line end. It also talks
// on its standard output, which must not reach the reply.
const char* const kMailerScript =
    "#!/bin/sh\n"
    "echo 'Mail delivered.'\n"
    "log=\"${0%/*}/blat.log\"\n"
    "{\n"
    "  printf 'argv'\n"
    "  for a in \"$0\" \"$@\"; do printf '\\037%s' \"$a\"; done\n"
    "  printf '\\n'\n"
    "  cat \"$1\"\n"
    "  printf '\\036\\n'\n"
    "} >> \"$log\"\n";

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) return parts;
        start = at + 1;
    }
}

}  // namespace

OrderShop::OrderShop(const std::string& order_control) {
    put("tavra.cfg", config_with("1000", order_control));
    put_mailer();
}

void OrderShop::put_mailer() const {
    put("blat.exe", kMailerScript);
    chmod(path("blat.exe").c_str(), 0755);
}

std::string OrderShop::config_with(const std::string& invnumber, const std::string& order_control) const {
    std::string text = default_config();
    const std::string line = "invnumber=1000\n";
    text.replace(text.find(line), line.size(), "invnumber=" + invnumber + "\n");
    return text + "[Order Control]\n" + order_control;
}

void OrderShop::put_basket(const std::string& name, const std::string& content) const {
    put("baskets/" + name, content);
}

std::string OrderShop::basket_file(const std::string& name) const { return get("baskets/" + name); }

Reply OrderShop::confirm(const std::string& basket) const {
    return post(form({{"command", "confirm"}, {"basket", basket}}));
}

std::vector<std::string> OrderShop::mail_files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path("mail")))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<MailerRun> OrderShop::mailer_runs() const {
    std::vector<MailerRun> runs;
    const std::string log = exists("blat.log") ? get("blat.log") : std::string();
    std::size_t start = 0;
    for (std::size_t end; (end = log.find("\036\n", start)) != std::string::npos; start = end + 2) {
        const std::string record = log.substr(start, end - start);
        const std::size_t eol = record.find('\n');
        MailerRun run;
        run.argv = split(record.substr(0, eol), '\037');
        run.argv.erase(run.argv.begin());  // the "argv" mark
        run.mail = record.substr(eol + 1);
        runs.push_back(run);
    }
    return runs;
}

std::vector<std::vector<std::string>> read_csv(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c != '"') field += c;
            else if (i + 1 < text.size() && text[i + 1] == '"') field += text[++i];
            else quoted = false;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row.push_back(field);
            field.clear();
        } else if (c == '\n') {
            row.push_back(field);
            field.clear();
            rows.push_back(row);
            row.clear();
        } else {
            field += c;
        }
    }
    if (!field.empty() || !row.empty()) {
        row.push_back(field);
        rows.push_back(row);
    }
    return rows;
}
