// The state store: UIDs that last, a damaged file that is never trusted, the
// race between a listing and a message put in meanwhile, bounds, \Recent.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/exception.h"
#include "core/file_util.h"
#include "imap_state/folder_state.h"
#include "imap_state/state_store.h"
#include "tests/support/log_watch.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::LogWatch;
using testing_support::TempDir;

const char kUrl[] = "http://mail.example/alice/inbox/";
const int64_t kNow = 1700000000;

std::vector<uint32_t> Uids(const std::vector<ImapFolderMessage>& messages) {
    std::vector<uint32_t> uids;
    for (const auto& m : messages) uids.push_back(m.uid);
    return uids;
}

using U = std::vector<uint32_t>;

TEST(ImapFolderState, UidsFollowTheListingAndLastAcrossLoads) {
    TempDir dir;
    const std::string path = dir.File("inbox.state");
    uint32_t validity = 0;
    {
        ImapFolderState state(path, kUrl, kNow);
        validity = state.UidValidity();
        EXPECT_EQ(validity, static_cast<uint32_t>(kNow));
        EXPECT_EQ(Uids(state.Sync({"a", "b", "c"}, state.Generation(), kNow)), (U{1, 2, 3}));
        // b left; d and e came, in the listing's order.
        EXPECT_EQ(Uids(state.Sync({"e", "a", "c", "d"}, state.Generation(), kNow)),
                  (U{1, 3, 4, 5}));
        uint64_t mask = state.KeywordBit("$Later", true);
        EXPECT_TRUE(state.SetFlags(4, ImapFlag::kFlagged | ImapFlag::kSeen, mask));
        state.Save();
    }
    ImapFolderState again(path, kUrl, kNow + 100);
    EXPECT_EQ(again.UidValidity(), validity);
    EXPECT_EQ(again.UidNext(), 6u);
    std::vector<ImapFolderMessage> messages =
        again.Sync({"a", "c", "d", "e", "c"}, again.Generation(), kNow);
    ASSERT_EQ(messages.size(), 4u);
    // Each with its place in the listing, the first for a URL listed twice.
    EXPECT_EQ(messages[1].listed, 1u);
    EXPECT_EQ(messages[2].listed, 3u);
    EXPECT_EQ(messages[2].flags, ImapFlag::kFlagged | ImapFlag::kSeen);
    EXPECT_EQ(again.KeywordNames(messages[2].keywords), std::vector<std::string>{"$Later"});
}

TEST(ImapFolderState, ADamagedFileStartsTheFolderAgainUnderAHigherUidValidity) {
    TempDir dir;
    const std::string path = dir.File("inbox.state");
    const std::string good =
        "mirelink-imap-folder 1\nurl http://mail.example/alice/inbox/\nuidvalidity 1800000000\n"
        "uidnext 3\nrecent 1\nk $Later\nm 1 5 1 1700000000 a\nm 2 0 0 1700000000 b\nend\n";
    // What the log line says is wrong with each.
    const struct {
        const char* what;
        std::string text;
    } cases[] = {
        {"cut short", good.substr(0, good.size() - 4)},
        {"the state of another folder",
         std::string(good).replace(good.find("inbox/"), 6, "junk/")},
        {"UIDs repeated or out of order", std::string(good).replace(good.find("m 2"), 3, "m 1")},
        {"a UID at or above UIDNEXT", std::string(good).replace(good.find("m 2"), 3, "m 3")},
        {"a URL listed twice", std::string(good).replace(good.find(" b\n"), 3, " a\n")},
        {"a bad message line", std::string(good).replace(good.find("m 1 5"), 5, "m 1 ff")},
        {"more after its end", good + "m 3 0 0 1 c\n"},
        {"a bad first recent UID",
         std::string(good).replace(good.find("recent 1"), 8, "recent 9")},
        {"an empty file", ""},
        {"not a folder state", "\x7f\x45LF garbage\n"},
    };
    for (const auto& c : cases) {
        LogWatch log;
        ASSERT_TRUE(SaveToFile(path, c.text));
        ImapFolderState state(path, kUrl, kNow, "alice");
        // Above the old one where it is legible, else from the clock.
        if (c.text.find("uidvalidity") != std::string::npos)
            EXPECT_GT(state.UidValidity(), 1800000000u) << c.what;
        else
            EXPECT_EQ(state.UidValidity(), static_cast<uint32_t>(kNow)) << c.what;
        EXPECT_EQ(Uids(state.Sync({"a", "b"}, state.Generation(), kNow)), (U{1, 2})) << c.what;
        EXPECT_NE(log.NewText().find("The saved state of folder " + std::string(kUrl) +
                                     " of alice was damaged (" + c.what + ")"),
                  std::string::npos)
            << c.what;
    }
    // The older form of the file is still read whole.
    ASSERT_TRUE(SaveToFile(path, good));
    ImapFolderState state(path, kUrl, kNow);
    EXPECT_EQ(state.UidValidity(), 1800000000u);
}

// A move announces each message to the target before it goes; should the
// program die before it learns the new URL, the next listing there gives the
// message its flags, keywords and arrival. A move that never happened is
// forgotten after that listing.
TEST(ImapFolderState, MessagesExpectedByAMoveKeepTheirFlagsAcrossACrash) {
    TempDir dir;
    const std::string path = dir.File("trash.state");
    {
        ImapFolderState state(path, kUrl, kNow);
        state.Sync({"http://mail.example/alice/trash/old"}, state.Generation(), kNow);
        state.Expect("http://mail.example/alice/inbox/m7", ImapFlag::kFlagged, {"$Work"}, 1234);
        state.Expect("http://mail.example/alice/inbox/m8", ImapFlag::kAnswered, {}, 5678);
        state.Save();
        // The program dies here, after m7 moved.
    }
    ImapFolderState state(path, kUrl, kNow);
    std::vector<ImapFolderMessage> listed = state.Sync(
        {"http://mail.example/alice/trash/old", "http://mail.example/alice/trash/m7"},
        state.Generation(), kNow);
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[1].flags, ImapFlag::kFlagged);
    EXPECT_EQ(state.KeywordNames(listed[1].keywords), std::vector<std::string>{"$Work"});
    EXPECT_EQ(listed[1].arrived, 1234);
    EXPECT_EQ(listed[0].flags, 0);
    // m8 never moved: a later arrival of that name is a message of its own.
    listed = state.Sync({"http://mail.example/alice/trash/old", "http://mail.example/alice/trash/m7",
                         "http://mail.example/alice/trash/m8"},
                        state.Generation(), kNow);
    EXPECT_EQ(listed[2].flags, 0);
    EXPECT_EQ(listed[2].arrived, 0);
}

TEST(ImapFolderState, TheArrivalOfAMessageIsKept) {
    TempDir dir;
    const std::string path = dir.File("inbox.state");
    {
        ImapFolderState state(path, kUrl, kNow);
        state.Sync({"a", "b"}, state.Generation(), kNow);
        EXPECT_EQ(state.Arrived(1), 0);
        EXPECT_EQ(state.SetArrived(2, 1600000000), 1600000000);
        // Once known it stays: a session that worked out another one late
        // is told the one in effect.
        EXPECT_EQ(state.SetArrived(2, 1700000000), 1600000000);
        EXPECT_EQ(state.SetArrived(9, 1700000000), 0);
        state.Save();
    }
    ImapFolderState state(path, kUrl, kNow);
    EXPECT_EQ(state.Arrived(2), 1600000000);
    EXPECT_EQ(state.Arrived(1), 0);
}

TEST(ImapFolderState, AMessagePutInWhileAListingWasUnderWayIsNotForgotten) {
    TempDir dir;
    ImapFolderState state(dir.File("s"), kUrl, kNow);
    state.Sync({"a"}, state.Generation(), kNow);
    uint64_t listingStarted = state.Generation();
    uint32_t moved = state.Add("m", ImapFlag::kFlagged, {"$Later"}, kNow, 0);
    EXPECT_EQ(moved, 2u);
    // The listing from before the move does not show it yet, and leaves it.
    uint8_t flags = 0;
    uint64_t keywords = 0;
    EXPECT_EQ(Uids(state.Sync({"a"}, listingStarted, kNow)), (U{1}));
    EXPECT_TRUE(state.Flags(moved, flags, keywords));
    EXPECT_EQ(Uids(state.Sync({"a"}, state.Generation(), kNow)), (U{1}));
    EXPECT_FALSE(state.Flags(moved, flags, keywords));
    // Two sessions ask for listings, one before a message comes and one
    // after; the later one is taken first: the earlier one keeps what it
    // added.
    uint64_t early = state.Generation();
    uint64_t late = state.Generation();
    EXPECT_EQ(Uids(state.Sync({"a", "new"}, late, kNow)), (U{1, 3}));
    EXPECT_EQ(Uids(state.Sync({"a"}, early, kNow)), (U{1}));
    EXPECT_EQ(Uids(state.Sync({"a", "new"}, state.Generation(), kNow)), (U{1, 3}));
}

TEST(ImapFolderState, RecentBelongsToTheFirstSessionThatTakesIt) {
    TempDir dir;
    ImapFolderState state(dir.File("s"), kUrl, kNow);
    state.Sync({"a", "b"}, state.Generation(), kNow);
    EXPECT_EQ(state.RecentFrom(false), 1u);
    EXPECT_EQ(state.RecentFrom(true), 1u);
    EXPECT_EQ(state.RecentFrom(true), 3u);
    state.Sync({"a", "b", "c"}, state.Generation(), kNow);
    EXPECT_EQ(state.RecentFrom(true), 3u);
}

TEST(ImapFolderState, KeywordsAreBoundedAndChecked) {
    TempDir dir;
    ImapFolderState state(dir.File("s"), kUrl, kNow);
    for (size_t i = 0; i < ImapFolderState::kMaxKeywords; ++i)
        EXPECT_NE(state.KeywordBit("k" + std::to_string(i), true), 0u);
    EXPECT_EQ(state.KeywordBit("one-too-many", true), 0u);
    EXPECT_EQ(state.KeywordBit("K0", false), 1u);
    ImapFolderState other(dir.File("t"), kUrl, kNow);
    for (const std::string& bad :
         {std::string(), std::string("two words"), std::string("bad\x01"), std::string(101, 'x')})
        EXPECT_EQ(other.KeywordBit(bad, true), 0u) << bad;
}

TEST(ImapStateStore, SessionsShareOneFolderStateAndAccountsAreApart) {
    TempDir dir;
    ImapStateStore store(dir.Path() + "/");
    auto first = store.Folder("Alice", kUrl);
    auto second = store.Folder("alice", kUrl);
    EXPECT_EQ(first.get(), second.get());
    auto bob = store.Folder("bob", kUrl);
    EXPECT_NE(first.get(), bob.get());
    EXPECT_NE(store.AccountFolder("alice"), store.AccountFolder("bob"));
    EXPECT_NE(store.AccountFolder("a/b"), store.AccountFolder("a_b"));

    store.SetSubscribed("alice", "INBOX", true);
    store.SetSubscribed("alice", "Work", true);
    store.SetSubscribed("alice", "INBOX", false);
    ImapStateStore later(dir.Path() + "/");
    EXPECT_EQ(later.Subscriptions("alice"), std::vector<std::string>{"Work"});
    EXPECT_TRUE(later.Subscriptions("bob").empty());
    EXPECT_THROW(later.SetSubscribed("alice", "two\nlines", true), vx::Exception);
}

}  // namespace
