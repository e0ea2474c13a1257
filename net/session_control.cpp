#include "net/session_control.h"

#include <algorithm>

#include "net/socket.h"
#include "net/socket_system.h"

namespace vxw {
namespace {

thread_local SessionControl* current = nullptr;

void ShutDown(Socket& socket) {
    SocketHandle handle = socket.Handle();
    if (handle != kInvalidSocket) sys::ShutdownBoth(handle);
}

}  // namespace

SessionControl* SessionControl::Current() {
    return current;
}

SessionControl::Scope::Scope(SessionControl& control) : previous(current) {
    current = &control;
}

SessionControl::Scope::~Scope() {
    current = previous;
}

SessionControl::~SessionControl() {
    std::lock_guard<std::mutex> guard(lock);
    for (Socket* socket : sockets) socket->control = nullptr;
}

void SessionControl::Enlist(Socket& socket) {
    std::lock_guard<std::mutex> guard(lock);
    sockets.push_back(&socket);
    // A socket opened after the abort (a retry, a reconnection) ends at once too.
    if (aborted) ShutDown(socket);
}

void SessionControl::Delist(Socket& socket) {
    std::lock_guard<std::mutex> guard(lock);
    sockets.erase(std::remove(sockets.begin(), sockets.end(), &socket), sockets.end());
    if (prompting == &socket) prompting = nullptr;
}

bool SessionControl::EnterPrompt(Socket& client) {
    std::lock_guard<std::mutex> guard(lock);
    if (closing || aborted) return false;
    prompting = &client;
    return true;
}

bool SessionControl::LeavePrompt() {
    std::lock_guard<std::mutex> guard(lock);
    prompting = nullptr;
    return !closing && !aborted;
}

bool SessionControl::Aborted() const {
    std::lock_guard<std::mutex> guard(lock);
    return aborted;
}

void SessionControl::Close() {
    std::lock_guard<std::mutex> guard(lock);
    closing = true;
    // Only the reading side: the session still says goodbye on the other.
    if (prompting != nullptr && prompting->Handle() != kInvalidSocket) {
        sys::WakeReader(prompting->Handle());
    }
}

void SessionControl::Abort() {
    std::lock_guard<std::mutex> guard(lock);
    aborted = true;
    for (Socket* socket : sockets) ShutDown(*socket);
}

}  // namespace vxw
