#include "logs/logs.h"

#include "request/shop.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/output.h"
#include "request/names.h"

namespace {

constexpr std::string_view kErrorLog = "errlog.txt";

std::string labelled(std::string_view label, std::string_view value) {
    std::string line(label);
    line += '=';
    line += value;
    line += '\n';
    return line;
}

}  // namespace

void write_run_log(const Shop& shop) {
    const std::string path = shop.program_dir + "runlog.txt";
    const Config& c = shop.config;
    std::string record = "[" + timing::log_timestamp() + "]\n";
    record += labelled("Config File", shop.config_file);
    for (const ConfigKey& key : kConfigKeys)
        if (!key.log_label.empty()) record += labelled(key.log_label, c.*key.value);
    record += "\n";
    if (!files::append(path, record)) reply::write("Could not open " + path + "\n");
}

void write_error_page() {
    reply::write(
        "Content-type: text/html\n\n"
        "<pre>An error has occured that has prevented\n"
        "the program from completing the requested\n"
        "operation. Consult the error log to diagnose\n"
        "the problem.\n");
}

bool append_error_record(const std::string& program_dir, std::string_view message) {
    std::string record = "[" + timing::log_timestamp() + "]\n" + labelled("Error Message", message);
    return files::append(program_dir + std::string(kErrorLog), record);
}

reply::Done fail_with_error(const std::string& program_dir, std::string_view message) {
    if (!append_error_record(program_dir, message))
        reply::write("Could not open " + program_dir + std::string(kErrorLog) + "\n");
    write_error_page();
    return {1};
}

reply::Refusal refuse_basket_name(const Request& r, std::string_view name) {
    if (!is_basket_name(name)) return fail_with_error(r.program_dir, refused_name_message(name));
    return std::nullopt;
}

reply::Refusal refuse_file_name(const Request& r, std::string_view name) {
    if (!is_file_name(name)) return fail_with_error(r.program_dir, refused_name_message(name));
    return std::nullopt;
}

reply::Refusal refuse_page_name(const Request& r, std::string_view name) {
    if (!is_page_name(name)) return fail_with_error(r.program_dir, refused_name_message(name));
    return std::nullopt;
}
