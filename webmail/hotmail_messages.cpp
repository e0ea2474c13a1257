// Hotmail: fetching, deleting and sending messages.
#include "core/exception.h"
#include "text/str_util.h"
#include "webmail/hotmail.h"
#include "webmail/message_stream.h"
#include "webmail/request_bodies.h"

namespace {

const char kXmlType[] = "text/xml";
const char kSubmissionType[] = "message/rfc821";

}  // namespace

void Hotmail::GetMessage(const vx::Str& url, MessageSink& sink) {
    Logged("Hotmail::GetMessage").Run([&] {
        MessageStream stream(sink, url);
        vxw::PartsSource noBody({});
        MakeRequest(url, "GET", "", "", noBody, true, &stream);
        // An error page (a message that is gone, a service still busy after
        // the retry) is no message: handed out, the mail client could delete
        // the real one on its word.
        if (lastStatus < 200 || lastStatus > 299)
            throw ServiceRefusal("Hotmail::GetMessage::Status - Error getting message - " +
                                     vx::StrUtil::IntToStr(lastStatus) + " - " + url,
                                 lastStatus);
        // A markup message was held to rule out a refresh page; keeping it in
        // lastBody as well would hold it twice.
        vx::Str held;
        held.swap(lastBody);
        stream.Finish(held);
    });
}

void Hotmail::SendMessageToTrash(const vx::Str& url) {
    Logged("Hotmail::SendMessageToTrash").Run([&] {
        vx::Str destination = trashUrl;
        if (destination.empty() || destination.back() != '/') destination += '/';
        destination += GetLastPathSegment(url);
        MakeRequest(url, "MOVE", "", destination, {}, true);
        if (lastStatus != 201)
            throw vx::Exception("Hotmail::SendMessageToTrash::Response - Error moving message - " +
                                vx::StrUtil::IntToStr(lastStatus) + " - " +
                                FailureLog::AnswerText(lastHeaders, lastBody));
    });
}

void Hotmail::SendMail(const vx::Str& sender, const std::vector<vx::Str>& recipients,
                       vxw::BodySource& text) {
    // The envelope goes in front of the text as it is read: the message is
    // posted from wherever the session keeps it, never joined into one string.
    vxw::PrefixedSource body(request_bodies::SubmissionEnvelope(sender, recipients), text);
    http.SetHeader("Content-type", kSubmissionType);
    // Later requests of the session go out as XML again, also after a failure.
    struct RestoreType {
        vxw::Http& http;
        ~RestoreType() { http.SetHeader("Content-type", kXmlType); }
    } restore{http};
    MakeRequest(sendUrl, "POST", "", "", body, true);
    if (lastStatus < 200 || lastStatus > 299)
        throw ServiceRefusal("Hotmail::SendMail::Code - Error sending message - " + sender + " - " +
                                 vx::StrUtil::IntToStr(lastStatus) + " - " +
                                 FailureLog::AnswerText(lastHeaders, lastBody),
                             lastStatus);
}
