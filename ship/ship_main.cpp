// ship, the shipping calculator: checkout step 4 with per-item shipping rules.
#include "platform/files.h"
#include "ship/calculator.h"

int main(int argc, char** argv) {
    files::keep_new_files_private();
    Request request = read_request(argc, argv);
    read_ship_config(request.program_dir);
    run_ship(request);
}
