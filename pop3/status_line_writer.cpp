#include "pop3/status_line_writer.h"

#include "core/boundary.h"
#include "core/log.h"
#include "core/thread_handlers.h"
#include "settings/config.h"

namespace {

const vx::Str kStatusText = "+OK Message follows";
constexpr uint32_t kCharacterPauseMs = 2000;
constexpr uint32_t kDotPauseMs = 5000;

}  // namespace

// A line that goes out whole at once needs no thread of its own.
StatusLineWriter::StatusLineWriter(vxw::LineChannel& channel)
    : channel(channel),
      control(vxw::SessionControl::Current()),
      settings(Config::Instance().GetValues()) {
    if (Config::Instance().OperaCompat()) {
        channel.Reply(kStatusText + "\r\n");
        return;
    }
    thread = vxw::CreateThread(&StatusLineWriter::MessageFollowsWorker, this);
}

StatusLineWriter::~StatusLineWriter() {
    try {
        Finish();
    } catch (...) {
    }
}

bool StatusLineWriter::Withdraw() {
    if (!thread) return false;
    withdrawn = true;
    Finish();
    return sentNothing;
}

void StatusLineWriter::Finish() {
    if (!thread) return;
    downloadDone.exchange(1);
    downloadEvent.Signal();
    vxw::WaitAndFreeThreadHandle(thread);
}

uint32_t StatusLineWriter::MessageFollowsWorker(void* self) {
    vxw::InstallThreadHandlers();
    auto* writer = static_cast<StatusLineWriter*>(self);
    // The settings the session runs under, not a reload's meanwhile.
    Config::Pin pin(writer->settings);
    // A send that fails because the listener aborted the session is the
    // abort's doing, as for the session itself.
    vx::CatchAtBoundary(
        "PopSession::MessageFollowsWorker", vx::kUnknownError, [writer] { writer->Write(); },
        [writer](const vx::Str& text) {
            if (writer->control == nullptr || !writer->control->Aborted()) Log(text);
        });
    return 0;
}

void StatusLineWriter::Write() {
    vx::Str pending = kStatusText;
    // A signal only cuts the wait short: one more character goes out after
    // it before the flag ends the loop.
    while (downloadDone.load() == 0) {
        if (!pending.empty()) {
            downloadEvent.WaitMs(kCharacterPauseMs);
            if (withdrawn) break;
            channel.ReplyChar(pending[0]);
            pending.erase(0, 1);
        } else {
            downloadEvent.WaitMs(kDotPauseMs);
            channel.ReplyChar('.');
        }
    }
    if (withdrawn && pending == kStatusText) {
        sentNothing = true;
        return;
    }
    channel.Reply(pending + "\r\n");
}
