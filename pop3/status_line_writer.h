#pragma once
// Writes the "+OK Message follows" status line of RETR and TOP while the
// message downloads from the service, which can take long: one character every
// two seconds, then a dot every five, so that the mail client hears something
// and keeps the connection. With OperaCompat the line goes out at once
// (clients that cannot take a slow status line), from the constructor.
// Otherwise construction starts the writer; Finish (or destruction, on a
// failed download) completes the line and waits for the writer, after which
// the session may send again. A download that failed before a byte of the
// line went out withdraws it instead, so that the client hears -ERR.
#include <atomic>
#include <cstdint>

#include "core/condition.h"
#include "core/thread.h"
#include "net/session_control.h"
#include "session/line_channel.h"
#include "settings/config.h"

class StatusLineWriter {
public:
    explicit StatusLineWriter(vxw::LineChannel& channel);
    ~StatusLineWriter();
    StatusLineWriter(const StatusLineWriter&) = delete;
    StatusLineWriter& operator=(const StatusLineWriter&) = delete;

    // The download has ended: the status line is complete, with its CR LF,
    // when this returns.
    void Finish();
    // The download failed: stops the writer. True when not a byte of the
    // line went out (nothing is sent then); otherwise the line is complete.
    bool Withdraw();

private:
    static uint32_t MessageFollowsWorker(void* self);
    void Write();

    vxw::LineChannel& channel;
    vxw::SessionControl* control;  // the session's, taken on its own thread
    const Config::Values settings;  // the session's, for the writer's thread too
    std::atomic<int32_t> downloadDone{0};
    std::atomic<bool> withdrawn{false};
    bool sentNothing = false;  // the writer withdrew the line whole
    vxw::Condition downloadEvent;
    vxw::ThreadHandle thread;
};
