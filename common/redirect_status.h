// The status line of a redirect answered over FastCGI. A web server running
// a CGI program answers a reply whose header block holds "Location:" with an
// absolute address as a redirect (302) by itself, and nginx and lighttpd do
// the same for a FastCGI program; Apache httpd's FastCGI module passes the
// status the program gives instead, 200 when it gives none, and the browser
// stays on an empty page. A FastCGI reply therefore names its status.
#pragma once
#include <string>
#include <string_view>

// The reply with "Status: 302 Found" written just before the first header
// line that begins "Location:" and names an absolute address, unless the
// header block (up to the first empty line) has a "Status:" line already. A
// Location that is a path on the same server (it begins with "/") is the
// server's own redirect and keeps its status; any other reply is returned
// as it is.
std::string with_redirect_status(std::string_view reply);
