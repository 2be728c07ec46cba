#include "common/lines.h"

bool LineReader::next(std::string& line, bool* ended_by_break) {
    line.clear();
    if (pos_ >= text_.size()) return false;
    bool broke = false;
    // Like a text-mode fgets with a buffer of piece + 1: a piece holds at most
    // `piece_` characters counting its line feed, so a line of exactly
    // `piece_` characters leaves its break to be read as an empty line.
    while (line.size() < piece_ && pos_ < text_.size()) {
        char c = text_[pos_];
        if (c == '\n') {
            ++pos_;
            broke = true;
            break;
        }
        if (c == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n') {
            pos_ += 2;
            broke = true;
            break;
        }
        line += c;
        ++pos_;
    }
    if (ended_by_break) *ended_by_break = broke;
    return true;
}
