// The scene parser and its derived values. Input: one selector byte for the
// number format, then the scene text.
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "engine/iteration_group.h"
#include "fuzz_check.h"
#include "platform/error.h"
#include "scene/number_reader.h"
#include "scene/scene_contract.h"

namespace {

using namespace morva;

constexpr char kFileName[] = "fuzz/MORVA.TXT";
constexpr std::int32_t kStartSeed = 0x1234567;

bool FitsInt32(std::int64_t v) {
    return v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max();
}

void CheckAccepted(const Scene& scene) {
    const SceneSettings& s = scene.settings;
    FUZZ_CHECK(s.TransformCount >= 1 && s.TransformCount <= kTransformSlots, "TransformCount=%d",
               s.TransformCount);
    FUZZ_CHECK(s.Exposure >= 1, "Exposure=%d", s.Exposure);
    FUZZ_CHECK(s.InitialSeed == s.RandSeed, "InitialSeed=%d RandSeed=%d", s.InitialSeed, s.RandSeed);
    const auto count = static_cast<std::size_t>(s.TransformCount);

    for (std::size_t k = 0; k < count; ++k) {
        const TransformRec& r = scene.transforms[k];
        FUZZ_CHECK(r.Kind <= kQuadratic, "transform %zu has kind %d", k, r.Kind);
        FUZZ_CHECK(!std::isinf(r.Weight), "transform %zu has an infinite weight", k);
        for (double c : r.Coef)
            FUZZ_CHECK(!std::isinf(c) && !std::isnan(c), "transform %zu has coefficient %g", k, c);
    }

    if (s.HighSpeed) {
        // The modulus of the fast selection, and every band the engine adds
        // up on the way to a reachable draw, must be 32-bit numbers.
        FUZZ_CHECK(s.WeightTotal727 >= 1, "WeightTotal727=%d", s.WeightTotal727);
        FUZZ_CHECK(static_cast<double>(s.WeightTotal727) == std::floor(s.WeightSum * kWeightScale + 0.5),
                   "WeightTotal727=%d WeightSum=%.17g", s.WeightTotal727, s.WeightSum);
        std::int64_t acc = 0, highest = 0;
        for (std::size_t k = 0; k < count; ++k) {
            const double weight = scene.transforms[k].Weight;
            const std::optional<std::int32_t> band = WeightBand(weight);
            FUZZ_CHECK(band.has_value(), "transform %zu: band of weight %.17g does not fit 32 bits", k,
                       weight);
            const bool reached = highest < s.WeightTotal727;
            acc += *band;
            if (reached)
                FUZZ_CHECK(FitsInt32(acc), "transform %zu: running band sum %lld", k,
                           static_cast<long long>(acc));
            if (acc > highest) highest = acc;
        }
        // A few draws across the whole range land on a used record or on none.
        for (std::int64_t draw :
             {std::int64_t{0}, std::int64_t{s.WeightTotal727} / 2, std::int64_t{s.WeightTotal727} - 1}) {
            const int k = SelectFast(scene, static_cast<std::int32_t>(draw));
            FUZZ_CHECK(k >= -1 && k < s.TransformCount, "draw %lld selects %d", static_cast<long long>(draw),
                       k);
        }
    }

    if (s.HiRes) {
        FUZZ_CHECK(s.ScaleX != 0 && s.ScaleY != 0, "HiRes with ScaleX=%d ScaleY=%d", s.ScaleX, s.ScaleY);
        for (std::int32_t v : {s.ScaleX, s.ScaleY, s.OffsetX, s.OffsetY})
            FUZZ_CHECK(FitsInt32(std::int64_t{4} * v), "HiRes factor 4 x %d leaves 32 bits", v);
        for (double bound : {s.HiResXMin, s.HiResXMax, s.HiResYMin, s.HiResYMax})
            FUZZ_CHECK(std::isfinite(bound), "HiRes bound %g", bound);
        // The window of the table is the picture, whichever way an axis runs.
        FUZZ_CHECK((s.ScaleX > 0) == (s.HiResXMin < s.HiResXMax), "x bounds %g..%g", s.HiResXMin,
                   s.HiResXMax);
        FUZZ_CHECK((s.ScaleY > 0) == (s.HiResYMin < s.HiResYMax), "y bounds %g..%g", s.HiResYMin,
                   s.HiResYMax);
    }

    const std::string description = DescribeScene(scene);
    FUZZ_CHECK(!description.empty(), "empty description");
    FUZZ_CHECK(
        description.find("TransformCount=" + std::to_string(s.TransformCount) + "\n") != std::string::npos,
        "description lacks the transform count");
}

// The scene as its own file: the header, the transforms in use, and the
// switches. Reals in the shortest form that reads back exactly; integers
// plain, which every number format reads the same.
std::string WriteScene(const Scene& scene) {
    const SceneSettings& s = scene.settings;
    auto real = [](double value) {
        char buffer[64];
        const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
        return std::string(buffer, end);
    };
    // A "D" line multiplies the target of the header before it by 16; one
    // before every header switches the mode on and leaves the target as is.
    const bool dAfterHeader = s.HiRes && s.GroupTarget % (std::int64_t{16} * s.Exposure) == 0;
    const std::int32_t perExposure = s.GroupTarget / (dAfterHeader ? 16 : 1) / s.Exposure;
    std::string text = s.HiRes && !dAfterHeader ? "D\r\n" : "";
    text += "h " + std::to_string(s.ScaleX) + " " + std::to_string(s.ScaleY) + " " +
            std::to_string(s.OffsetX) + " " + std::to_string(s.OffsetY) + " " + std::to_string(s.HitValue) +
            " " + std::to_string(s.Exposure) + " " + std::to_string(perExposure) + " " +
            std::to_string(s.TransformCount) + "\r\n";
    for (std::int32_t k = 0; k < s.TransformCount; ++k) {
        const TransformRec& r = scene.transforms[static_cast<std::size_t>(k)];
        text += r.Kind == kAffine ? "a" : r.Kind == kProjective ? "p" : "s";
        text += " " + real(r.Weight);
        for (int c = 0; c < (r.Kind == kAffine ? 6 : 12); ++c)
            text += " " + real(r.Coef[static_cast<std::size_t>(c)]);
        text += "\r\n";
    }
    if (!s.HighSpeed) text += "S\r\n";
    if (dAfterHeader) text += "D\r\n";
    text += "_setseed " + std::to_string(s.RandSeed) + "\r\n";
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const NumberFormat format = fuzz::FormatFor(data[0]);
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

    Scene scene;
    try {
        scene = ParseScene(text, kStartSeed, format, kFileName);
    } catch (const MorvaError& error) {
        const std::string_view message = error.what();
        FUZZ_CHECK(fuzz::StartsWith(message, std::string(kFileName)) && message.size() > sizeof kFileName + 2,
                   "refusal without the file name or a reason: \"%s\"", error.what());
        // However long a line or field, the message stays readable.
        FUZZ_CHECK(message.size() < 512, "a refusal of %zu characters", message.size());
        return 0;
    }
    CheckAccepted(scene);

    // The file format holds every scene it accepts: written out plainly and
    // read back, the scene is the same, value for value.
    const std::string written = WriteScene(scene);
    Scene again;
    try {
        again = ParseScene(written, kStartSeed, format, kFileName);
    } catch (const MorvaError& error) {
        FUZZ_CHECK(false, "the written scene is refused: %s\n%s", error.what(), written.c_str());
    }
    FUZZ_CHECK(DescribeScene(again) == DescribeScene(scene), "the written scene reads differently:\n%s",
               written.c_str());
    return 0;
}
