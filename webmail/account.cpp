// The IMAP operations of a web mail client that does not offer them.
#include "webmail/account.h"

namespace {

[[noreturn]] void NotOffered(const char* operation) {
    throw vx::Exception(vx::Str("WebmailAccount::") + operation +
                        " - Not offered by this web mail client");
}

}  // namespace

void WebmailAccount::ListFolders(std::vector<WebmailFolder>&) {
    NotOffered("ListFolders");
}

void WebmailAccount::ListFolder(const vx::Str&, std::vector<ListedMessage>&) {
    NotOffered("ListFolder");
}

void WebmailAccount::SetReadState(const vx::Str&, bool) {
    NotOffered("SetReadState");
}

vx::Str WebmailAccount::MoveMessage(const vx::Str&, const vx::Str&) {
    NotOffered("MoveMessage");
}

vx::Str WebmailAccount::CopyMessage(const vx::Str&, const vx::Str&) {
    NotOffered("CopyMessage");
}

void WebmailAccount::DeleteMessage(const vx::Str&) {
    NotOffered("DeleteMessage");
}
