// Tail writes through an intent file: what a crash can leave, and what recovery makes of it.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "core/platform/files.h"
#include "fakes/crash_cuts.h"
#include "fakes/temp_folder.h"

namespace velmaro::test {
namespace {

namespace fs = std::filesystem;

std::string contentOf(const fs::path& file) {
    std::string text;
    EXPECT_TRUE(readFile(file, text).ok()) << file;
    return text;
}

class FileTailTest : public ::testing::Test {
protected:
    TempFolder folder;
    fs::path file = folder / "drag.txt";
    fs::path intent = folder / "drag.txt.tail";
    // The old text, the new text and the record that turns one into the other: the
    // last line is replaced by two longer ones.
    const std::string before = "DRAGITEM:1,0,2,0,100,0,1,0,0\nLEFTHIT:0,1380\nDRAGITEM:3,0,4,0,200,0,2,0,0\n";
    const std::size_t offset = before.find("DRAGITEM:3");
    const std::string tail = "DRAGITEM:3,0,4,0,200,0,2,0,0\nRIGHTHIT:2,2200\nRIGHTHIT:0,9900\n";
    const std::string after = before.substr(0, offset) + tail;
    const std::string record = fileTailRecord(offset, tail);
};

TEST_F(FileTailTest, WritesOnlyTheTailAndCutsOrGrowsTheFile) {
    folder.write("drag.txt", before);
    const auto inode = fileStamp(file)->inode;
    FileStamp stamp;
    ASSERT_TRUE(writeFileTail(file, intent, offset, tail, stamp).ok());
    EXPECT_EQ(contentOf(file), after);
    EXPECT_EQ(stamp, *fileStamp(file));
    EXPECT_EQ(stamp.inode, inode) << "written in place";
    EXPECT_EQ(fs::file_size(intent), 0u) << "the intent is emptied once applied";
    // A shorter tail cuts the file after it.
    ASSERT_TRUE(writeFileTail(file, intent, offset, "DRAGITEM:3\n", stamp).ok());
    EXPECT_EQ(contentOf(file), before.substr(0, offset) + "DRAGITEM:3\n");
    ASSERT_TRUE(recoverFileTail(file, intent).ok());
    EXPECT_FALSE(fs::exists(intent));
}

// A crash while the intent was being written leaves a prefix of the record, the file not
// touched yet; a crash after leaves the whole record and the file anywhere from untouched
// to done. Every cut is dropped, every whole record applied, never anything in between.
TEST_F(FileTailTest, AnIntentCutAtEveryLengthIsDroppedOrAppliedWhole) {
    for (std::size_t cut = 0; cut <= record.size(); ++cut) {
        folder.write("drag.txt", before);
        folder.write("drag.txt.tail", record.substr(0, cut));
        ASSERT_TRUE(recoverFileTail(file, intent).ok()) << cut;
        EXPECT_EQ(contentOf(file), cut == record.size() ? after : before) << "intent cut at " << cut;
        EXPECT_FALSE(fs::exists(intent)) << cut;
    }
    // The whole record over a file the tail write left at every stage of its pwrite.
    for (std::size_t written = 0; written <= tail.size(); ++written) {
        std::string partial = before.substr(0, offset) + tail.substr(0, written);
        if (partial.size() < before.size()) partial += before.substr(partial.size());
        folder.write("drag.txt", partial);
        folder.write("drag.txt.tail", record);
        ASSERT_TRUE(recoverFileTail(file, intent).ok());
        EXPECT_EQ(contentOf(file), after) << written << " bytes of the tail were written";
    }
}

TEST_F(FileTailTest, RecoveryTwiceAndDamagedOrForeignRecords) {
    // Applied, then the same record found again (its emptying lost): nothing changes.
    folder.write("drag.txt", before);
    folder.write("drag.txt.tail", record);
    ASSERT_TRUE(recoverFileTail(file, intent).ok());
    folder.write("drag.txt.tail", record);
    ASSERT_TRUE(recoverFileTail(file, intent).ok());
    EXPECT_EQ(contentOf(file), after);

    // One changed byte anywhere in the record (a mix of two records after a power cut),
    // a record for a file shorter than its offset, garbage: dropped, the file kept.
    std::vector<std::string> bad = {std::string(40, '\0'), "VELTAIL1", record.substr(0, record.size() - 1) + "x"};
    for (std::size_t i = 0; i < record.size(); i += 7) {
        std::string flipped = record;
        flipped[i] = static_cast<char>(flipped[i] ^ 0x5a);
        bad.push_back(flipped);
    }
    for (const std::string& damaged : bad) {
        folder.write("drag.txt", before);
        folder.write("drag.txt.tail", damaged);
        ASSERT_TRUE(recoverFileTail(file, intent).ok());
        EXPECT_EQ(contentOf(file), before);
        EXPECT_FALSE(fs::exists(intent));
    }
    folder.write("drag.txt", before.substr(0, offset - 1));
    folder.write("drag.txt.tail", record);
    ASSERT_TRUE(recoverFileTail(file, intent).ok());
    EXPECT_EQ(contentOf(file), before.substr(0, offset - 1));
    // No intent file: nothing to do; retiring a missing one is fine.
    EXPECT_TRUE(recoverFileTail(file, intent).ok());
    EXPECT_TRUE(retireFileTail(intent).ok());
}

TEST_F(FileTailTest, FailuresLeaveTheFileAsItWas) {
    // No target file: the intent is written, the tail cannot go anywhere; recovery drops it.
    FileStamp stamp;
    EXPECT_FALSE(writeFileTail(file, intent, 0, tail, stamp).ok());
    EXPECT_FALSE(fs::exists(file));
    ASSERT_TRUE(recoverFileTail(file, intent).ok());
    EXPECT_FALSE(fs::exists(file));
    // The intent cannot be written (its folder is gone): the file is not touched.
    folder.write("drag.txt", before);
    EXPECT_FALSE(writeFileTail(file, folder / "no/such.tail", offset, tail, stamp).ok());
    EXPECT_EQ(contentOf(file), before);
}

// What the restart asks of a file a crash may have cut short: does it hold these bytes
// here. And the moment writeFileTail says the tail is sure: the intent is on disk, the
// file not touched yet.
TEST_F(FileTailTest, HoldsTheBytesAtAndTheMomentTheTailIsSure) {
    ASSERT_TRUE(writeFileAtomic(file, after).ok());
    const std::uint64_t sum = contentChecksum(tail);
    struct Row {
        const char* name;
        fs::path path;
        std::uint64_t at, length, sum;
        bool holds;
    } rows[] = {
        {"the tail where it was written", file, offset, tail.size(), sum, true},
        {"one byte further on", file, offset + 1, tail.size(), sum, false},
        {"past the end of the file", file, offset, tail.size() + 1, sum, false},
        {"another checksum", file, offset, tail.size(), sum + 1, false},
        {"no such file", folder / "none.txt", offset, tail.size(), sum, false},
    };
    for (const Row& r : rows) EXPECT_EQ(fileHoldsAt(r.path, r.at, r.length, r.sum), r.holds) << r.name;

    ASSERT_TRUE(writeFileAtomic(file, before).ok());
    std::string atSure;
    FileStamp stamp;
    ASSERT_TRUE(writeFileTail(file, intent, offset, tail, stamp, [&] { atSure = contentOf(file); }).ok());
    EXPECT_EQ(atSure, before);
    EXPECT_EQ(contentOf(file), after);
}

// A file that otherwise grows by appends (hitlog.txt): the tail goes in with one flush, the
// intent kept as its copy on disk; recovery applies it only where the file lacks it, so the
// lines appended after it stay.
TEST_F(FileTailTest, AGrowingFileKeepsItsIntentAndWhatIsAppendedAfterTheTail) {
    folder.write("drag.txt", before);
    const auto inode = fileStamp(file)->inode;
    FileStamp stamp;
    ASSERT_TRUE(writeGrowingFileTail(file, intent, offset, tail, stamp, false).ok());
    EXPECT_EQ(contentOf(file), after);
    EXPECT_EQ(stamp, *fileStamp(file));
    EXPECT_EQ(stamp.inode, inode);
    EXPECT_EQ(contentOf(intent), record) << "kept until the file is flushed";

    std::string halfWritten = before.substr(0, offset) + tail.substr(0, tail.size() / 2);
    if (halfWritten.size() < before.size()) halfWritten += before.substr(halfWritten.size());
    struct Row {
        const char* name;
        std::string intent, file, recovered;
    } rows[] = {
        {"tail and a later append in place", record, after + "LEFTHIT:0,1\n", after + "LEFTHIT:0,1\n"},
        {"tail not written", record, before, after},
        {"tail half written", record, halfWritten, after},
        {"intent cut", record.substr(0, record.size() - 1), before, before},
        {"file shorter than the offset", record, before.substr(0, offset - 1), before.substr(0, offset - 1)},
    };
    for (const Row& r : rows) {
        folder.write("drag.txt", r.file);
        folder.write("drag.txt.tail", r.intent);
        ASSERT_TRUE(recoverGrowingFileTail(file, intent).ok()) << r.name;
        EXPECT_EQ(contentOf(file), r.recovered) << r.name;
        EXPECT_FALSE(fs::exists(intent)) << r.name;
    }
    EXPECT_TRUE(recoverGrowingFileTail(file, intent).ok()) << "no intent: nothing to do";
    EXPECT_TRUE(flushFile(file).ok());
    EXPECT_FALSE(flushFile(folder / "none.txt").ok());
}

// Two tail writes of a growing file with no flush between: the second overwrites the intent
// that stands for the first. A kill or a power cut at any moment, in the middle of any
// write, leaves what recovery turns into the text of the last write that returned or of
// the one under way, never an older one.
TEST_F(FileTailTest, TailWritesOneAfterAnotherSurviveACutAnywhere) {
    const fs::path run = folder / "run", cut = folder / "cut";
    fs::create_directories(run);
    fs::create_directories(cut);
    const std::string tail2 =
        tail.substr(0, tail.find('\n') + 1) + "LEFTHIT:1,1000\n" + tail.substr(tail.find('\n') + 1);
    const std::string after2 = before.substr(0, offset) + tail2;
    std::vector<CrashCuts::Cut> cuts;
    {
        CrashCuts watch(run);
        ASSERT_TRUE(writeFileAtomic(run / "drag.txt", before).ok());
        FileStamp stamp;
        watch.setMark(1);
        ASSERT_TRUE(writeGrowingFileTail(run / "drag.txt", run / "drag.txt.tail", offset, tail, stamp, false).ok());
        watch.setMark(2);
        ASSERT_TRUE(writeGrowingFileTail(run / "drag.txt", run / "drag.txt.tail", offset, tail2, stamp, true).ok());
        watch.setMark(3);
        watch.cutNow("the end");
        cuts = watch.cuts();
    }
    const std::string none = "(no file)";
    const std::vector<std::set<std::string>> may = {{none, before}, {before, after}, {after, after2}, {after2}};
    for (const CrashCuts::Cut& c : cuts) {
        CrashCuts::lay(cut, c.files);
        ASSERT_TRUE(recoverGrowingFileTail(cut / "drag.txt", cut / "drag.txt.tail").ok()) << c.where;
        const std::string text = fs::exists(cut / "drag.txt") ? contentOf(cut / "drag.txt") : none;
        EXPECT_TRUE(may[std::size_t(c.mark)].count(text)) << c.where << ":\n" << text;
    }
}

} // namespace
} // namespace velmaro::test
