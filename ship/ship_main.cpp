// ship, the shipping calculator: checkout step 4 with per-item shipping
// rules; one request per CGI run, or FastCGI requests when started on a
// listening socket; each request reads its own shop.
#include "platform/files.h"
#include "request/serve.h"
#include "ship/calculator.h"

int main(int argc, char** argv) {
    files::keep_new_files_private();
    return serve(argc, argv, [](Request& request) {
        const Shop shop = read_ship_shop(request.program_dir);
        return answer_ship(request, shop);
    });
}
