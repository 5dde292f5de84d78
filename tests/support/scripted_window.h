#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/window.h"

namespace morva::test {

// A window with no display whose events come from a script: the picture
// lives in memory, and what the session did to the window can be read back.
class ScriptedWindow final : public Window {
public:
    explicit ScriptedWindow(int bitsPerPixel = 8);

    void SetHandler(WindowHandler* handler) override { handler_ = handler; }
    PictureMemory Picture() override;
    void Show() override { ++showCount_; }
    void ProcessMessages() override;
    bool WaitMessages() override;
    void Repaint() override { ++repaintCount_; }
    bool FrameDue() const override { return frameDue_; }
    void SetFrameDue(bool due) { frameDue_ = due; }
    void SetLabel(const std::string& text) override;
    void ShowError(const std::string& message) override { errors_.push_back(message); }
    KeyStateWord KeyState(int virtualKey) override;

    // Script: events are delivered in order, one batch per ProcessMessages
    // call; a call with an empty queue delivers nothing.
    void QueueKeyDown(int keyCode, int shift = 0) { events_.push_back({Event::KeyDown, keyCode, shift}); }
    void QueueClose() { events_.push_back({Event::Close, 0, 0}); }
    // Delivers the queued events only at the n-th ProcessMessages call (from 1).
    void HoldEventsUntilCall(int n) { releaseAtCall_ = n; }
    void SetKeyHeld(int virtualKey, bool held) { keysHeld_[virtualKey & 255] = held; }
    void SetLabelListener(std::function<void(const std::string&)> listener) {
        labelListener_ = std::move(listener);
    }

    const std::vector<std::uint8_t>& PictureBytes() const { return picture_; }
    const std::string& Label() const { return label_; }
    const std::vector<std::string>& Errors() const { return errors_; }
    int RepaintCount() const { return repaintCount_; }
    int ShowCount() const { return showCount_; }
    int ProcessCount() const { return processCount_; }

private:
    struct Event {
        enum Kind { KeyDown, Close } kind;
        int keyCode;
        int shift;
    };
    void Deliver();

    int bitsPerPixel_;
    std::vector<std::uint8_t> picture_;
    WindowHandler* handler_ = nullptr;
    std::deque<Event> events_;
    bool keysHeld_[256] = {};
    std::string label_;
    std::vector<std::string> errors_;
    std::function<void(const std::string&)> labelListener_;
    int repaintCount_ = 0;
    int showCount_ = 0;
    int processCount_ = 0;
    int releaseAtCall_ = 0;
    bool frameDue_ = true;
};

}  // namespace morva::test
