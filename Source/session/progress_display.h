#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>

#include "session/progress.h"

namespace morva {

// How a batch render shows its progress on standard error.
enum class ProgressStyle {
    Terminal,  // one line, redrawn in place, that fits the terminal's width
    // The same on a terminal that knows no escape sequences (TERM=dumb, an
    // editor's shell buffer): a shorter line is padded with spaces instead
    // of clearing the rest of the old one.
    DumbTerminal,
    Log,    // a line now and then, for a pipe or a file
    Quiet,  // nothing
};

// The progress as one line of a terminal that is `columns` wide: a bar, the
// percentage, the groups, the speed, the elapsed and the remaining time and
// the seed. It is at most columns - 1 characters long (a character in the
// last column makes some terminals wrap), all of them printable ASCII; what
// does not fit is left out, the least useful first.
std::string TerminalProgressLine(const ProgressInputs& in, int columns);

// The progress as one line of a log, without a line end.
std::string LogProgressLine(const ProgressInputs& in);

// Shows the progress steps of a render in one style. On a terminal the line
// is redrawn at most ten times a second; a log gets a line only when five
// seconds have passed and another tenth of the render is done since the
// last one, so even a render of hours writes a handful of lines.
class ProgressDisplay {
public:
    // columns gives the terminal's width now (0 when it does not say).
    ProgressDisplay(std::ostream& out, ProgressStyle style, std::function<int()> columns);

    void Update(const ProgressInputs& in);
    // After the render: shows the last step if it was held back, and ends
    // the terminal's line so that what follows starts on a line of its own.
    // Later calls do nothing.
    void Finish();

private:
    void Show(const ProgressInputs& in);
    bool OnTerminal() const;

    std::ostream& out_;
    ProgressStyle style_;
    std::function<int()> columns_;
    std::optional<ProgressInputs> latest_;
    bool latestShown_ = false;
    bool shownAny_ = false;
    bool finished_ = false;
    std::size_t shownWidth_ = 0;  // of the line on a terminal
    std::int32_t shownAtMs_ = 0;
    int shownTenth_ = 0;
};

}  // namespace morva
