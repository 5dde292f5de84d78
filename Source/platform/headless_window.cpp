#include "platform/headless_window.h"

namespace morva {

HeadlessWindow::HeadlessWindow(int bitsPerPixel)
    : bitsPerPixel_(bitsPerPixel),
      picture_(static_cast<std::size_t>(PictureWidthBytes(bitsPerPixel)) * kPictureHeight, 0) {}

PictureMemory HeadlessWindow::Picture() { return DescribePicture(picture_.data(), bitsPerPixel_); }

void HeadlessWindow::Deliver() {
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

void HeadlessWindow::ProcessMessages() {
    ++processCount_;
    if (processCount_ < releaseAtCall_) return;
    Deliver();
}

bool HeadlessWindow::WaitMessages() {
    if (events_.empty()) return false;
    Deliver();
    return true;
}

void HeadlessWindow::SetLabel(const std::string& text) {
    label_ = text;
    if (labelListener_) labelListener_(text);
}

std::int16_t HeadlessWindow::KeyState(int virtualKey) {
    if (virtualKey < 0 || virtualKey > 255) return 0;
    return keysHeld_[virtualKey] ? static_cast<std::int16_t>(-128) : static_cast<std::int16_t>(0);
}

}  // namespace morva
