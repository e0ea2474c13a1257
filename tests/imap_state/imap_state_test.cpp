// The state store: UIDs that last, a damaged file that is never trusted, the
// race between a listing and a message put in meanwhile, bounds, \Recent.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/exception.h"
#include "core/file_util.h"
#include "imap_state/folder_state.h"
#include "imap_state/state_store.h"
#include "tests/support/temp_dir.h"

namespace {

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
    const struct {
        const char* what;
        std::string text;
    } cases[] = {
        {"cut short", good.substr(0, good.size() - 4)},
        {"another folder's", std::string(good).replace(good.find("inbox/"), 6, "junk/")},
        {"UIDs out of order", std::string(good).replace(good.find("m 2"), 3, "m 1")},
        {"a UID past uidnext", std::string(good).replace(good.find("m 2"), 3, "m 3")},
        {"a URL twice", std::string(good).replace(good.find(" b\n"), 3, " a\n")},
        {"flags out of range", std::string(good).replace(good.find("m 1 5"), 5, "m 1 ff")},
        {"garbage after the end", good + "m 3 0 0 1 c\n"},
        {"recent past uidnext", std::string(good).replace(good.find("recent 1"), 8, "recent 9")},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(SaveToFile(path, c.text));
        ImapFolderState state(path, kUrl, kNow);
        EXPECT_GT(state.UidValidity(), 1800000000u) << c.what;
        EXPECT_EQ(Uids(state.Sync({"a", "b"}, state.Generation(), kNow)), (U{1, 2})) << c.what;
    }
    ASSERT_TRUE(SaveToFile(path, good));
    ImapFolderState state(path, kUrl, kNow);
    EXPECT_EQ(state.UidValidity(), 1800000000u);
}

TEST(ImapFolderState, AMessagePutInWhileAListingWasUnderWayIsNotForgotten) {
    TempDir dir;
    ImapFolderState state(dir.File("s"), kUrl, kNow);
    state.Sync({"a"}, state.Generation(), kNow);
    uint64_t listingStarted = state.Generation();
    uint32_t moved = state.Add("m", ImapFlag::kFlagged, {"$Later"}, kNow);
    EXPECT_EQ(moved, 2u);
    // The listing from before the move does not show it yet, and leaves it.
    uint8_t flags = 0;
    uint64_t keywords = 0;
    EXPECT_EQ(Uids(state.Sync({"a"}, listingStarted, kNow)), (U{1}));
    EXPECT_TRUE(state.Flags(moved, flags, keywords));
    EXPECT_EQ(Uids(state.Sync({"a"}, state.Generation(), kNow)), (U{1}));
    EXPECT_FALSE(state.Flags(moved, flags, keywords));
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
