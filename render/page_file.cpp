#include "render/page_file.h"

#include "platform/files.h"
#include "platform/output.h"

reply::Refusal open_page(const std::string& webdir, std::string_view page, OpenedPage& opened) {
    const std::string path = webdir + std::string(page);
    auto text = files::read(path);
    if (!text) {
        reply::write("Could not open " + path + "\n");
        return reply::Done{1};
    }
    opened.text = std::move(*text);
    opened.lines = LineReader(opened.text);
    reply::write("</pre>\n");
    std::string line;
    opened.lines.next(line);
    if (line != "<!--NO PARSE-->") return std::nullopt;
    reply::write(unparsed_copy(opened.lines));
    return reply::Done{1};
}

std::string unparsed_copy(LineReader& lines) {
    std::string line, out;
    bool broke = false;
    while (lines.next(line, &broke)) {
        // Each line as read (with its own line end), then one more.
        out += line;
        if (broke) out += '\n';
        out += '\n';
    }
    return out;
}
