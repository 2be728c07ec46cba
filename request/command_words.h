// The command words the two programs answer, in the order their dispatch
// tests them. The dispatch tables of tavra and ship are checked against
// these lists when they are compiled; the shop tool's page check reads them
// to tell a known command from a mistyped one.
#pragma once
#include <string_view>

// tavra's GET commands: the first query word of a link.
inline constexpr std::string_view kGetCommandWords[] = {"newbasket", "goto", "info", "lookup", "kill"};

// tavra's POST commands: the value of the form field `command`.
inline constexpr std::string_view kPostCommandWords[] = {
    "goto",  "add2basket", "add2lookup", "add2mod", "add2check", "newbasket", "calc",   "step1",
    "step2", "step3",      "step4",      "confirm", "sendmail",  "showmail",  "edit",
};

// ship's one command, posted; a link to ship gets its usage line.
inline constexpr std::string_view kShipCommandWords[] = {"step4"};
