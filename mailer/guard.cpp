#include "mailer/guard.h"

#include <cstdlib>

#include "request/shop.h"
#include "mailer/message.h"

namespace mailer {

std::optional<std::string> resolved_path(const std::string& path) {
    char* full = ::realpath(path.c_str(), nullptr);
    if (!full) return std::nullopt;
    std::string text(full);
    std::free(full);
    return text;
}

std::string cgi_refusal() {
    for (const char* name : {"GATEWAY_INTERFACE", "REQUEST_METHOD"})
        if (std::getenv(name))
            return std::string("started as a CGI program (") + name + " is set): refusing to send anything";
    return {};
}

bool in_mail_folder(const Shop& shop, const std::string& mail_file, std::string& refusal) {
    const std::string& config_file = shop.config_file;
    if (shop.read != ConfigRead::ok) {
        refusal = "cannot read the mail folder from " + config_file;
        return false;
    }
    // The programs put a mail file at maildir + name: its folder is the part
    // of maildir up to the last "/", and its name begins with the rest.
    const std::string& maildir = shop.config.maildir;
    const std::size_t slash = maildir.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : maildir.substr(0, slash + 1);
    const std::string lead = slash == std::string::npos ? maildir : maildir.substr(slash + 1);
    const auto folder_path = resolved_path(folder);
    if (!folder_path) {
        refusal = "the mail folder " + printable(folder) + " of " + config_file + " cannot be found";
        return false;
    }
    const std::size_t cut = mail_file.rfind('/');
    const std::string file_folder = cut == 0 || cut == std::string::npos ? "/" : mail_file.substr(0, cut);
    const std::string name = cut == std::string::npos ? mail_file : mail_file.substr(cut + 1);
    if (file_folder != *folder_path || name.compare(0, lead.size(), lead) != 0) {
        refusal = "the mail file " + printable(mail_file) + " is not in the mail folder " + *folder_path;
        return false;
    }
    return true;
}

}  // namespace mailer
