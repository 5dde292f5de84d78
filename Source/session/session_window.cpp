#include "session/session_window.h"

#include <ostream>

#include "platform/error.h"
#include "session/frm_morva.h"

namespace morva {

SessionWindow::SessionWindow(Window& window, FrmMorva& session, std::ostream& log)
    : window_(window), session_(session), log_(log) {
    window_.SetHandler(this);
}

SessionWindow::~SessionWindow() { window_.SetHandler(nullptr); }

bool SessionWindow::PollEscape() {
    for (int k = 0; k < 256; ++k) KeyStates_[k] = window_.KeyState(k);
    return IsKeyDown(KeyStates_[kKeyEscape]);
}

void SessionWindow::ReportError(const std::string& message) {
    log_ << ErrorLine(message) << std::flush;
    window_.ShowError(message);
}

void SessionWindow::OnKeyDown(int keyCode, int shift) { session_.Form_KeyDown(keyCode, shift); }

void SessionWindow::OnClose() { session_.Form_Unload(0); }

}  // namespace morva
