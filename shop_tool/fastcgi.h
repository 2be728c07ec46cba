// A shop served by long-lived FastCGI programs: the socket of each program
// in the shop's fcgi/ folder, the instances of the package's socket and
// service templates that serve it, and the drop-ins that give them to the
// shop's user.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "shop_tool/layout.h"
#include "shop_tool/tool.h"

namespace shop_tool {

// The programs a shop serves through FastCGI: the link in cgi-bin/ (and the
// socket's name in fcgi/) and the unit template that runs it.
struct FastcgiProgram {
    const char* name;  // "tavra": cgi-bin/tavra.exe, fcgi/tavra.sock
    const char* unit;  // "tavra-fcgi": tavra-fcgi@INSTANCE.socket and .service
};
inline const FastcgiProgram kFastcgiPrograms[] = {{"tavra", "tavra-fcgi"}, {"ship", "tavra-ship-fcgi"}};

// The instance name of a shop's units: its folder escaped as the service
// manager escapes a path ("/srv/my-shop" is "srv-my\x2dshop").
std::string unit_instance(const std::string& shop);

// The socket a program of the shop listens on, and why a shop folder cannot
// hold the sockets (their paths too long for a socket address), or nothing.
std::string fastcgi_socket(const std::string& shop, const FastcgiProgram& program);
std::string fastcgi_refusal(const std::string& shop);

// The snippets' placeholders for the units of a shop: the socket units and
// the service units, each a word a shell takes as it stands.
std::vector<std::pair<std::string, std::string>> fastcgi_snippet_values(const std::string& shop);

// The drop-ins of the shop's socket and service units, which give both to
// the shop's user, as "UNIT.d/shop.conf" and its text.
std::vector<std::pair<std::string, std::string>> fastcgi_unit_settings(const std::string& shop, const Owner& owner);

// Writes them into places.unit_settings, and has the service manager reload
// them when they are the system's. False when one cannot be written.
bool write_fastcgi_unit_settings(const Places& places, const std::string& shop, const Owner& owner);

// What the merchant does next: start the units (or, with `registered`
// false, the programs by hand) and enable a FastCGI snippet.
void print_fastcgi_steps(const std::string& shop, const Owner& owner, bool registered);

}  // namespace shop_tool
