// The scene checker and the framing of --fit. Input: one selector byte for
// the number format, then the scene text.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/extent.h"
#include "fuzz_check.h"
#include "platform/error.h"
#include "scene/fields.h"
#include "scene/scene.h"
#include "session/fit.h"
#include "session/scene_check.h"

namespace {

using namespace morva;

constexpr char kFileName[] = "fuzz/MORVA.TXT";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const NumberFormat format = fuzz::FormatFor(data[0]);
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

    bool refused = false;
    Scene scene;
    try {
        scene = ParseScene(text, 0, format, kFileName);
    } catch (const MorvaError&) {
        refused = true;
    }

    // The checker refuses exactly what the render refuses, and every
    // warning points at a line and field that exist.
    const std::vector<CheckFinding> findings = CheckSceneText(text, format, kFileName);
    FUZZ_CHECK((CheckExitCode(findings) == 2) == refused, "checker exit code %d, reader %s",
               CheckExitCode(findings), refused ? "refuses" : "accepts");
    const std::size_t lines = CutLines(text).size();
    for (const CheckFinding& f : findings) {
        if (f.level == CheckLevel::Refusal) continue;
        FUZZ_CHECK(f.line <= lines, "warning at line %zu of %zu", f.line, lines);
        FUZZ_CHECK(fuzz::StartsWith(f.place, kFileName), "warning place \"%s\"", f.place.c_str());
        FUZZ_CHECK(!f.what.empty() && !f.fix.empty(), "warning without text at line %zu", f.line);
        FUZZ_CHECK(FormatFinding(f).size() < 1024, "a warning of %zu characters", FormatFinding(f).size());
    }
    if (refused) return 0;

    // A short pre-pass of any accepted scene, and a framing a "D" line can
    // take when there is one.
    const AttractorExtent found = RobustExtent(SampleAttractor(scene, 64, 512));
    const std::optional<Framing> framing = FrameExtent(found.extent);
    if (framing) {
        FUZZ_CHECK(framing->scaleX >= 1 && framing->scaleX == framing->scaleY, "scale %d", framing->scaleX);
        for (const std::int32_t v : {framing->scaleX, framing->offsetX, framing->offsetY})
            FUZZ_CHECK(std::abs(std::int64_t{4} * v) <= 2147483647, "4 x %d leaves 32 bits", v);
    }
    return 0;
}
