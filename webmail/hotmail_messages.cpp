// Hotmail: fetching, deleting and sending messages.
#include "core/exception.h"
#include "text/str_util.h"
#include "webmail/hotmail.h"
#include "webmail/request_bodies.h"

namespace {

const char kXmlType[] = "text/xml";
const char kSubmissionType[] = "message/rfc821";

}  // namespace

void Hotmail::GetMessage(const vx::Str& url, MessageSink& sink) {
    vx::Str message = Logged("Hotmail::GetMessage").Run([&] {
        MakeRequest(url, "GET", "", "", {}, true);
        // An error page (a message that is gone, a service still busy after
        // the retry) is no message: handed out, the mail client could delete
        // the real one on its word.
        if (lastStatus < 200 || lastStatus > 299)
            throw vx::Exception("Hotmail::GetMessage::Status - Error getting message - " +
                                vx::StrUtil::IntToStr(lastStatus) + " - " + url);
        // The message goes to the caller as it came: keeping a copy in
        // lastBody as well would hold a large message twice.
        vx::Str message;
        message.swap(lastBody);
        return message;
    });
    sink.Begin();
    if (!message.empty()) sink.Put(message.data(), message.size());
}

void Hotmail::SendMessageToTrash(const vx::Str& url) {
    Logged("Hotmail::SendMessageToTrash").Run([&] {
        vx::Str destination = trashUrl;
        if (destination.empty() || destination.back() != '/') destination += '/';
        destination += GetLastPathSegment(url);
        MakeRequest(url, "MOVE", "", destination, {}, true);
        if (lastStatus != 201)
            throw vx::Exception("Hotmail::SendMessageToTrash::Response - Error moving message - " +
                                vx::StrUtil::IntToStr(lastStatus) + " - " + lastHeaders + lastBody);
    });
}

void Hotmail::SendMail(const vx::Str& sender, const std::vector<vx::Str>& recipients,
                       vxw::BodySource& source) {
    vx::Str whole(static_cast<size_t>(source.Size()), '\0');
    source.Rewind();
    size_t got = 0;
    while (got < whole.size()) {
        size_t read = source.Read(whole.data() + got, whole.size() - got);
        if (read == 0) break;
        got += read;
    }
    whole.resize(got);
    const vx::StrParts text{whole};
    // The envelope goes in front of the text's parts: a large message is
    // posted from where the session gathered it, not from a copy.
    const vx::Str envelope = request_bodies::SubmissionEnvelope(sender, recipients);
    vx::StrParts body{envelope};
    body.insert(body.end(), text.begin(), text.end());
    http.SetHeader("Content-type", kSubmissionType);
    // Later requests of the session go out as XML again, also after a failure.
    struct RestoreType {
        vxw::Http& http;
        ~RestoreType() { http.SetHeader("Content-type", kXmlType); }
    } restore{http};
    MakeRequest(sendUrl, "POST", "", "", body, true);
    if (lastStatus < 200 || lastStatus > 299)
        throw ServiceRefusal("Hotmail::SendMail::Code - Error sending message - " + sender + " - " +
                                 vx::StrUtil::IntToStr(lastStatus) + " - " + lastHeaders + lastBody,
                             lastStatus);
}
