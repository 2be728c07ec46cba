// Runs the built tavra-shop with a command line, as a merchant's shell would.
#pragma once
#include <string>

#include "harness.h"

// tavra-shop with `args` as a shell would split them; standard error joins
// the output.
inline Reply tool(const std::string& args) {
    Program p;
    p.binary = "/bin/sh";
    p.args = {"sh", "-c", std::string(SHOP_TOOL_BIN) + " " + args + " 2>&1"};
    p.env = own_environment();
    p.dir = ".";
    return run_program(p);
}
