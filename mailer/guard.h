// The mailer works for the programs beside it and for nobody else: a web
// server that takes it for a CGI program, or a caller that hands it a file
// from outside the shop's mail folder, is refused before anything is read.
#pragma once
#include <optional>
#include <string>

#include "request/shop.h"

namespace mailer {

// Why this run must send nothing, or empty text: GATEWAY_INTERFACE or
// REQUEST_METHOD in the environment say a web server started it, so the
// command line came from a stranger's request.
std::string cgi_refusal();

// The path with "..", symbolic links and a relative start resolved; nothing
// when it leads to no existing file or folder.
std::optional<std::string> resolved_path(const std::string& path);

// Whether the resolved mail file lies directly in the shop's mail folder: the
// folder part of "maildir=" of the shop's tavra.cfg as the line reader reads
// it (up to its last "/"), resolved the same way, with the file's name
// beginning with the rest of the value, as the programs make mail file
// names. Otherwise `refusal` says why.
bool in_mail_folder(const Shop& shop, const std::string& mail_file, std::string& refusal);

}  // namespace mailer
