#include "font/glyph_codes.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

namespace morva {
namespace {

using Codes = std::vector<std::uint8_t>;

TEST(ToGlyphCodes, AsciiAndControls) {
    EXPECT_EQ(ToGlyphCodes(""), Codes{});
    EXPECT_EQ(ToGlyphCodes("Az09 ~\x7F"), (Codes{'A', 'z', '0', '9', ' ', '~', 127}));
    // Every code below 32, NUL included, is drawn as code 128.
    EXPECT_EQ(ToGlyphCodes(std::string_view("\t\n\r\0\x1F", 5)), Codes(5, kControlGlyphCode));
}

TEST(ToGlyphCodes, CyrillicLettersAndSigns) {
    EXPECT_EQ(ToGlyphCodes("АБЖЯабжя"), (Codes{192, 193, 198, 223, 224, 225, 230, 255}));
    EXPECT_EQ(ToGlyphCodes("Ёё"), (Codes{168, 184}));
    EXPECT_EQ(ToGlyphCodes("Ђ€№ЏџЇї"), (Codes{128, 136, 185, 143, 159, 175, 191}));
    EXPECT_EQ(ToGlyphCodes("Жx"), (Codes{198, 'x'}));
}

// glibc's converter is an independent source for the code page's upper half.
TEST(ToGlyphCodes, AgreesWithIconvOnEveryCodeOfThePage) {
    iconv_t converter = iconv_open("UTF-8", "CP1251");
    if (converter == reinterpret_cast<iconv_t>(-1)) GTEST_SKIP() << "iconv has no CP1251";
    int checked = 0;
    for (int code = 128; code <= 255; ++code) {
        char in = static_cast<char>(code);
        char out[8] = {};
        char* inPtr = &in;
        char* outPtr = out;
        std::size_t inLeft = 1, outLeft = sizeof out;
        iconv(converter, nullptr, nullptr, nullptr, nullptr);
        if (iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) continue;
        EXPECT_EQ(ToGlyphCodes(std::string_view(out, outPtr - out)), Codes{static_cast<std::uint8_t>(code)})
            << "code " << code;
        ++checked;
    }
    iconv_close(converter);
    EXPECT_GE(checked, 127);  // all but the unassigned code 152
}

TEST(ToGlyphCodes, CharactersOutsideThePageBecomeQuestionMarks) {
    EXPECT_EQ(ToGlyphCodes("中"), Codes{'?'});
    EXPECT_EQ(ToGlyphCodes("é"), Codes{'?'});
    EXPECT_EQ(ToGlyphCodes("\xC2\x80"), Codes{'?'});  // U+0080, a C1 control
    EXPECT_EQ(ToGlyphCodes("a\U0001F600b"), (Codes{'a', '?', 'b'}));
}

TEST(ToGlyphCodes, MalformedBytesBecomeQuestionMarksWithoutEatingTheNextCharacter) {
    EXPECT_EQ(ToGlyphCodes("\x80"), Codes{'?'});             // lone continuation byte
    EXPECT_EQ(ToGlyphCodes("\xFF\xFE"), (Codes{'?', '?'}));  // never valid
    EXPECT_EQ(ToGlyphCodes("\xD0"), Codes{'?'});             // cut off at the end
    EXPECT_EQ(ToGlyphCodes("\xD0"
                           "A"),
              (Codes{'?', 'A'}));
    EXPECT_EQ(ToGlyphCodes("\xE4\xB8"
                           "A"),
              (Codes{'?', 'A'}));
    EXPECT_EQ(ToGlyphCodes("\xC0\xAF"), (Codes{'?', '?'}));  // overlong '/'
    EXPECT_EQ(ToGlyphCodes("\xE0\x80\xAF"), (Codes{'?', '?', '?'}));
    EXPECT_EQ(ToGlyphCodes("\xED\xA0\x80"), (Codes{'?', '?', '?'}));           // surrogate
    EXPECT_EQ(ToGlyphCodes("\xF4\x90\x80\x80"), (Codes{'?', '?', '?', '?'}));  // above U+10FFFF
    EXPECT_EQ(ToGlyphCodes("\xF4\x8F\xBF\xBF"), Codes{'?'});  // U+10FFFF itself is one character
}

}  // namespace
}  // namespace morva
