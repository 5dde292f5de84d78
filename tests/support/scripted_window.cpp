#include "support/scripted_window.h"

namespace morva::test {

ScriptedWindow::ScriptedWindow(int bitsPerPixel)
    : bitsPerPixel_(bitsPerPixel),
      picture_(static_cast<std::size_t>(PictureWidthBytes(bitsPerPixel)) * kPictureHeight, 0) {}

PictureMemory ScriptedWindow::Picture() { return DescribePicture(picture_.data(), bitsPerPixel_); }

void ScriptedWindow::Deliver() {
    while (!events_.empty()) {
        Event event = events_.front();
        events_.pop_front();
        if (!handler_) continue;
        if (event.kind == Event::KeyDown) {
            handler_->OnKeyDown(event.keyCode, event.shift);
        } else {
            handler_->OnClose();
        }
    }
}

void ScriptedWindow::ProcessMessages() {
    ++processCount_;
    if (processCount_ < releaseAtCall_) return;
    Deliver();
}

bool ScriptedWindow::WaitMessages() {
    if (events_.empty()) return false;
    Deliver();
    return true;
}

void ScriptedWindow::SetLabel(const std::string& text) {
    label_ = text;
    if (labelListener_) labelListener_(text);
}

KeyStateWord ScriptedWindow::KeyState(int virtualKey) {
    if (virtualKey < 0 || virtualKey > 255) return 0;
    return keysHeld_[virtualKey] ? static_cast<std::int16_t>(-128) : static_cast<std::int16_t>(0);
}

}  // namespace morva::test
