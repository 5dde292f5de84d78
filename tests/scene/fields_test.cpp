#include "scene/fields.h"

#include <gtest/gtest.h>

#include "scene/text_file.h"
#include "support/fake_file_system.h"
#include "support/test_support.h"

namespace morva {
namespace {

using Lines = std::vector<std::string_view>;

TEST(GetField, CountsFromOneAndGivesEmptyOutsideTheFields) {
    EXPECT_EQ(GetField("1 2 3", 1, " "), "1");
    EXPECT_EQ(GetField("1 2 3", 3, " "), "3");
    EXPECT_EQ(GetField("1 2 3", 4, " "), "");
    EXPECT_EQ(GetField("1 2 3", 0, " "), "");
    EXPECT_EQ(GetField("1 2 3", -1, " "), "");
    EXPECT_EQ(GetField("", 1, " "), "");
}

TEST(GetField, EmptyFieldsAtAdjacentLeadingAndTrailingDelimiters) {
    EXPECT_EQ(GetField("1  2", 2, " "), "");
    EXPECT_EQ(GetField("1  2", 3, " "), "2");
    EXPECT_EQ(GetField(" 1", 1, " "), "");
    EXPECT_EQ(GetField(" 1", 2, " "), "1");
    // A trailing delimiter closes an empty last field that still counts.
    EXPECT_EQ(GetField("1 2 ", 3, " "), "");
    EXPECT_EQ(GetField("1 2 ", 4, " "), "");
    EXPECT_EQ(GetField("1 2 x", 3, " "), "x");
    EXPECT_EQ(GetField(" ", 1, " "), "");
    EXPECT_EQ(GetField(" ", 2, " "), "");
}

TEST(GetField, UsesOnlyTheFirstDelimiterCharacter) {
    EXPECT_EQ(GetField("a,b;c,d", 2, ",;"), "b;c");
    EXPECT_EQ(GetField("aXbxc", 2, "x"), "c");  // case-sensitive
    EXPECT_EQ(GetField("a b", 1, ""), "a b");
    EXPECT_EQ(GetField("a b", 2, ""), "");
}

TEST(CutRight, DropsCharactersFromTheEnd) {
    EXPECT_EQ(CutRight("h 1\r", 1), "h 1");
    EXPECT_EQ(CutRight("abc", 0), "abc");
    EXPECT_EQ(CutRight("abc", 3), "");
    EXPECT_EQ(CutRight("abc", 4), "");
    EXPECT_EQ(CutRight("abc", -2), "abc");
}

TEST(CutLines, CutsAtEveryLineFeed) {
    EXPECT_EQ(CutLines(""), Lines{});
    EXPECT_EQ(CutLines("one"), Lines{"one"});
    EXPECT_EQ(CutLines("a\nb\n"), (Lines{"a", "b", ""}));
    EXPECT_EQ(CutLines("a\r\n\nb"), (Lines{"a\r", "", "b"}));
    EXPECT_EQ(CutLines("\n"), (Lines{"", ""}));
}

TEST(UsableLine, CountsTheCarriageReturnBeforeRemovingOne) {
    EXPECT_EQ(UsableLine(""), std::nullopt);
    EXPECT_EQ(UsableLine("D"), std::nullopt);
    EXPECT_EQ(UsableLine("\r"), std::nullopt);
    EXPECT_EQ(UsableLine("D\r"), std::optional<std::string_view>("D"));
    EXPECT_EQ(UsableLine("D "), std::optional<std::string_view>("D "));
    EXPECT_EQ(UsableLine("a\r\r"), std::optional<std::string_view>("a\r"));
}

TEST(SplitFields, SingleSpacesOnlyAndTabsAreOrdinary) {
    EXPECT_EQ(SplitFields("a 1  2\t3 "), (Lines{"a", "1", "", "2\t3", ""}));
    EXPECT_EQ(SplitFields("h"), Lines{"h"});
}

TEST(TextFileService, ReadsWholeFilesEmptyOnFailureAndRefusesAFolder) {
    test::TempDir dir;
    test::WriteTextFile(dir.File("two.txt"), "one\r\ntwo\r\n");
    test::WriteTextFile(dir.File("empty.txt"), "");
    PosixFileSystem files;
    const TextFileService service = InitFSO(files);
    EXPECT_EQ(service.fsoReadFile(dir.File("two.txt")), "one\r\ntwo\r\n");
    EXPECT_EQ(service.fsoReadFile(dir.File("empty.txt")), "");
    EXPECT_EQ(service.fsoReadFile(dir.File("missing.txt")), "");
    EXPECT_THROW(service.fsoReadFile(dir.Path()), MorvaError);
}

TEST(TextFileService, RecordReplacesTheWholeFileWithExactBytes) {
    test::TempDir dir;
    const std::string path = dir.File("out.txt");
    test::WriteTextFile(path, "a much longer earlier content\n");
    PosixFileSystem files;
    EXPECT_TRUE(InitFSO(files).fsoRecordFile(path, "new"));
    const std::vector<std::uint8_t> bytes = test::ReadBytes(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "new");
}

TEST(TextFileService, FailedRecordIsReportedAndKeepsTheOldFile) {
    test::FakeFileSystem files;
    files.files["out.txt"] = "old";
    files.failWrites = true;
    std::string error;
    EXPECT_FALSE(InitFSO(files).fsoRecordFile("out.txt", "new", &error));
    EXPECT_NE(error.find("No space left"), std::string::npos);
    EXPECT_EQ(files.files["out.txt"], "old");
}

}  // namespace
}  // namespace morva
