// tavra, the basket program: one CGI request per run.
#include "platform/files.h"
#include "platform/output.h"
#include "tavra/commands.h"

int main(int argc, char** argv) {
    files::keep_new_files_private();
    Request request = read_request(argc, argv);
    Shop shop = read_tavra_shop(request.program_dir);
    const reply::Reply answer = answer_tavra(request, shop);
    reply::send(answer);
    return answer.status;
}
