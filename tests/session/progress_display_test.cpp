#include "session/progress_display.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace morva {
namespace {

ProgressInputs Step(std::int32_t done, std::int32_t target, std::int32_t elapsedMs) {
    return {done, target, 0, elapsedMs, 12345, false, true};
}

TEST(TerminalProgressLine, FitsEveryWidthAndKeepsTheMostUsefulFields) {
    // Small and huge figures: a long remaining time, a 32-bit target, a
    // negative seed.
    const ProgressInputs inputs[] = {
        Step(128, 16000, 90),
        {2147483520, 2147483647, 0, 2147483647, -2147483647 - 1, true, true},
        Step(16000, 16000, 13000),
    };
    for (const ProgressInputs& in : inputs) {
        for (int columns = 0; columns <= 200; ++columns) {
            const std::string line = TerminalProgressLine(in, columns);
            ASSERT_LE(static_cast<int>(line.size()), std::max(columns - 1, 0)) << columns << ": " << line;
            for (char c : line) ASSERT_TRUE(c >= 32 && c < 127) << columns << ": " << line;
        }
    }
    // Half of 16000 groups in 10 s: 1.6 M points/s, 10 s to go.
    const ProgressInputs half = Step(8000, 16000, 10000);
    EXPECT_EQ(TerminalProgressLine(half, 80),
              "[#####......]   50%  8000/16000 groups  1.6 M points/s  0:10 elapsed  0:10 left");
    EXPECT_EQ(TerminalProgressLine(half, 40), "[##########..........]   50%  0:10 left");
    EXPECT_EQ(TerminalProgressLine(half, 12), " 50%");
    EXPECT_EQ(TerminalProgressLine(Step(16000, 16000, 2000), 4), "100");
}

TEST(ProgressDisplay, ALogGetsAHandfulOfLinesAndAlwaysTheLastStep) {
    // An hour's render with a progress step every 128 groups.
    std::ostringstream log;
    ProgressDisplay display(log, ProgressStyle::Log, nullptr);
    const std::int32_t target = 100000;
    for (std::int32_t done = 128; done <= target; done += 128) display.Update(Step(done, target, done * 36));
    display.Finish();
    display.Finish();
    const std::string text = log.str();
    const auto lines = std::count(text.begin(), text.end(), '\n');
    EXPECT_GE(lines, 9);
    EXPECT_LE(lines, 11);
    EXPECT_EQ(text.substr(text.rfind("morva: ")),
              "morva: 99%, 99968 of 100000 groups, 0.1 M points/s, 59:58 elapsed, 0:01 left, seed 12345\n");

    // A render of a second logs only its last step.
    std::ostringstream shortLog;
    ProgressDisplay quick(shortLog, ProgressStyle::Log, nullptr);
    for (std::int32_t done = 128; done <= 1024; done += 128) quick.Update(Step(done, 1024, done));
    quick.Finish();
    const std::string shortText = shortLog.str();
    EXPECT_EQ(shortText.find("morva: 100%, 1024 of 1024 groups"), 0u) << shortText;
    EXPECT_EQ(std::count(shortText.begin(), shortText.end(), '\n'), 1);
}

TEST(ProgressDisplay, ATerminalLineIsRedrawnInPlaceAtTheWidthOfTheMoment) {
    std::ostringstream out;
    int columns = 80;
    ProgressDisplay display(out, ProgressStyle::Terminal, [&columns] { return columns; });
    display.Update(Step(128, 1024, 10));
    display.Update(Step(256, 1024, 20));  // within a tenth of a second: not drawn
    columns = 30;
    display.Update(Step(384, 1024, 200));
    display.Finish();
    const std::string text = out.str();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 2) << text;
    const std::string last = text.substr(text.rfind('\r') + 1);
    EXPECT_EQ(last, TerminalProgressLine(Step(384, 1024, 200), 30) + "\x1b[K\n");

    // A dumb terminal gets no escape: spaces cover the rest of a longer old
    // line, never into the last column.
    std::ostringstream dumb;
    columns = 80;
    ProgressDisplay plain(dumb, ProgressStyle::DumbTerminal, [&columns] { return columns; });
    plain.Update(Step(128, 1024, 10));
    columns = 30;
    plain.Update(Step(384, 1024, 200));
    columns = 80;
    plain.Update(Step(512, 1024, 400));
    plain.Finish();
    const std::string shorter = TerminalProgressLine(Step(384, 1024, 200), 30);
    EXPECT_EQ(dumb.str(), "\r" + TerminalProgressLine(Step(128, 1024, 10), 80) + "\r" + shorter +
                              std::string(29 - shorter.size(), ' ') + "\r" +
                              TerminalProgressLine(Step(512, 1024, 400), 80) + "\n");

    std::ostringstream quiet;
    ProgressDisplay silent(quiet, ProgressStyle::Quiet, nullptr);
    silent.Update(Step(1024, 1024, 10));
    silent.Finish();
    EXPECT_EQ(quiet.str(), "");
}

}  // namespace
}  // namespace morva
