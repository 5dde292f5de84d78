#pragma once

#include <array>
#include <iosfwd>
#include <string>

#include "platform/window.h"

namespace morva {

class FrmMorva;

// The session's side of its window: the window's events reach the session's
// own operations (a key press Form_KeyDown, the close button Form_Unload),
// and the session reads the keyboard and reports faults through it.
class SessionWindow final : public WindowHandler {
public:
    SessionWindow(Window& window, FrmMorva& session, std::ostream& log);
    ~SessionWindow() override;
    SessionWindow(const SessionWindow&) = delete;
    SessionWindow& operator=(const SessionWindow&) = delete;

    // The keyboard poll: the state of every virtual key, 0 to 255 in
    // order, into KeyStates; then whether Escape is held down.
    bool PollEscape();
    // The one way the session reports a fault to the user: stderr and the
    // window's message box.
    void ReportError(const std::string& message);

    void OnKeyDown(int keyCode, int shift) override;
    void OnClose() override;

private:
    Window& window_;
    FrmMorva& session_;
    std::ostream& log_;
    std::array<KeyStateWord, 256> KeyStates_{};  // every key, as read at the latest poll
};

}  // namespace morva
