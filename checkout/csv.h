// Fields of the comma-separated order tables and payment records. A value is
// written bare unless it would break the columns; then it is quoted as
// RFC 4180, 2.6 and 2.7 say, so that every reader sees the same fields.
#pragma once
#include <string>
#include <string_view>
#include <vector>

// The value as one field: enclosed in double quotes, with each inner double
// quote doubled, when it holds a comma, a double quote, a CR or a LF;
// otherwise unchanged.
std::string csv_field(std::string_view value);

// How values that begin like a formula are written.
enum class Formulas {
    as_stored,  // unchanged
    // with a "'" in front when they begin with "=", "+", "-", "@", a tab or
    // a CR, so that a spreadsheet shows them as text instead of running them
    defused,
};

// The value with a "'" in front when `formulas` asks to defuse it and it
// begins like a formula; otherwise unchanged.
std::string defused(std::string_view value, Formulas formulas);

// The values as fields joined by "," and ended by "\n".
std::string csv_line(const std::vector<std::string>& values, Formulas formulas = Formulas::as_stored);
