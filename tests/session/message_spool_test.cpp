#include "session/message_spool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/exception.h"
#include "tests/support/temp_dir.h"

namespace {

using testing_support::TempDir;

constexpr size_t kThreshold = 64 * 1024;

// The n-th line of a long made-up text: lengths vary, so appends and reads
// fall everywhere across the spool's buffers.
std::string Line(size_t n) {
    return std::string(n % 997, static_cast<char>('a' + n % 26)) + "\r\n";
}

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    return names;
}

std::string ReadAll(vxw::MessageSpool& spool, size_t piece) {
    spool.Rewind();
    std::string text;
    std::vector<char> buffer(piece);
    while (size_t got = spool.Read(buffer.data(), piece)) text.append(buffer.data(), got);
    return text;
}

TEST(MessageSpool, ASmallTextStaysInMemoryAndALargeOneReadsBackWhole) {
    TempDir folder;
    for (size_t lines : {10u, 2000u}) {
        SCOPED_TRACE(lines);
        vxw::MessageSpool spool(kThreshold, folder.File(""));
        std::string text;
        for (size_t n = 0; n < lines; ++n) {
            std::string line = Line(n);
            spool.Append(line.data(), line.size());
            text += line;
        }
        EXPECT_EQ(spool.Size(), text.size());
        for (size_t piece : {1u, 7u, 4096u, 1u << 20}) {
            if (piece == 1 && text.size() > kThreshold) continue;  // a read for each byte
            ASSERT_EQ(ReadAll(spool, piece), text) << "read in pieces of " << piece;
        }
        spool.Clear();
        EXPECT_EQ(spool.Size(), 0u);
        EXPECT_EQ(ReadAll(spool, 4096), "");
    }
    EXPECT_TRUE(FilesIn(folder.Path()).empty()) << "no file outlives its spool";
}

// 60 MB in lines, as a large SMTP message arrives: the memory the spool holds
// never passes its threshold, and every byte comes back.
TEST(MessageSpool, SixtyMegabytesInBoundedMemory) {
    TempDir folder;
    vxw::MessageSpool spool(kThreshold, folder.File(""));
    size_t lines = 0;
    uint64_t size = 0;
    size_t mostHeld = 0;
    for (; size < 60000000; ++lines) {
        std::string line = Line(lines);
        spool.Append(line.data(), line.size());
        size += line.size();
        mostHeld = std::max(mostHeld, spool.HeldInMemory());
    }
    EXPECT_LE(mostHeld, kThreshold);
    ASSERT_EQ(spool.Size(), size);
    spool.Rewind();
    std::string expected, got;
    std::vector<char> buffer(100000);
    for (size_t n = 0; n < lines; ++n) {
        expected += Line(n);
        while (got.size() < expected.size()) {
            size_t read = spool.Read(buffer.data(), buffer.size());
            ASSERT_GT(read, 0u) << "ended early at line " << n;
            got.append(buffer.data(), read);
        }
        size_t same = std::min(expected.size(), got.size());
        ASSERT_EQ(got.compare(0, same, expected, 0, same), 0) << "line " << n;
        expected.erase(0, same);
        got.erase(0, same);
    }
    EXPECT_EQ(spool.Read(buffer.data(), buffer.size()), 0u);
}

// What a crash left is removed at the next start; a file another gateway
// still writes is not touched, and neither is anything else in the folder.
TEST(MessageSpool, LeftoversGoAndFilesInUseStay) {
    TempDir folder;
    std::ofstream(folder.File("mirelink-1234-1.spool")) << "left by a crash";
    std::ofstream(folder.File("notes.txt")) << "not ours";
    vxw::MessageSpool inUse(16, folder.File(""));
    const std::string text = "a message larger than the threshold\r\n";
    inUse.Append(text.data(), text.size());
    EXPECT_EQ(vxw::RemoveSpoolLeftovers(folder.File("")), 1);
    EXPECT_EQ(ReadAll(inUse, 5), text);
    std::vector<std::string> left = FilesIn(folder.Path());
    EXPECT_NE(std::find(left.begin(), left.end(), "notes.txt"), left.end());
    EXPECT_EQ(std::find(left.begin(), left.end(), "mirelink-1234-1.spool"), left.end());
}

TEST(MessageSpool, AFolderThatCannotTakeAFileGivesAClearError) {
    TempDir folder;
    vxw::MessageSpool spool(4, folder.File("missing/"));
    try {
        spool.Append("too large", 9);
        ADD_FAILURE() << "no exception";
    } catch (const vx::Exception& e) {
        EXPECT_EQ(e.Message().rfind("vxw::SpoolFile::Open - Error creating a spool file - " +
                                        folder.File("missing/"),
                                    0),
                  0u)
            << e.Message();
    }
}

}  // namespace
