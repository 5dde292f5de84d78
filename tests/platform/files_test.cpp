#include "platform/files.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/error.h"
#include "support/test_support.h"

namespace morva {
namespace {

const std::vector<std::uint8_t> kNew = {'n', 'e', 'w'};

std::string Content(const std::string& path) {
    const auto bytes = test::ReadBytes(path);
    return {bytes.begin(), bytes.end()};
}

mode_t KindAt(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? (info.st_mode & S_IFMT) : 0;
}

int EntryCount(const std::string& folder) {
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++entries;
    return entries;
}

// What call throws, or "" when it does not.
template <class Call>
std::string Refusal(Call&& call) {
    try {
        call();
    } catch (const MorvaError& error) {
        return error.what();
    }
    return "";
}

// Runs body in a child process and gives its exit code, or -1 when it did
// not exit by itself within the time (a hang ends by SIGALRM).
template <class Body>
int InChild(Body&& body) {
    const pid_t child = fork();
    if (child == 0) {
        alarm(10);
        _exit(body());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(PosixFileSystem, SavesNeverWriteThroughALink) {
    test::TempDir dir;
    const std::string victim = dir.File("victim");
    test::WriteTextFile(victim, "precious");
    PosixFileSystem files;

    // A link planted where a temporary file of a guessable name would go.
    const std::string target = dir.File("MORVA.BMP");
    ASSERT_EQ(::symlink(victim.c_str(), (target + ".tmp-" + std::to_string(::getpid())).c_str()), 0);
    files.ReplaceFile(target, kNew);
    EXPECT_EQ(Content(victim), "precious");
    EXPECT_EQ(KindAt(target), S_IFREG);
    EXPECT_EQ(Content(target), "new");

    // A link at the target's own name is refused, before and at the save.
    const std::string link = dir.File("picture.bmp");
    ASSERT_EQ(::symlink(victim.c_str(), link.c_str()), 0);
    EXPECT_NE(Refusal([&] { files.CheckReplaceable(link); }).find("symbolic link"), std::string::npos);
    EXPECT_NE(Refusal([&] { files.ReplaceFile(link, kNew); }).find("picture.bmp"), std::string::npos);
    EXPECT_EQ(KindAt(link), S_IFLNK);
    EXPECT_EQ(Content(victim), "precious");
    EXPECT_EQ(EntryCount(dir.Path()), 4) << "no temporary file may stay behind";
}

TEST(PosixFileSystem, RefusesToReplaceAnythingButARegularFile) {
    test::TempDir dir;
    PosixFileSystem files;
    std::vector<std::pair<std::string, mode_t>> nodes;
    ASSERT_EQ(::mkfifo(dir.File("pipe.bmp").c_str(), 0644), 0);
    nodes.push_back({dir.File("pipe.bmp"), S_IFIFO});
    ASSERT_EQ(::mkdir(dir.File("MORVA.BMP").c_str(), 0755), 0);
    nodes.push_back({dir.File("MORVA.BMP"), S_IFDIR});
    // A device node of our own (as /dev/null is), where we may make one.
    if (::mknod(dir.File("null").c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0)
        nodes.push_back({dir.File("null"), S_IFCHR});
    for (const auto& [path, kind] : nodes) {
        const std::string checked = Refusal([&] { files.CheckReplaceable(path); });
        EXPECT_NE(checked.find(Quoted(path)), std::string::npos) << checked;
        EXPECT_NE(checked.find("only regular files"), std::string::npos) << checked;
        EXPECT_EQ(Refusal([&] { files.ReplaceFile(path, kNew); }), checked);
        EXPECT_EQ(KindAt(path), kind) << path;
    }
    EXPECT_NE(Refusal([&] { files.CheckReplaceable(dir.File("missing/x.bmp")); }).find("does not exist"),
              std::string::npos);
    EXPECT_EQ(EntryCount(dir.Path()), static_cast<int>(nodes.size()));
}

TEST(PosixFileSystem, KeepsThePermissionBitsAndRefusesAFileThisUserMayNotWrite) {
    test::TempDir dir;
    PosixFileSystem files;
    const std::string kept = dir.File("MORVA.BMP");
    test::WriteTextFile(kept, "earlier");
    ASSERT_EQ(::chmod(kept.c_str(), 0640), 0);
    files.ReplaceFile(kept, kNew);
    struct stat info {};
    ASSERT_EQ(::stat(kept.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);

    // The folder lets anyone replace a name in it; the file does not let
    // this user write it. Root may write anything, so root looks through
    // the eyes of an unprivileged user.
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0777), 0);
    const std::string readOnly = dir.File("MORVAHD.BMP");
    test::WriteTextFile(readOnly, "someone else's");
    ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
    const passwd* nobody = ::getpwnam("nobody");
    if (::geteuid() == 0 && !nobody) GTEST_SKIP() << "no unprivileged user to test as";
    const int code = InChild([&] {
        if (::geteuid() == 0 && (::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0)) return 5;
        const std::string refusal = Refusal([&] { files.ReplaceFile(readOnly, kNew); });
        return refusal.find("may not write") != std::string::npos ? 3 : 4;
    });
    if (code == 5) GTEST_SKIP() << "cannot become an unprivileged user here";
    EXPECT_EQ(code, 3);
    EXPECT_EQ(Content(readOnly), "someone else's");
}

TEST(PosixFileSystem, RefusesAPipeAsInputWithoutWaitingForAWriter) {
    test::TempDir dir;
    const std::string pipe = dir.File("MORVA.TXT");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    const int code = InChild([&] {
        PosixFileSystem files;
        const std::string refusal = Refusal([&] { files.ReadFile(pipe, nullptr); });
        return refusal.find(Quoted(pipe) + ": it is a named pipe") != std::string::npos ? 3 : 4;
    });
    EXPECT_EQ(code, 3) << "-1: the read waited for a writer";
}

}  // namespace
}  // namespace morva
