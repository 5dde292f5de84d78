#pragma once

#include <vector>

#include "platform/window.h"

namespace morva {

// The window of a batch run: the picture lives in memory where nobody sees
// it, no event ever comes, and the label and errors are left to the
// session's own report on standard error.
class HeadlessWindow final : public Window {
public:
    HeadlessWindow();

    void SetHandler(WindowHandler*) override {}
    PictureMemory Picture() override { return DescribePicture(picture_.data(), 8); }
    void Show() override {}
    void ProcessMessages() override {}
    bool WaitMessages() override { return false; }
    void Repaint() override {}
    bool FrameDue() const override { return false; }
    void SetLabel(const std::string&) override {}
    void ShowError(const std::string&) override {}
    KeyStateWord KeyState(int) override { return 0; }

private:
    std::vector<std::uint8_t> picture_;
};

}  // namespace morva
