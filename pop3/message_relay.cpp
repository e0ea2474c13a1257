#include "pop3/message_relay.h"

#include <algorithm>

#include "core/log.h"

namespace {

// A large piece is stuffed and sent in slices of this size, so that its
// stuffed copy stays small; a slice without a dot at a line start goes out
// straight from the piece, uncopied (most of a Base64 attachment).
constexpr size_t kSliceSize = 256 * 1024;

}  // namespace

MessageRelay::MessageRelay(vxw::LineChannel& channel, StatusLineWriter& statusLine,
                           const vx::Str& folder, bool top, int64_t topLines)
    : channel(channel),
      statusLine(statusLine),
      header(FolderHeaderLine(folder)),
      top(top),
      cut(topLines),
      logging(vxw::LineChannel::ExtraLogging()) {}

MessageRelay::~MessageRelay() {
    if (bodyLog.Total() > 0) LogPending();
}

void MessageRelay::Begin() {
    if (begun) return;
    begun = true;
    statusLine.Finish();
    channel.Pause();
    // TOP counts its lines with the folder line in front of the text.
    if (top) {
        Put(header.data(), header.size());
    } else {
        Stuff(header.data(), header.size());
    }
}

bool MessageRelay::Put(const char* data, size_t size) {
    Begin();
    if (!wanted) return false;
    if (top) {
        cutText.clear();
        wanted = cut.Feed(data, size, cutText);
        Stuff(cutText.data(), cutText.size());
    } else {
        Stuff(data, size);
    }
    Flush();
    return wanted;
}

void MessageRelay::End() {
    Begin();
    if (top && wanted) {
        cutText.clear();
        cut.Finish(cutText);
        Stuff(cutText.data(), cutText.size());
    }
    // The added CR LF comes even after a text that ended with one.
    block += "\r\n";
    Flush();
    LogPending();
    channel.Reply(".\r\n");
}

void MessageRelay::Stuff(const char* data, size_t size) {
    for (size_t at = 0; at < size; at += kSliceSize) {
        const char* slice = data + at;
        size_t length = std::min(kSliceSize, size - at);
        if (stuffer.PassesUnchanged(slice, length)) {
            Flush();
            Emit(slice, length);
            continue;
        }
        stuffer.Feed(slice, length, block);
        if (block.size() >= kSliceSize) Flush();
    }
}

void MessageRelay::Flush() {
    if (block.empty()) return;
    Emit(block.data(), block.size());
    block.clear();
}

void MessageRelay::Emit(const char* data, size_t size) {
    channel.Send(data, size);
    if (!logging) return;
    std::string_view shown = bodyLog.Add(std::string_view(data, size));
    logged.append(shown.data(), shown.size());
}

// The answer's text as one log line, its line breaks as tabs and without the
// final CR LF as every logged reply; past its first 4 KB a second line gives
// the whole size.
void MessageRelay::LogPending() {
    if (!logging) return;
    channel.LogReply(logged);
    if (bodyLog.Cut()) channel.LogReplyPiece(bodyLog.TailText());
    logged.clear();
    bodyLog.Clear();
}
