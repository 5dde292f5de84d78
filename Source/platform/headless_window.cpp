#include "platform/headless_window.h"

namespace morva {

HeadlessWindow::HeadlessWindow() : picture_(static_cast<std::size_t>(kPictureWidth) * kPictureHeight, 0) {}

}  // namespace morva
