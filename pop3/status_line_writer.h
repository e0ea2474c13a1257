#pragma once
// Writes the "+OK Message follows" status line of RETR and TOP while the
// message downloads from the service, which can take long: one character every
// two seconds, then a dot every five, so that the mail client hears something
// and keeps the connection. With OperaCompat the line goes out at once
// (clients that cannot take a slow status line), from the constructor.
// Otherwise construction starts the writer; Finish (or destruction, on a
// failed download) completes the line and waits for the writer, after which
// the session may send again.
#include <atomic>
#include <cstdint>

#include "core/condition.h"
#include "core/thread.h"
#include "net/session_control.h"
#include "session/line_channel.h"

class StatusLineWriter {
public:
    explicit StatusLineWriter(vxw::LineChannel& channel);
    ~StatusLineWriter();
    StatusLineWriter(const StatusLineWriter&) = delete;
    StatusLineWriter& operator=(const StatusLineWriter&) = delete;

    // The download has ended: the status line is complete, with its CR LF,
    // when this returns.
    void Finish();

private:
    static uint32_t MessageFollowsWorker(void* self);
    void Write();

    vxw::LineChannel& channel;
    vxw::SessionControl* control;  // the session's, taken on its own thread
    std::atomic<int32_t> downloadDone{0};
    vxw::Condition downloadEvent;
    vxw::ThreadHandle thread;
};
