// tavra, the basket program: one request per CGI run, or FastCGI requests
// when started on a listening socket; each request reads its own shop.
#include "platform/files.h"
#include "request/serve.h"
#include "tavra/commands.h"

int main(int argc, char** argv) {
    files::keep_new_files_private();
    return serve(argc, argv, [](Request& request) {
        Shop shop = read_tavra_shop(request.program_dir);
        return answer_tavra(request, shop);
    });
}
