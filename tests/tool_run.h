// Runs the built tavra-shop with a command line, as a merchant's shell would.
#pragma once
#include <cstdio>
#include <filesystem>
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

// A temporary folder with the build's programs under their installed names,
// a registry, and a shop laid out in it by create.
class ToolShop : public TempFolder {
public:
    ToolShop() : TempFolder("tavra-shop-test") {
        std::filesystem::permissions(root(), std::filesystem::perms(0755));
        std::filesystem::create_directories(root() + "/programs");
        std::filesystem::create_symlink(TAVRA_BIN, root() + "/programs/tavra");
        std::filesystem::create_symlink(SHIP_BIN, root() + "/programs/ship");
        std::filesystem::create_symlink(MAILER_BIN, root() + "/programs/mailer");
    }

    std::string places() const {
        return " --programs " + root() + "/programs --sample " SOURCE_DIR "/demo --templates " SOURCE_DIR
               "/packaging/server --registry " + root() + "/registry";
    }
    // With the merchant's details, unless `options` gives others.
    Reply create(const std::string& options = "", const std::string& details = kDetails) const {
        return tool("create " + shop() + options + details + places());
    }
    static constexpr const char* kDetails = " --email orders@pages.example --name 'Pages & Co'";
    std::string shop() const { return root() + "/shop"; }
};

inline std::string read_file(const std::string& path) {
    std::string text;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;) text.append(buffer, n);
        std::fclose(f);
    }
    return text;
}

inline void write_file(const std::string& path, const std::string& text) {
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(text.data(), 1, text.size(), f);
    std::fclose(f);
}

