// tavra, the basket program: one CGI request per run.
#include "tavra/commands.h"
#include "request/config.h"
#include "logs/logs.h"
#include "platform/files.h"

int main(int argc, char** argv) {
    files::keep_new_files_private();
    Request request = read_request(argc, argv);
    const std::string config_file = config_path(request.program_dir);
    switch (read_config(config_file, config())) {
        case ConfigRead::cannot_open:
            fail_with_error(request.program_dir, "Could not find " + config_file);
        case ConfigRead::cannot_read:
            fail_with_error(request.program_dir, "Could not read from " + config_file);
        case ConfigRead::ok:
            break;
    }
    write_run_log(request.program_dir, config_file);
    dispatch(request);
}
