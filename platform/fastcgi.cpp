#include "platform/fastcgi.h"

#include <fcgiapp.h>
#include <fcntl.h>

#include <algorithm>
#include <climits>

namespace fastcgi {

bool started_on_socket() { return FCGX_IsCGI() == 0; }

struct Requests::State {
    FCGX_Request request{};
    bool open = false;  // a request accepted and not yet finished
};

Requests::Requests() : state_(std::make_unique<State>()) {
    FCGX_Init();
    FCGX_InitRequest(&state_->request, 0, 0);
}

Requests::~Requests() {
    if (state_->open) FCGX_Finish_r(&state_->request);
    FCGX_Free(&state_->request, 1);
}

bool Requests::next() {
    state_->open = FCGX_Accept_r(&state_->request) >= 0;
    // The connection must not reach the programs a request starts (the
    // mailer): one that kept it would hold the client's request open.
    if (state_->open) fcntl(state_->request.ipcFd, F_SETFD, FD_CLOEXEC);
    return state_->open;
}

std::optional<std::string> Requests::variable(const char* name) const {
    if (!state_->open) return std::nullopt;
    const char* value = FCGX_GetParam(name, state_->request.envp);
    if (!value) return std::nullopt;
    return std::string(value);
}

std::string Requests::body(std::size_t bytes) {
    std::string in;
    if (!state_->open) return in;
    char chunk[65536];
    while (in.size() < bytes) {
        const std::size_t want = std::min(sizeof chunk, bytes - in.size());
        const int n = FCGX_GetStr(chunk, static_cast<int>(want), state_->request.in);
        if (n <= 0) break;
        in.append(chunk, static_cast<std::size_t>(n));
    }
    return in;
}

void Requests::answer(std::string_view bytes, int status) {
    if (!state_->open) return;
    for (std::size_t done = 0; done < bytes.size();) {
        const std::size_t piece = std::min<std::size_t>(bytes.size() - done, INT_MAX);
        if (FCGX_PutStr(bytes.data() + done, static_cast<int>(piece), state_->request.out) < 0) break;
        done += piece;
    }
    FCGX_SetExitStatus(status, state_->request.out);
    FCGX_Finish_r(&state_->request);
    state_->open = false;
}

}  // namespace fastcgi
