// A whole request through the programs' request functions, as the serving
// loop makes it: any method, query, cookie and body to tavra or ship in a
// small shop. Every reply is empty or a page or redirect with its headers in
// order, its status one a run ends with, and the request after it, a page
// of the same shop, answers byte for byte as it did at the start: nothing of
// one request is left for the next.
#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "fuzz_check.h"
#include "request/request.h"
#include "ship/calculator.h"
#include "tavra/commands.h"

namespace {

namespace fs = std::filesystem;

void put(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A shop under /tmp with a page, an item table, a style sheet and one basket
// half way through checkout; put back as it was before every request.
struct FuzzShop {
    fs::path root;
    std::string dir;

    FuzzShop() {
        char folder[] = "/tmp/tavra-fuzz-XXXXXX";
        root = mkdtemp(folder);
        dir = root.string() + "/";
    }
    ~FuzzShop() { fs::remove_all(root); }

    void reset() const {
        for (const char* changed :
             {"baskets", "mail", "batch", "runlog.txt", "errlog.txt", "batchcfg.ini", "c.csv", "o.csv", "s.csv"})
            fs::remove_all(root / changed);
        for (const char* folder : {"baskets/basket", "mail", "batch"}) fs::create_directories(root / folder);
        put(root / "tavra.cfg", "[Program Config]\nwebdir=" + dir + "web/\nthanks=http://shop.example/thanks\n"
                                "email=m@shop.example\nname=Shop\ntax=0.08\nshiptable=items.ini\nmaildir=" + dir +
                                    "mail/\nbatchfile=" + dir + "batch/\ninvnumber=1000\nbasketdir=" + dir +
                                    "baskets/\ndbfile=" + dir + "web/items.ini\ncgiurl=tavra\nstyles=" + dir +
                                    "styles/\n[Order Control]\ntables=on\ncustomer=" + dir + "c.csv\norder=" + dir +
                                    "o.csv\nshipment=" + dir + "s.csv\n");
        put(root / "web/page.html", "<html>\n{SHOPPER}\n<{ITEM=100}>\n");
        put(root / "web/items.ini", "[100]\nname=Mug\nprice=4.50\nship=1\nstyle=s\nSHIPTYPE=quantity\nfirst=2\n");
        put(root / "styles/s.sty", "%NAME% %PRICE% %BASKET%\n");
        put(root / "baskets/basket/t.bsk", "[Basket]\nNumKeys=1\n[1]\nNAME=Mug\nITEM=100\nPRICE=4.50\nSHIP=1\n"
                                           "QUANTITY=2\n[Shipping]\nfname=Ana\ncarrier=predetermined\n"
                                           "[Total]\nTax=0.72\nTotal=10.72\n[Order State]\nstate=summarised\n");
    }

    // A request with these CGI variables and this body, as a FastCGI
    // request is read.
    reply::Reply answer(bool ship, const std::vector<std::pair<std::string, std::string>>& variables,
                        const std::string& body) const {
        const auto variable = [&variables](const char* name) -> std::optional<std::string> {
            for (const auto& [k, v] : variables)
                if (k == name) return v;
            return std::nullopt;
        };
        const auto read_body = [&body, at = std::size_t{0}](std::size_t bytes) mutable {
            const std::string piece = body.substr(std::min(at, body.size()), bytes);
            at += piece.size();
            return piece;
        };
        Request r = request_from(dir + (ship ? "ship" : "tavra"), {}, variable, read_body);
        if (ship) return answer_ship(r, read_ship_shop(r.program_dir));
        Shop shop = read_tavra_shop(r.program_dir);
        return answer_tavra(r, shop);
    }

    reply::Reply probe() const {
        const std::string body = "command=goto&basket=basket/t.bsk&where=page.html";
        return answer(false,
                      {{"REQUEST_METHOD", "POST"},
                       {"CONTENT_TYPE", "application/x-www-form-urlencoded"},
                       {"CONTENT_LENGTH", std::to_string(body.size())}},
                      body);
    }
};

// ship's answer to a bare GET, which has always come without headers.
const std::string kShipUsage = "ship.exe?SHIPPINGMETHOD+WEIGHT+ZIPCODE+EXCHANGEFILENAME\n";

const std::string kSafety = "X-Content-Type-Options: nosniff\nReferrer-Policy: same-origin\nX-Frame-Options: SAMEORIGIN\n";

// Cookie lines, then the cache line, the safety headers and a content type
// or a redirect.
bool well_formed(const std::string& bytes) {
    std::size_t at = 0;
    while (bytes.compare(at, 12, "Set-Cookie: ") == 0) {
        const std::size_t end = bytes.find('\n', at);
        if (end == std::string::npos) return false;
        at = end + 1;
    }
    if (bytes.compare(at, 24, "Cache-Control: no-store\n") == 0) at += 24;
    if (bytes.compare(at, kSafety.size(), kSafety) != 0) return false;
    at += kSafety.size();
    return bytes.compare(at, 25, "Content-type: text/html\n\n") == 0 || bytes.compare(at, 10, "Location: ") == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const FuzzShop shop;
    static const std::string expected_probe = [] {
        shop.reset();
        return shop.probe().bytes;
    }();

    FuzzedDataProvider in(data, size);
    const bool ship = in.ConsumeBool();
    static const char* const kMethods[] = {"GET", "POST", "HEAD", "PUT", "get"};
    std::vector<std::pair<std::string, std::string>> variables;
    const std::size_t method = in.ConsumeIntegralInRange<std::size_t>(0, std::size(kMethods));
    if (method < std::size(kMethods)) variables.emplace_back("REQUEST_METHOD", kMethods[method]);
    if (in.ConsumeBool()) variables.emplace_back("CONTENT_TYPE", "application/x-www-form-urlencoded");
    if (in.ConsumeBool()) variables.emplace_back("QUERY_STRING", in.ConsumeRandomLengthString(128));
    if (in.ConsumeBool()) variables.emplace_back("HTTP_COOKIE", in.ConsumeRandomLengthString(96));
    const bool announced = in.ConsumeBool();
    const std::string length = in.ConsumeRandomLengthString(12);
    const std::string body = in.ConsumeRemainingBytesAsString();
    variables.emplace_back("CONTENT_LENGTH", announced ? std::to_string(body.size()) : length);

    shop.reset();
    const reply::Reply reply = shop.answer(ship, variables, body);
    FUZZ_CHECK(reply.status == -1 || reply.status == 0 || reply.status == 1);
    const bool shaped = reply.bytes.empty() || well_formed(reply.bytes) || (ship && reply.bytes == kShipUsage);
    if (!shaped) std::fprintf(stderr, "reply:\n%s\n", reply.bytes.c_str());
    FUZZ_CHECK(shaped);
    // The basket stays within the size a request may give it.
    std::error_code missing;
    const auto basket_size = fs::file_size(shop.root / "baskets/basket/t.bsk", missing);
    FUZZ_CHECK(missing || basket_size <= (1u << 20));

    shop.reset();
    FUZZ_CHECK(shop.probe().bytes == expected_probe);
    return 0;
}
