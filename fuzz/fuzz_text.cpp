// Text drawing and measuring with any UTF-8 and any position. The picture
// sits in a larger buffer whose bytes outside the 640 x 480 picture are
// guards that must stay untouched; inside, only the ink colour is written,
// and only within the columns and rows the text can cover. Input: X and Y
// (4 bytes each), a flags byte, then the text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "font/glyph_font.h"
#include "fuzz_check.h"
#include "platform/error.h"
#include "raster/frame_surface.h"

namespace {

using namespace morva;

constexpr int kGuardColumns = 48;
constexpr int kGuardRows = 8;
constexpr int kStride = kPictureWidth + kGuardColumns;
constexpr int kRows = kPictureHeight + kGuardRows;
constexpr std::size_t kGuardBefore = 4096;
constexpr std::uint8_t kGuard = 0xA5;
constexpr std::uint8_t kPaper = 0x11;
constexpr int kGlyphRows = 7;

const GlyphFont& Font() {
    static const GlyphFont font = [] {
        GlyphFont f;
        f.LoadGlyphFont();
        return f;
    }();
    return font;
}

std::int32_t ReadInt32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return static_cast<std::int32_t>(v);
}

// Keeps most positions near the picture, where the clipping is decided.
std::int32_t Position(std::int32_t raw, bool wide) { return wide ? raw : raw % 700 - 30; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 9) return 0;
    const std::uint8_t flags = data[8];
    const std::int32_t X = Position(ReadInt32(data), flags & 4);
    const std::int32_t Y = Position(ReadInt32(data + 4), flags & 8);
    const bool bold = flags & 1, italic = flags & 2;
    const std::uint8_t colour = 0xC3;
    const std::string_view text(reinterpret_cast<const char*>(data) + 9, size - 9);

    static std::vector<std::uint8_t> buffer(kGuardBefore + std::size_t{kStride} * kRows + kGuardBefore);
    std::fill(buffer.begin(), buffer.end(), kGuard);
    std::uint8_t* bits = buffer.data() + kGuardBefore;
    for (int y = 0; y < kPictureHeight; ++y)
        std::memset(bits + std::size_t{kStride} * y, kPaper, kPictureWidth);

    FrameSurface surface;
    FUZZ_CHECK(MapFrameSurface({bits, 8, kStride, kRows}, surface), "cannot map the surface");
    const GlyphFont& font = Font();
    font.DrawTxt(surface, X, Y, text, bold, italic, colour);

    std::int64_t width = -1;
    try {
        width = font.GetTxtWidth(text);
        FUZZ_CHECK(width >= 0, "width %lld", static_cast<long long>(width));
    } catch (const MorvaError&) {
        // Only a width beyond 32 bits is refused, which needs far more text
        // than an input holds.
        FUZZ_CHECK(false, "refused a text of %zu bytes", text.size());
    }
    // Measuring adds up over pieces cut before an ASCII byte (a malformed
    // sequence never swallows the next character).
    for (std::size_t cut = 0; cut < text.size(); ++cut) {
        if (static_cast<unsigned char>(text[cut]) >= 0x80) continue;
        const std::int64_t sum = font.GetTxtWidth(text.substr(0, cut)) + font.GetTxtWidth(text.substr(cut));
        FUZZ_CHECK(sum == width, "cut at %zu: %lld + ... != %lld", cut, static_cast<long long>(sum),
                   static_cast<long long>(width));
        break;
    }

    // Guards before and after the rows, right of each picture row and in
    // the rows above the picture.
    static const std::vector<std::uint8_t> guardBlock(kGuardBefore, kGuard);
    FUZZ_CHECK(std::memcmp(buffer.data(), guardBlock.data(), kGuardBefore) == 0,
               "guard before the picture written");
    FUZZ_CHECK(
        std::memcmp(buffer.data() + buffer.size() - kGuardBefore, guardBlock.data(), kGuardBefore) == 0,
        "guard after the picture written");
    const std::int64_t characters = static_cast<std::int64_t>(text.size());
    const std::int64_t right =
        std::int64_t{X} + width + (bold ? characters : 0) + 1;  // italic leans one column
    const std::int64_t topRow = std::int64_t{kPictureHeight - 1} - Y;
    static const std::vector<std::uint8_t> guardRow(kStride, kGuard), paperRow(kPictureWidth, kPaper);
    for (int y = 0; y < kRows; ++y) {
        const std::uint8_t* row = bits + std::size_t{kStride} * y;
        if (y >= kPictureHeight) {
            FUZZ_CHECK(std::memcmp(row, guardRow.data(), kStride) == 0, "guard row %d written", y);
            continue;
        }
        FUZZ_CHECK(std::memcmp(row + kPictureWidth, guardRow.data(), kGuardColumns) == 0,
                   "guard right of row %d written", y);
        if (std::memcmp(row, paperRow.data(), kPictureWidth) == 0) continue;
        for (int x = 0; x < kPictureWidth; ++x) {
            if (row[x] == kPaper) continue;
            FUZZ_CHECK(row[x] == colour, "(%d, %d) holds %d", x, y, row[x]);
            FUZZ_CHECK(x >= X && x <= right && y <= topRow && y > topRow - kGlyphRows,
                       "ink at (%d, %d) outside the text box from (%d, row %lld)", x, y, X,
                       static_cast<long long>(topRow));
        }
    }
    return 0;
}
