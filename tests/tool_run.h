// Runs the built tavra-shop with a command line, as a merchant's shell would.
#pragma once
#include <sys/wait.h>

#include <cstdio>
#include <string>

struct ToolRun {
    std::string out;  // standard output and error
    int status = -1;
};

inline ToolRun tool(const std::string& args) {
    ToolRun r;
    FILE* p = popen((std::string(SHOP_TOOL_BIN) + " " + args + " 2>&1").c_str(), "r");
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, p)) > 0;) r.out.append(buffer, n);
    const int status = pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}
