// ship, the shipping calculator: checkout step 4 with per-item shipping rules.
#include "platform/files.h"
#include "platform/output.h"
#include "ship/calculator.h"

int main(int argc, char** argv) {
    files::keep_new_files_private();
    Request request = read_request(argc, argv);
    const Shop shop = read_ship_shop(request.program_dir);
    const reply::Reply answer = answer_ship(request, shop);
    reply::send(answer);
    return answer.status;
}
