// Numbered names: basket lines are sections "1", "2", ...; options are keys
// and fields "option1", "option2", ...; extra charges "a1", "a4", .... A count
// read from a form or a file says how far a loop over them runs, but only
// the numbers that exist can change anything, so loops visit those alone and
// a hostile count costs nothing.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The numbers first, first + step, first + 2 * step, ... up to last.
struct NumberRow {
    long long first;
    long long step;
    long long last;

    bool holds(long long n) const { return n >= first && n <= last && (n - first) % step == 0; }
};

// The number that `name` carries after `prefix`, when it is written the way
// the system names numbered things: the prefix (letter case ignored when
// `ignore_case`), then decimal digits without sign or leading zero.
std::optional<long long> number_after(std::string_view name, std::string_view prefix, bool ignore_case);

// The numbers of the row that some name of `names` carries, ascending and
// each once.
std::vector<long long> numbers_named(const std::vector<std::string>& names, std::string_view prefix, NumberRow row,
                                     bool ignore_case);
