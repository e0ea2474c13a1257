// A folder's state through the changes of the folder itself: a RENAME takes
// its UIDs and flags along, a DELETE takes them away for good, and a folder
// made again never gets an old UIDVALIDITY; subscriptions follow a rename.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/file_util.h"
#include "imap_state/folder_state.h"
#include "imap_state/state_store.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::TempDir;

const char kWork[] = "http://mail.example/alice/folders/Work/";
const char kJob[] = "http://mail.example/alice/folders/Job/";

std::vector<uint32_t> Uids(const std::vector<ImapFolderMessage>& messages) {
    std::vector<uint32_t> uids;
    for (const auto& m : messages) uids.push_back(m.uid);
    return uids;
}

TEST(ImapStateStore, AMovedFolderKeepsItsUidsFlagsAndValidityUnderItsNewUrl) {
    TempDir dir;
    ImapStateStore store(dir.Path() + "/");
    uint32_t validity = 0;
    {
        auto work = store.Folder("alice", kWork);
        validity = work->UidValidity();
        work->Sync({std::string(kWork) + "a.eml", std::string(kWork) + "b.eml"}, work->Generation(),
                   1000);
        work->SetFlags(2, ImapFlag::kFlagged, 0);
        work->Save();
        // A session that holds the state sees the move as well.
        store.MoveFolder("alice", kWork, kJob);
        EXPECT_EQ(Uids(work->Sync({std::string(kJob) + "b.eml", std::string(kJob) + "a.eml"},
                                  work->Generation(), 1000)),
                  (std::vector<uint32_t>{1, 2}));
    }
    auto job = store.Folder("alice", kJob);
    EXPECT_EQ(job->UidValidity(), validity);
    EXPECT_EQ(job->UidNext(), 3u);
    uint8_t flags = 0;
    uint64_t keywords = 0;
    EXPECT_TRUE(job->Flags(2, flags, keywords));
    EXPECT_EQ(flags, ImapFlag::kFlagged);
    // The old URL starts afresh, above every UIDVALIDITY the account had.
    auto again = store.Folder("alice", kWork);
    EXPECT_GT(again->UidValidity(), validity);
    EXPECT_EQ(again->UidNext(), 1u);
}

TEST(ImapStateStore, AForgottenFolderIsGoneAndAFolderMadeAgainGetsANewValidity) {
    TempDir dir;
    ImapStateStore store(dir.Path() + "/");
    auto held = store.Folder("alice", kWork);  // a session that still has it selected
    const uint32_t validity = held->UidValidity();
    held->Sync({std::string(kWork) + "a.eml"}, held->Generation(), 1000);
    held->Save();
    store.ForgetFolder("alice", kWork);
    // What the session still does to it is not written.
    held->SetFlags(1, ImapFlag::kSeen, 0);
    held->Save();
    auto made = store.Folder("alice", kWork);
    EXPECT_NE(made.get(), held.get());
    EXPECT_GT(made->UidValidity(), validity);
    EXPECT_EQ(made->UidNext(), 1u);
    // Also once the program has started again.
    made->Save();
    const uint32_t second = made->UidValidity();
    made.reset();
    held.reset();
    ImapStateStore restarted(dir.Path() + "/");
    restarted.ForgetFolder("alice", kWork);
    EXPECT_GT(restarted.Folder("alice", kWork)->UidValidity(), second);
    // Another account's folders are not affected.
    EXPECT_EQ(restarted.Folder("bob", kWork)->UidNext(), 1u);
}

TEST(ImapStateStore, SubscriptionsFollowARenameWithTheNamesBelow) {
    TempDir dir;
    ImapStateStore store(dir.Path() + "/");
    for (const char* name : {"Work", "Work/Plans", "Workshop", "INBOX", "Job"})
        store.SetSubscribed("alice", name, true);
    store.RenameSubscriptions("alice", "Work", "Job");
    EXPECT_EQ(store.Subscriptions("alice"),
              (std::vector<std::string>{"Job", "Job/Plans", "Workshop", "INBOX"}));
}

}  // namespace
