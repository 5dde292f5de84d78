#include "session/scene_check.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <sstream>

#include "platform/error.h"
#include "platform/files.h"
#include "scene/palette.h"
#include "session/frm_morva.h"
#include "support/test_support.h"

namespace morva {
namespace {

namespace fs = std::filesystem;

const char kHeader[] = "h 45 45 320 15 1 10 100 2\r\n";
const char kMaps[] = "a 1 0.5 0 0 0.5 0 0\r\na 1 0.5 0 0 0.5 0.5 0\r\n";
const char kSeed[] = "_setseed 1\r\n";

// A clean two-map scene with one line changed or added.
std::string Scene(const std::string& header, const std::string& maps = kMaps,
                  const std::string& rest = kSeed) {
    return header + maps + rest;
}

std::vector<CheckFinding> Check(const std::string& text, const NumberFormat& format = {}) {
    return CheckSceneText(text, format, "MORVA.TXT");
}

// The one warning at line/field whose text holds both parts, or a failure
// listing what was found.
::testing::AssertionResult Warns(const std::vector<CheckFinding>& found, std::size_t line, std::size_t field,
                                 const std::string& what, const std::string& fix = "") {
    std::string all;
    for (const CheckFinding& f : found) {
        if (f.level == CheckLevel::Warning && f.line == line && f.field == field &&
            f.what.find(what) != std::string::npos && f.fix.find(fix) != std::string::npos)
            return ::testing::AssertionSuccess();
        all += FormatFinding(f);
    }
    return ::testing::AssertionFailure() << "no warning at line " << line << ", field " << field << " with \""
                                         << what << "\" / \"" << fix << "\"; found:\n"
                                         << all;
}

TEST(SceneCheck, RealFieldsReadOnlyInPartOrAsZero) {
    const auto found = Check(Scene(kHeader,
                                   "a 1 0,5 0 0 -O.5 0.5x 0\r\n"
                                   "a 1 0.5\t0 0 0.5 x1 1e-1 -.25\r\n"));
    EXPECT_TRUE(Warns(found, 2, 2, "only \"0\" of \"0,5\" is read: it reads as 0", "write \"0.5\""));
    EXPECT_TRUE(Warns(found, 2, 5, "\"-O.5\" does not begin with a number: it reads as 0", "write \"-0.5\""));
    EXPECT_TRUE(Warns(found, 2, 6, "reads as 0.5", "the number alone"));
    EXPECT_TRUE(Warns(found, 3, 2, "a tab is no field separator", "single spaces"));
    EXPECT_TRUE(Warns(found, 3, 5, "reads as 0"));
    // Exponents, a leading point and all the remaining fields are whole.
    EXPECT_EQ(found.size(), 5u);
    EXPECT_EQ(CheckExitCode(found), 1);
    EXPECT_TRUE(Check(Scene(kHeader, "a 1 &H1F 2D-1 +3 1e0 0 0\r\na 1 0 0 0 0 0 0\r\n")).empty());
}

TEST(SceneCheck, EmptyFieldsFromDoubleSpaces) {
    auto found = Check(Scene(kHeader, "a 1  0.5 0 0 0.5 0\r\na 1 0.5 0 0 0.5 0.5 0\r\n"));
    EXPECT_TRUE(Warns(found, 2, 2, "empty", "single spaces"));
    EXPECT_TRUE(Warns(found, 2, 2, "every later value is read one field further on"));
    // In a whole-number field the render refuses it, and the warning says why.
    found = Check(Scene("h 45  45 320 15 1 10 100 2\r\n"));
    EXPECT_TRUE(Warns(found, 1, 2, "refuses an empty whole-number field"));
    EXPECT_EQ(CheckExitCode(found), 2);
    EXPECT_NE(FormatFinding(found.front()).find("line 1, field 2: type mismatch"), std::string::npos);
}

TEST(SceneCheck, OneLetterLinesWithoutCarriageReturn) {
    const std::string lf =
        "h 45 45 320 15 1 10 100 2\na 1 0.5 0 0 0.5 0 0\na 1 0.5 0 0 0.5 0.5 0\n_setseed 1\n";
    const auto found = Check(lf + "D\nS\n#\n");
    EXPECT_TRUE(Warns(found, 5, 0, "a lone \"D\" is skipped", "\"D \""));
    EXPECT_TRUE(Warns(found, 5, 0, "high resolution stays off"));
    EXPECT_TRUE(Warns(found, 6, 0, "the fast selection stays on"));
    EXPECT_EQ(found.size(), 2u);
    EXPECT_TRUE(Check(lf + "D \n").empty());
    EXPECT_TRUE(Check(Scene(kHeader, kMaps, "D\r\n_setseed 1\r\n")).empty());
}

TEST(SceneCheck, WordsThatActAsCommands) {
    auto found =
        Check(Scene(kHeader, kMaps, "Speed it up\r\nDone\r\n hello\r\n_setseed12\r\n_setseed 1\r\n"));
    EXPECT_TRUE(Warns(found, 4, 0, "begins with \"S\", so it is read as an \"S\" line", "\"#\""));
    EXPECT_TRUE(Warns(found, 5, 0, "high resolution on"));
    EXPECT_TRUE(Warns(found, 6, 0, "begins with a blank, so it is a comment", "remove the blank"));
    EXPECT_TRUE(Warns(found, 7, 0, "not the keyword \"_setseed\"", "put a space"));
    // A prose line read as a header is refused; the warning says what it
    // was taken for.
    found = Check(Scene(kHeader, kMaps, "hello world\r\n"));
    EXPECT_TRUE(Warns(found, 4, 0, "read as a header line"));
    EXPECT_EQ(CheckExitCode(found), 2);
    // A keyword run together with its first value.
    found = Check(Scene("h45 45 320 15 1 10 100 2 2\r\n"));
    EXPECT_TRUE(
        Warns(found, 1, 0, "the rest of \"h45\" is not looked at", "put a space after the keyword \"h\""));
    EXPECT_TRUE(Check(Scene(kHeader, kMaps, "# speed\r\nH, d and A lines are comments too\r\n_setseed 1\r\n"))
                    .empty());
}

TEST(SceneCheck, WholeNumberFieldsThatAreFractionsOrDependOnTheLocale) {
    const NumberFormat german{",", "."};
    auto found = Check(Scene("h 45.5 45 320 15 1 10 2.5 2\r\n"));
    EXPECT_TRUE(Warns(found, 1, 1, "\"45.5\" is not a whole number: it is rounded to 46", "\"46\""));
    EXPECT_TRUE(Warns(found, 1, 7, "rounded to 2"));
    EXPECT_EQ(found.size(), 2u);
    found = Check(Scene("h 42.5 45 320 15 1 10 100 2\r\n", kMaps, "_setseed 1,5\r\n"), german);
    EXPECT_TRUE(
        Warns(found, 1, 1, "reads as 425 in your locale (decimal point \",\", grouping \".\") but as 42 in"));
    EXPECT_TRUE(Warns(found, 4, 1, "reads as 2 in your locale"));
    EXPECT_TRUE(Warns(found, 4, 1, "but as not a number in the C locale"));
    EXPECT_TRUE(Check(Scene(kHeader), german).empty());

    // Palette entries are whole numbers too.
    std::string palette = "JASC-PAL\r\n0100\r\n256\r\n";
    palette += "127.5 0 0\r\n1  2 3\r\n";
    found = CheckPaletteText(palette, NumberFormat{}, "MORVA.pal");
    EXPECT_TRUE(Warns(found, 4, 1, "rounded to 128"));
    EXPECT_TRUE(Warns(found, 5, 2, "empty"));
    EXPECT_EQ(CheckExitCode(found), 2);
}

TEST(SceneCheck, TransformCountWeightsAndReproducibility) {
    auto found = Check(Scene("h 45 45 320 15 1 10 100 3\r\n"));
    EXPECT_TRUE(Warns(found, 1, 8, "slots 2 to 2 are empty maps of weight 0", "write 2 in field 8"));
    found = Check(Scene("h 45 45 320 15 1 10 100 1\r\n"));
    EXPECT_TRUE(Warns(found, 1, 8, "the lines from line 3 on never are", "write 2 in field 8"));

    found = Check(Scene(kHeader, "a 0.0005 0.5 0 0 0.5 0 0\r\na 1 0.5 0 0 0.5 0.5 0\r\n"));
    EXPECT_TRUE(Warns(found, 2, 1, "the selection band 0", "at least 0.0007"));
    found = Check(Scene("h 45 45 320 15 1 10 100 3\r\n",
                        "a 0.01 1 0 0 1 0 0\r\na 0.01 1 0 0 1 0 0\r\na 0.98 0 0 0 0 0 0\r\n"));
    EXPECT_TRUE(Warns(found, 2, 1,
                      "the weights on lines 2 to 4 (field 1), each rounded on its own, cover 726 "
                      "of the 727 draws: 1 draw chooses no map",
                      "the whole numbers 7, 7 and 712"));
    EXPECT_EQ(found.size(), 1u);
    // The weights it suggests leave no draw idle; thirds become 1, 1 and 1.
    EXPECT_TRUE(Check(Scene("h 45 45 320 15 1 10 100 3\r\n",
                            "a 7 1 0 0 1 0 0\r\na 7 1 0 0 1 0 0\r\na 712 0 0 0 0 0 0\r\n"))
                    .empty());
    found = Check(Scene("h 45 45 320 15 1 10 100 3\r\n",
                        "a .333333 1 0 0 1 0 0\r\n# between\r\na .333333 1 0 0 1 0 0\r\n"
                        "a .333333 0 0 0 0 0 0\r\n"));
    EXPECT_TRUE(Warns(found, 2, 1, "the weights on lines 2 and 4 to 5", "the whole numbers 1, 1 and 1"));
    EXPECT_TRUE(Check(Scene(kHeader, "a 0.01 0.5 0 0 0.5 0 0\r\na 0.99 0.5 0 0 0.5 0.5 0\r\n")).empty());

    found = Check(Scene(kHeader, kMaps, "S \r\n"));
    EXPECT_TRUE(Warns(found, 4, 0, "no two renders are alike, even with \"_setseed\""));
    EXPECT_TRUE(Warns(found, 0, 0, "there is no \"_setseed\" line", "\"_setseed 12345\""));
    EXPECT_EQ(found.size(), 2u);
}

// Each shipped scene and palette is clean, and the checker refuses exactly
// what the render refuses: every hostile scene of the fuzz corpus.
TEST(SceneCheck, ShippedFilesAreCleanAndRefusalsAreTheRendersOwn) {
    PosixFileSystem files;
    std::vector<fs::path> folders{fs::path(MORVA_SOURCE_DIR) / "assets"};
    for (const auto& entry : fs::directory_iterator(fs::path(MORVA_SOURCE_DIR) / "scenes"))
        if (entry.is_directory()) folders.push_back(entry.path());
    for (const fs::path& folder : folders) {
        SCOPED_TRACE(folder.string());
        const std::string scene = *files.ReadFile((folder / kSceneFileName).string(), nullptr);
        const std::string palette = *files.ReadFile((folder / kPaletteFileName).string(), nullptr);
        std::string all;
        for (const CheckFinding& f : Check(scene)) all += FormatFinding(f);
        for (const CheckFinding& f : CheckPaletteText(palette, NumberFormat{}, kPaletteFileName))
            all += FormatFinding(f);
        EXPECT_EQ(all, "");
    }

    int refused = 0;
    for (const char* corpus : {"fuzz_scene", "fuzz_render"}) {
        for (const auto& entry :
             fs::directory_iterator(fs::path(MORVA_SOURCE_DIR) / "fuzz/corpus" / corpus)) {
            SCOPED_TRACE(entry.path().string());
            const std::string text = *files.ReadFile(entry.path().string(), nullptr);
            bool renderRefuses = false;
            try {
                ParseScene(text, 0, NumberFormat{});
            } catch (const MorvaError&) {
                renderRefuses = true;
            }
            refused += renderRefuses;
            EXPECT_EQ(CheckExitCode(Check(text)) == 2, renderRefuses);
        }
    }
    EXPECT_GT(refused, 5);
}

// --check reads both files as the render does: what the render will not
// read at all is a refusal (exit code 2) with the render's own message,
// never an abort or "no warnings".
TEST(RunCheck, FilesTheRenderWillNotReadAreRefusals) {
    test::TempDir dir;
    SessionConfig config;
    config.folder = dir.Path();
    const auto check = [&](const std::string& says) {
        std::ostringstream out, err;
        EXPECT_EQ(RunCheck(config, out, err), 2) << err.str();
        EXPECT_NE(err.str().find(says), std::string::npos) << err.str();
        EXPECT_NE(out.str().find("the render refuses these files"), std::string::npos) << out.str();
        return err.str();
    };
    fs::create_directory(dir.File(kSceneFileName));
    check("it is a folder");
    fs::remove(dir.File(kSceneFileName));
    test::WriteTextFile(dir.File(kSceneFileName), Scene(kHeader));
    ASSERT_EQ(mkfifo(dir.File(kPaletteFileName).c_str(), 0600), 0);
    check("named pipe");
    fs::remove(dir.File(kPaletteFileName));

    // A palette over the read limit (a sparse file) is no missing palette.
    test::WriteTextFile(dir.File(kPaletteFileName), "");
    fs::resize_file(dir.File(kPaletteFileName), (std::uintmax_t{512} << 20) + 1);
    const std::string said = check("larger than 512 MiB");
    PosixFileSystem files;
    try {
        LoadPalette(files, dir.Path(), NumberFormat{});
        ADD_FAILURE() << "the render read the palette";
    } catch (const MorvaError& error) {
        EXPECT_NE(said.find(error.what()), std::string::npos) << said << "\nrender: " << error.what();
    }
}

// A scene of many warnings: --check prints the first 100 in line order and
// counts the rest without holding them.
TEST(RunCheck, MemoryFollowsTheFileNotTheWarnings) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer keeps freed memory in quarantine, so the peak says nothing here";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "AddressSanitizer keeps freed memory in quarantine, so the peak says nothing here";
#endif
#endif
    test::TempDir dir;
    std::string text = Scene(kHeader);
    const std::size_t lines = 300000;  // " h": a header line made a comment by its blank
    text.reserve(text.size() + 4 * lines);
    for (std::size_t k = 0; k < lines; ++k) text += " h\r\n";
    test::WriteTextFile(dir.File(kSceneFileName), text);
    text = std::string();
    SessionConfig config;
    config.folder = dir.Path();
    std::ostringstream out, err;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const long before = usage.ru_maxrss;
    EXPECT_EQ(RunCheck(config, out, err), 1);
    getrusage(RUSAGE_SELF, &usage);
    EXPECT_LT(usage.ru_maxrss - before, 24 << 10) << "kB more at the peak";
    const std::string printed = out.str();
    EXPECT_EQ(printed.rfind(dir.File(kSceneFileName) + ", line 5: warning: the line begins with a blank", 0),
              0u);
    EXPECT_NE(printed.find(", line 104: warning"), std::string::npos);
    EXPECT_EQ(printed.find(", line 105: warning"), std::string::npos);
    EXPECT_NE(printed.find("... and " + std::to_string(lines - 100) +
                           " more warnings\nmorva: " + std::to_string(lines) + " warnings\n"),
              std::string::npos);
}

}  // namespace
}  // namespace morva
