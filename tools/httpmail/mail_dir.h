#pragma once
// Accounts kept as a folder tree of .eml files:
//
//   <root>/<account>/account          "password = ..." and "auth = basic|digest|any"
//   <root>/<account>/inbox/*.eml      also junk/, sent/, deleted/, promo/
//   <root>/<account>/folders/<name>/  user folders; the folder name is the display name
//
// Messages are taken in file name order; line breaks become CR LF. A file's
// modification time is when its message arrived.
#include <string>
#include <vector>

#include "tools/httpmail/mailbox.h"

namespace httpmail {

// With `writeBack`, each message and folder remembers its place on disk so that
// moves can be carried out there too. False with `error` set when nothing usable is found.
bool LoadMailDir(const std::string& root, bool writeBack, std::vector<Account>& accounts,
                 std::string& error);
// Writes accounts in the layout above; the folder must not hold them already.
bool ExportMailDir(const std::vector<Account>& accounts, const std::string& root,
                   std::string& error);

}  // namespace httpmail
