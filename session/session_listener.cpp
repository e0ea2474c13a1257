#include "session/session_listener.h"

#include <algorithm>
#include <memory>
#include <string>

#include "core/boundary.h"
#include "core/log.h"
#include "core/main_window.h"
#include "core/thread.h"
#include "core/thread_handlers.h"
#include "session/line_channel.h"
#include "session/session_report.h"
#include "settings/config.h"

namespace vxw {
namespace {

constexpr int32_t kBacklog = 0x7fffffff;  // the largest the socket layer takes
constexpr uint32_t kDrainPollMs = 100;
constexpr int32_t kRefusalSendMs = 1000;

void LogLine(const vx::Str& text) {
    Log(text);
}


// The tray animation is a nicety: where there is no main window the call is
// skipped, and a failure in it never ends a session.
void NotifyMainWindow(void (MainWindowEvents::*notification)()) {
    try {
        if (MainWindowEvents* window = GetMainWindow()) (window->*notification)();
    } catch (...) {
    }
}

}  // namespace

struct SessionListener::SessionStart {
    SessionListener* listener;
    SocketHandle connection;
};

SessionListener::SessionListener(const ListenerTexts& texts, std::atomic<int32_t>& activeSessions)
    : texts(texts), activeSessions(activeSessions) {}

SessionListener::~SessionListener() {
    try {
        Stop();
    } catch (...) {
    }
    listening.Close();
}

void SessionListener::Start() {
    ServeNormally();
    Worker::Start();
}

void SessionListener::Restart() {
    ServeNormally();
    Worker::Restart();
}

void SessionListener::Stop() {
    Worker::Stop();
    WaitForSessions();
}

void SessionListener::StopListening() { Worker::Stop(); }

void SessionListener::ServeNormally() {
    std::lock_guard<std::mutex> guard(sessionsLock);
    closing = false;
    aborting = false;
}

void SessionListener::CloseSessions() {
    std::lock_guard<std::mutex> guard(sessionsLock);
    closing = true;
    for (SessionControl* session : sessions) session->Close();
}

void SessionListener::Shutdown() {
    CloseSessions();
    Stop();
}

void SessionListener::AbortSessions() {
    std::lock_guard<std::mutex> guard(sessionsLock);
    closing = true;
    aborting = true;
    for (SessionControl* session : sessions) session->Abort();
}

void SessionListener::DoWork() {
    // A failure to listen leaves DoWork: the worker reports it and the service
    // stays down until the next Start or Restart.
    Config& config = Config::Instance();
    listenCalled = false;
    listening.Listen(config.Address(), ListenPort(), kBacklog);
    listenCalled = true;
    listening.SetTimeout(ConfiguredTimeoutMs());
    while (!StopRequested()) {
        vx::CatchAtBoundary(
            texts.acceptPlace, vx::kUnknownError, [this] { AcceptOne(); }, LogLine);
    }
    // The sessions are not waited for here: a restart listens again at once
    // while they finish; Stop waits for them.
}

void SessionListener::AcceptOne() {
    SocketHandle connection = listening.Accept();
    if (connection == kInvalidSocket) {
        if (!StopRequested()) Log(texts.acceptError);
        return;
    }
    bool isClosing;
    {
        std::lock_guard<std::mutex> guard(sessionsLock);
        isClosing = closing;
    }
    if (isClosing) {
        Refuse(connection, texts.closingReply);
        return;
    }
    int32_t limit = sessionLimit.load();
    if (activeSessions.load() >= limit) {
        // Once per crowd: a flood of connections must not flood the log too.
        if (!refusing) {
            Log(vx::Str(texts.acceptPlace) +
                "::Accept - Too many sessions, new connections are refused - " +
                std::to_string(limit));
        }
        refusing = true;
        Refuse(connection, texts.busyReply);
        return;
    }
    refusing = false;
    StartSession(connection);
}

void SessionListener::Refuse(SocketHandle connection, const char* reply) {
    Socket refused(connection);
    // A fresh connection takes a short reply at once; one that does not is
    // not waited for long.
    refused.SetTimeout(kRefusalSendMs);
    try {
        refused.SendText(reply);
    } catch (...) {
    }
}

void SessionListener::StartSession(SocketHandle connection) {
    // Counted before the thread exists: a Stop that comes right now must wait
    // for this session too, or the thread could outlive the listener.
    ++activeSessions;
    auto start = std::make_unique<SessionStart>(SessionStart{this, connection});
    try {
        ThreadHandle thread = CreateThread(&SessionListener::SessionThread, start.get());
        start.release();
        CloseThreadHandle(thread);
    } catch (...) {
        --activeSessions;
        // Nobody will serve the connection: the client hears to come back.
        Refuse(connection, texts.busyReply);
        throw;
    }
}

uint32_t SessionListener::SessionThread(void* argument) {
    std::unique_ptr<SessionStart> start(static_cast<SessionStart*>(argument));
    InstallThreadHandlers();
    start->listener->ServeSession(start->connection);
    return 0;
}

void SessionListener::ServeSession(SocketHandle connection) {
    NotifyMainWindow(&MainWindowEvents::OnSessionStarted);
    {
        // The session keeps the settings it started with, whatever a reload
        // changes meanwhile.
        Config::Pin settings(Config::Instance().GetValues());
        SessionControl control(texts.closingReply);
        Register(control);
        RunUnderControl(connection, control);
        Unregister(control);
    }
    // After this decrement Stop may return and the listener go: touch nothing
    // of it from here on.
    if (--activeSessions == 0) NotifyMainWindow(&MainWindowEvents::OnAllSessionsEnded);
}

// Every session ends with one line that says how and what it did. An error
// gets its own line before it, unless it was the client's leaving (or its
// time-out) or followed from an abort: those are no failures of the
// session's.
void SessionListener::RunUnderControl(SocketHandle connection, SessionControl& control) {
    SessionControl::Scope scope(control);
    SessionReport report(texts.protocol);
    SessionReport::Scope reported(report);
    using Ending = SessionReport::Ending;
    vx::CatchAtBoundary(
        texts.sessionPlace, vx::kUnknownError,
        [&] {
            try {
                RunSession(connection);
            } catch (const SessionClosed&) {
                report.NoteEnding(control.Aborted() ? Ending::Aborted : Ending::ShutDown);
            }
        },
        [&](const vx::Str& text) {
            if (control.Aborted()) return report.NoteEnding(Ending::Aborted);
            if (report.ClientEnded()) return;
            report.NoteEnding(Ending::Failed);
            Log(text);
        });
    LogWithoutContext(report.EndLine());
}

void SessionListener::Register(SessionControl& control) {
    std::lock_guard<std::mutex> guard(sessionsLock);
    sessions.push_back(&control);
    if (aborting) control.Abort();
    if (closing) control.Close();
}

void SessionListener::Unregister(SessionControl& control) {
    std::lock_guard<std::mutex> guard(sessionsLock);
    sessions.erase(std::remove(sessions.begin(), sessions.end(), &control), sessions.end());
}

void SessionListener::WaitForSessions() {
    while (activeSessions.load() > 0) Sleep(kDrainPollMs);
}

void SessionListener::Interrupt() {
    listening.Close();
}

void SessionListener::LogError(const vx::Str& text) {
    if (logFailures) Log(texts.logErrorPrefix + text);
}

}  // namespace vxw
