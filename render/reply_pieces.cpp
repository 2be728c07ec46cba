#include "render/reply_pieces.h"

#include <string>

#include "platform/output.h"
#include "render/basket_table.h"
#include "render/template_page.h"

namespace {
constexpr std::string_view kProductName = "Tavra Qel";
constexpr std::string_view kVersion = "1.1";
constexpr std::string_view kCookieName = "TAVRA";
constexpr std::string_view kCookiePath = "/";
constexpr std::string_view kCookieExpiry = "Wednesday, 09-Nov-1999 00:00:00 GMT";
constexpr std::string_view kHomePage = "http://www.tavra-qel.example/";
}  // namespace

void write_content_type() { reply::write("Content-type: text/html\n\n"); }

void write_redirect(const Shop& shop) { reply::write("Location: " + shop.config.thanks + "\n\n"); }

void write_basket_cookie(std::string_view basket) {
    std::string line = "Set-Cookie: ";
    line += kCookieName;
    line += '=';
    line += basket;
    line += "; path=";
    line += kCookiePath;
    line += "; expires=";
    line += kCookieExpiry;
    line += '\n';
    reply::write(line);
}

void write_fallback_page() {
    std::string page = "Content-type: text/html\n\n";
    page += "<html><head><title>";
    page += kProductName;
    page += "</title></head>\n";
    page += "<body bgcolor\"#FFFFFF\"><h1>";
    page += kProductName;
    page += " v";
    page += kVersion;
    page += "</h1>\n";
    page += "<a href=\"";
    page += kHomePage;
    page += "\">\n";
    page += "<h3>Click here to go to the Tavra homepage</h3></a>";
    page += "<body></html>";
    reply::write(page);
}

reply::Done answer_with_page(const Shop& shop, std::string_view basket, std::string_view page) {
    if (auto answered = render_template_page(shop, basket, page)) return *answered;
    render_basket_table(shop, basket, page);
    return {1};
}

reply::Done answer_with_header_and_page(const Shop& shop, std::string_view basket, std::string_view page) {
    write_content_type();
    return answer_with_page(shop, basket, page);
}
