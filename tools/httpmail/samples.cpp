#include "tools/httpmail/samples.h"

#include <string>

#include "tools/httpmail/iso_time.h"
#include "tools/httpmail/text_util.h"

namespace httpmail {

namespace {
const char kWelcome[] = R"(From: Hotmail Staff <staff@hotmail.com>
To: alice@hotmail.com
Subject: Welcome to your mailbox
Date: Mon, 3 Mar 2003 09:00:00 +0000
Message-ID: <welcome.1@hotmail.com>
Content-Type: text/plain; charset=us-ascii

Hello Alice,

this mailbox is served by the local HTTPMail service.
)";

const char kDots[] = R"(From: Bob <bob@msn.com>
To: alice@hotmail.com
Subject: Lines that begin with a dot
Date: Mon, 3 Mar 2003 10:15:00 +0000
Message-ID: <dots.2@msn.com>

The next line is a lone dot:
.
and this one has two:
..
.a line that starts with a dot
. a dot and a blank
end of message
)";

// Ends without a line break.
const char kNoFinalLineEnd[] = R"(From: Carol <carol@example.org>
To: alice@hotmail.com
Subject: No line break at the end
Date: Tue, 4 Mar 2003 08:30:00 +0000
Message-ID: <nolf.3@example.org>

This message stops right here)";

// Ends right after its header section: no empty line, no body.
const char kHeadersOnly[] = R"(From: Dave <dave@example.org>
To: alice@hotmail.com
Subject: Headers only
Date: Tue, 4 Mar 2003 12:00:00 +0000
Message-ID: <headers.4@example.org>
)";

const char kUtf8[] = R"(From: =?UTF-8?Q?J=C3=BCrg_M=C3=BCller?= <juerg@example.ch>
To: alice@hotmail.com
Subject: =?UTF-8?Q?Gr=C3=BC=C3=9Fe_aus_Z=C3=BCrich?=
Date: Wed, 5 Mar 2003 16:45:00 +0100
Message-ID: <utf8.5@example.ch>
MIME-Version: 1.0
Content-Type: text/plain; charset=UTF-8
Content-Transfer-Encoding: 8bit

Grüße aus Zürich, und bis bald!
)";

const char kSpam[] = R"(From: Winner Desk <prize@lottery.example>
To: alice@hotmail.com
Subject: You have won!
Date: Thu, 6 Mar 2003 03:33:00 +0000
Message-ID: <spam.6@lottery.example>

Send us your bank details.
)";

const char kSent[] = R"(From: alice@hotmail.com
To: bob@msn.com
Subject: Re: Lines that begin with a dot
Date: Thu, 6 Mar 2003 11:00:00 +0000
Message-ID: <sent.7@hotmail.com>

Got them all, thanks.
)";

const char kDeleted[] = R"(From: Newsletter <news@example.com>
To: alice@hotmail.com
Subject: Last week's news
Date: Fri, 28 Feb 2003 07:00:00 +0000
Message-ID: <deleted.8@example.com>

Old news.
)";

const char kPromo[] = R"(From: MSN <promo@msn.com>
To: alice@hotmail.com
Subject: New from MSN
Date: Fri, 7 Mar 2003 06:00:00 +0000
Message-ID: <promo.9@msn.com>

Offers of the week.
)";

const char kWork1[] = R"(From: Erin <erin@work.example>
To: alice@hotmail.com
Subject: Meeting on Monday
Date: Fri, 7 Mar 2003 14:00:00 +0000
Message-ID: <work.10@work.example>

Room 4, at ten.
)";

const char kWork2[] = R"(From: Erin <erin@work.example>
To: alice@hotmail.com
Subject: Minutes
Date: Mon, 10 Mar 2003 12:00:00 +0000
Message-ID: <work.11@work.example>

Attached are the minutes.
)";

const char kRecus[] = R"(From: =?ISO-8859-1?Q?Fran=E7ois?= <francois@example.fr>
To: alice@hotmail.com
Subject: =?ISO-8859-1?Q?Re=E7u?=
Date: Mon, 10 Mar 2003 18:00:00 +0100
Message-ID: <recus.12@example.fr>

Bien recu.
)";

const char kBob1[] = R"(From: Alice <alice@hotmail.com>
To: bob@msn.com
Subject: Hello Bob
Date: Mon, 3 Mar 2003 09:30:00 +0000
Message-ID: <bob.13@hotmail.com>

Can you build it?
)";

const char kBob2[] = R"(From: Wendy <wendy@example.org>
To: bob@msn.com
Subject: Tools
Date: Tue, 4 Mar 2003 09:30:00 +0000
Message-ID: <bob.14@example.org>

Yes we can.
)";

const char kBobSpam[] = R"(From: Pills <pills@spam.example>
To: bob@msn.com
Subject: Cheap pills
Date: Tue, 4 Mar 2003 02:00:00 +0000
Message-ID: <bob.15@spam.example>

Buy now.
)";

// Each sample arrives a minute after its Date, so that every one has a time of its own.
void Add(Folder& folder, const char* text, int64_t received) {
    folder.messages.push_back(
        {"", std::make_shared<const std::string>(ToCrLf(text)), {}, false, received});
}

int64_t March2003(unsigned day, int hour, int minute) {
    return UtcSeconds(2003, 3, day, hour, minute, 0);
}

Folder& Special(Account& account, const char* special) {
    for (Folder& folder : account.folders)
        if (folder.special == special) return folder;
    return account.folders.front();
}

// A message of about `size` bytes: a header and lines of Base64-looking text
// that differ from message to message.
std::string Generated(size_t number, size_t size, const std::string& to) {
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text = "From: Generator <generator@example.com>\r\nTo: " + to +
                       "\r\nSubject: Generated message " + std::to_string(number) +
                       "\r\nDate: Sat, 8 Mar 2003 00:00:00 +0000\r\nMessage-ID: <gen." +
                       std::to_string(number) + "@example.com>\r\n\r\n";
    unsigned state = unsigned(number) * 2654435761u + 1;
    while (text.size() + 78 <= size) {
        for (int i = 0; i < 76; ++i) {
            state = state * 1103515245u + 12345u;
            text += alphabet[(state >> 16) & 63];
        }
        text += "\r\n";
    }
    return text + "-- \r\n";
}
}  // namespace

void AddGeneratedMessages(Account& account, size_t count, size_t size, int64_t received) {
    Folder& inbox = Special(account, "inbox");
    for (size_t i = 1; i <= count; ++i)
        inbox.messages.push_back(
            {"",
             std::make_shared<const std::string>(Generated(i, size, account.name)),
             {},
             false,
             received});
}

std::vector<Account> BuiltInSamples() {
    Account alice = MakeAccount("alice", "wonderland", kDigest);
    Folder& inbox = Special(alice, "inbox");
    Add(inbox, kWelcome, March2003(3, 9, 1));
    Add(inbox, kDots, March2003(3, 10, 16));
    Add(inbox, kNoFinalLineEnd, March2003(4, 8, 31));
    Add(inbox, kHeadersOnly, March2003(4, 12, 1));
    Add(inbox, kUtf8, March2003(5, 15, 46));
    // A larger one, for transfers that take more than one read.
    inbox.messages.push_back(
        {"",
         std::make_shared<const std::string>(Generated(0, 300000, "alice@hotmail.com")),
         {},
         false,
         March2003(8, 0, 1)});
    Add(Special(alice, "bulkmail"), kSpam, March2003(6, 3, 34));
    Add(Special(alice, "sentitems"), kSent, March2003(6, 11, 1));
    Add(Special(alice, "deleteditems"), kDeleted, UtcSeconds(2003, 2, 28, 7, 1, 0));
    Add(Special(alice, "msnpromo"), kPromo, March2003(7, 6, 1));
    Folder& work = AddUserFolder(alice, "Work");
    Add(work, kWork1, March2003(7, 14, 1));
    Add(work, kWork2, March2003(10, 12, 1));
    Add(AddUserFolder(alice, "Re\xC3\xA7us"), kRecus, March2003(10, 17, 1));

    Account bob = MakeAccount("bob@msn.com", "builder", kBasic);
    Add(Special(bob, "inbox"), kBob1, March2003(3, 9, 31));
    Add(Special(bob, "inbox"), kBob2, March2003(4, 9, 31));
    Add(Special(bob, "bulkmail"), kBobSpam, March2003(4, 2, 1));
    return {alice, bob};
}

}  // namespace httpmail
