#include "raster/bmp_writer.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/error.h"
#include "platform/files.h"
#include "raster/raster.h"
#include "support/fake_file_system.h"
#include "support/test_support.h"

namespace morva {
namespace {

std::uint32_t U32At(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t U16At(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

TEST(BmpWriter, CountFileHeadersAreByteExact) {
    Raster raster;
    const std::vector<std::uint8_t> small = EncodeCountBmp(raster.HitBuffer(), 1);
    const std::vector<std::uint8_t> large = EncodeCountBmp(raster.HiResBuffer(), 1);
    ASSERT_EQ(small.size(), 308278u);
    ASSERT_EQ(large.size(), 4916278u);
    // clang-format off
    const std::uint8_t smallHeader[] = {0x42, 0x4D, 0x36, 0xB4, 0x04, 0x00, 0, 0, 0, 0, 0x36, 0x04, 0, 0,
                                        0x28, 0,    0,    0,    0x80, 0x02, 0, 0, 0xE0, 0x01, 0, 0, 1, 0,
                                        8,    0,    0,    0,    0,    0,    0x00, 0xB0, 0x04, 0, 0, 0, 0, 0,
                                        0,    0,    0,    0,    0,    1,    0,    0,    0,    1,    0, 0};
    const std::uint8_t largeHeader[] = {0x42, 0x4D, 0x36, 0x04, 0x4B, 0x00, 0, 0, 0, 0, 0x36, 0x04, 0, 0,
                                        0x28, 0,    0,    0,    0x00, 0x0A, 0, 0, 0x80, 0x07, 0, 0, 1, 0,
                                        8,    0,    0,    0,    0,    0,    0x00, 0x00, 0x4B, 0, 0, 0, 0, 0,
                                        0,    0,    0,    0,    0,    1,    0,    0,    0,    1,    0, 0};
    // clang-format on
    static_assert(sizeof smallHeader == 54 && sizeof largeHeader == 54);
    EXPECT_EQ(std::memcmp(small.data(), smallHeader, 54), 0);
    EXPECT_EQ(std::memcmp(large.data(), largeHeader, 54), 0);
    for (int i = 0; i < 256; ++i) {
        const std::uint8_t entry[] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i),
                                      static_cast<std::uint8_t>(i), 0};
        EXPECT_EQ(std::memcmp(small.data() + 54 + 4 * i, entry, 4), 0) << i;
        EXPECT_EQ(std::memcmp(large.data() + 54 + 4 * i, entry, 4), 0) << i;
    }
    EXPECT_EQ(U32At(small, 10), 1078u);
    EXPECT_EQ(U16At(small, 28), 8);
}

TEST(BmpWriter, PixelsAreClippedCountsInFlatOrderBottomRowFirst) {
    Raster raster;
    auto& hits = raster.HitBuffer();
    const std::int32_t exposure = 10;
    hits(0, 0) = exposure - 1;    // 0: the division truncates
    hits(1, 0) = exposure;        // 1
    hits(2, 0) = 255 * exposure;  // 255
    hits(3, 0) = kHitCellMax;     // 255
    hits(639, 479) = 42 * exposure + 3;
    const auto bytes = EncodeCountBmp(hits, exposure);
    EXPECT_EQ(bytes[1078 + 0], 0);
    EXPECT_EQ(bytes[1078 + 1], 1);
    EXPECT_EQ(bytes[1078 + 2], 255);
    EXPECT_EQ(bytes[1078 + 3], 255);
    EXPECT_EQ(bytes[1078 + 479 * 640 + 639], 42);
    EXPECT_EQ(bytes.back(), 42);
}

TEST(BmpWriter, RowsOfAnyWidthArePaddedToFourBytes) {
    // 5 x 3 pixels: rows of 8 bytes, the last 3 of each zero.
    std::vector<std::uint8_t> pixels(15);
    for (int k = 0; k < 15; ++k) pixels[k] = static_cast<std::uint8_t>(k + 1);
    const auto bytes = EncodeBmp8(5, 3, pixels, GreyColourTable());
    ASSERT_EQ(bytes.size(), 1078u + 24u);
    EXPECT_EQ(U32At(bytes, 2), 1102u);  // FileSize
    EXPECT_EQ(U32At(bytes, 18), 5u);    // ImageWidth
    EXPECT_EQ(U32At(bytes, 34), 24u);   // ImageSize
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(bytes[1078 + 8 * y + x], x < 5 ? 5 * y + x + 1 : 0) << x << ", " << y;
    }
    EXPECT_THROW(EncodeBmp8(5, 3, std::vector<std::uint8_t>(14), GreyColourTable()), MorvaError);
}

TEST(BmpWriter, SavesTheLargeFileOnlyWhereAskedAndRefusesWithoutExposure) {
    test::FakeFileSystem files;
    Raster raster;
    SaveBmp(files, "/out", raster, 1);
    ASSERT_EQ(files.writes, std::vector<std::string>{"/out/MORVA.BMP"});
    EXPECT_EQ(files.files["/out/MORVA.BMP"].size(), 308278u);
    SaveHiResBmp(files, "/out", raster, 1);
    EXPECT_EQ(files.files["/out/MORVAHD.BMP"].size(), 4916278u);
    try {
        SaveBmp(files, "/out", raster, 0);
        FAIL() << "an exposure of 0 must not be divided by";
    } catch (const MorvaError& error) {
        EXPECT_NE(std::string(error.what()).find("no scene"), std::string::npos);
    }
}

// An independent reader must see the picture the right way up: the bottom-left
// cell is the first pixel of the last row in top-down order.
TEST(BmpWriter, ReadsBackTheRightWayUpInAnIndependentReader) {
    if (std::system("/usr/bin/python3 -c 'import PIL' 2>/dev/null") != 0)
        GTEST_SKIP() << "python3-pil is not installed";
    test::TempDir dir;
    PosixFileSystem files;
    Raster raster;
    raster.HitBuffer()(0, 0) = 200;
    raster.HitBuffer()(639, 479) = 100;
    raster.HitBuffer()(5, 1) = 50;
    SaveBmp(files, dir.Path(), raster, 1);
    std::string command =
        "/usr/bin/python3 -c \"from PIL import Image; im = Image.open('" + dir.File("MORVA.BMP") +
        "'); print(im.size[0], im.size[1], im.mode, im.getpixel((0, 479)), im.getpixel((639, 0)),"
        " im.getpixel((5, 478)), im.getpixel((1, 1)))\"";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[256] = {};
    ASSERT_NE(fgets(line, sizeof line, pipe), nullptr);
    pclose(pipe);
    EXPECT_EQ(std::string(line), "640 480 L 200 100 50 0\n");
}

TEST(PosixFileSystem, ReplacesWholeFilesAndReportsFailures) {
    test::TempDir dir;
    PosixFileSystem files;
    const std::string path = dir.File("MORVA.BMP");
    files.ReplaceFile(path, std::vector<std::uint8_t>(100, 7));
    files.ReplaceFile(path, std::vector<std::uint8_t>(10, 3));
    EXPECT_EQ(test::ReadBytes(path), std::vector<std::uint8_t>(10, 3));
    try {
        files.ReplaceFile(dir.File("missing/MORVA.BMP"), std::vector<std::uint8_t>(10, 3));
        FAIL() << "a write into a missing folder must fail";
    } catch (const MorvaError& error) {
        EXPECT_NE(std::string(error.what()).find("missing/MORVA.BMP"), std::string::npos);
        EXPECT_NE(std::string(error.what()).find("does not exist"), std::string::npos);
    }
    std::string reason;
    EXPECT_FALSE(files.ReadFile(dir.File("absent.txt"), &reason));
    EXPECT_FALSE(reason.empty());
    // Devices and folders are refused: /dev/zero would never end.
    EXPECT_THROW(files.ReadFile("/dev/zero", &reason), MorvaError);
    EXPECT_THROW(files.ReadFile(dir.Path(), &reason), MorvaError);
    test::WriteTextFile(dir.File("scene.txt"), "h 1\r\n");
    EXPECT_EQ(files.ReadFile(dir.File("scene.txt"), &reason), "h 1\r\n");
}

// A write that fails half-way (here: a file size limit, as a full disk would)
// leaves the earlier file as it was and no temporary file behind.
TEST(PosixFileSystem, FailedWriteKeepsTheEarlierFile) {
    test::TempDir dir;
    const std::string path = dir.File("MORVA.BMP");
    test::WriteTextFile(path, "earlier picture");
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        PosixFileSystem files;
        Raster raster;
        try {
            SaveBmp(files, dir.Path(), raster, 1);
        } catch (const MorvaError& error) {
            _exit(std::strstr(error.what(), "MORVA.BMP") ? 3 : 4);
        }
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3) << "the failed save must be reported with the file's name";
    const auto kept = test::ReadBytes(path);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "earlier picture");
    int entries = 0;
    for (auto& entry : std::filesystem::directory_iterator(dir.Path())) entries += entry.is_regular_file();
    EXPECT_EQ(entries, 1) << "no temporary file may stay behind";
}

// Where permissions apply (not as root), a read-only folder refuses the save.
TEST(PosixFileSystem, ReadOnlyFolderRefusesTheSave) {
    if (geteuid() == 0)
        GTEST_SKIP() << "root ignores folder permissions; the size-limit test covers this path";
    test::TempDir dir;
    test::WriteTextFile(dir.File("MORVA.BMP"), "earlier");
    chmod(dir.Path().c_str(), 0555);
    PosixFileSystem files;
    Raster raster;
    EXPECT_THROW(SaveBmp(files, dir.Path(), raster, 1), MorvaError);
    chmod(dir.Path().c_str(), 0755);
    const auto kept = test::ReadBytes(dir.File("MORVA.BMP"));
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "earlier");
}

}  // namespace
}  // namespace morva
