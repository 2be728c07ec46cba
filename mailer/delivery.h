// Handing a finished message on: into a folder as one file, or to a local
// mail program on its standard input.
#pragma once
#include <string>
#include <vector>

namespace mailer {

// Stores `message` as a new file NAME.eml in `folder` (made when missing),
// never replacing a file: it is written under a hidden temporary name first
// and linked to a free name when complete, so a reader never sees half a
// message. The path stored, or nothing with `error` set.
bool store_in_outbox(const std::string& folder, const std::string& message, std::string& stored, std::string& error);

// Starts `program` with `args` (args[0] included, no shell), writes `input`
// to its standard input and waits for it. True when it ran and exited with
// status 0; otherwise `error` says what went wrong.
bool pipe_to_program(const std::string& program, const std::vector<std::string>& args, const std::string& input,
                     std::string& error);

// The local date and time as RFC 5322 writes it ("Mon, 08 Dec 2025 15:09:00 +0100").
std::string rfc5322_now();

// Text that no other message of this host carries: time, process and a
// counter.
std::string unique_token();

}  // namespace mailer
