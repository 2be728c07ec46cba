// Reading a text file line by line the way the system's line readers do:
// a line break (CR LF or LF alone) ends a line, and a line is taken in pieces
// of at most limits::kLinePiece characters, the rest of a longer line coming
// back as a line of its own.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

#include "common/limits.h"

class LineReader {
public:
    explicit LineReader(std::string_view text, std::size_t piece = limits::kLinePiece)
        : text_(text), piece_(piece) {}

    // The next piece without its line break, into `line`; false at the end of
    // the text. `ended_by_break` tells whether a line break closed the piece.
    bool next(std::string& line, bool* ended_by_break = nullptr);

private:
    std::string_view text_;
    std::size_t piece_;
    std::size_t pos_ = 0;
};
