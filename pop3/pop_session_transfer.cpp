// RETR and TOP of PopSession: the message transfer to the mail client.
#include <algorithm>
#include <cstdlib>

#include "core/exception.h"
#include "pop3/dot_stuffer.h"
#include "pop3/message_text.h"
#include "pop3/pop_session.h"
#include "pop3/status_line_writer.h"

namespace {

constexpr size_t kSendBlockSize = 256 * 1024;

[[noreturn]] void ThrowNotEnoughArguments() {
    // TOP shares the text of RETR.
    throw vx::Exception(
        "PopSession::ProcessTransRetr::aCommand::size - Not enough argument specified");
}

}  // namespace

PopSession::Next PopSession::ProcessTransRetr(const Command& command) {
    if (command.size() < 2) ThrowNotEnoughArguments();
    if (MessageEntry* entry = ValidMessage(command[1])) SendMessage(*entry, false, 0);
    return Next::Stay;
}

PopSession::Next PopSession::ProcessTransTop(const Command& command) {
    if (command.size() < 3) ThrowNotEnoughArguments();
    if (MessageEntry* entry = ValidMessage(command[1])) {
        SendMessage(*entry, true, std::atoi(command[2].c_str()));
    }
    return Next::Stay;
}

void PopSession::SendMessage(const MessageEntry& entry, bool top, int64_t topLines) {
    channel.Pause();
    vx::Str text = DownloadWithStatusLine(entry);
    vx::Str header = FolderHeaderLine(entry.folder);
    if (top) {
        // The cut counts lines of the text with the header line in front.
        text.insert(0, header);
        header.clear();
        CutToTopLines(text, topLines);
    }
    SendDotStuffed(header, text);
    Reply(".\r\n");
}

vx::Str PopSession::DownloadWithStatusLine(const MessageEntry& entry) {
    // On a failed download the writer still completes its line (destructor)
    // before the exception ends the session.
    StatusLineWriter writer(channel);
    vx::Str text = account->GetMessage(entry.href);
    writer.Finish();
    return text;
}

// One reply, "header + text + CR LF" dot-stuffed, sent in blocks so that a
// large message is not copied whole once more. A block that needs no
// stuffing (most of a Base64 attachment) goes out straight from the text.
void PopSession::SendDotStuffed(const vx::Str& header, const vx::Str& text) {
    channel.Pause();
    if (vxw::LineChannel::ExtraLogging()) {
        vx::Str whole;
        DotStuffer logged;
        logged.Feed(header, whole);
        logged.Feed(text, whole);
        channel.LogReply(whole + "\r\n");
    }
    DotStuffer stuffer;
    vx::Str block;
    block.reserve(kSendBlockSize + kSendBlockSize / 8);
    auto flush = [&] {
        channel.Send(block.data(), block.size());
        block.clear();
    };
    stuffer.Feed(header, block);
    for (size_t at = 0; at < text.size(); at += kSendBlockSize) {
        const char* slice = text.data() + at;
        size_t size = std::min(kSendBlockSize, text.size() - at);
        if (stuffer.PassesUnchanged(slice, size)) {
            if (!block.empty()) flush();
            channel.Send(slice, size);
            continue;
        }
        stuffer.Feed(slice, size, block);
        if (block.size() >= kSendBlockSize) flush();
    }
    block += "\r\n";
    flush();
}
