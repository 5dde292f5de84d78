// A short render of whatever scene the parser accepts, differential: the
// reference loop, the fast renderer on one thread, and on two and three threads
// with speculative segments must leave the same tables, picture bytes, point, generator
// state and count of points thrown off the picture. The tone mapping and the count files of the result are
// checked too. Input: as for fuzz_scene.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "engine/fast_renderer.h"
#include "engine/group_renderer.h"
#include "engine/iteration_group.h"
#include "fuzz_check.h"
#include "platform/error.h"
#include "platform/uniform_random.h"
#include "raster/bmp_writer.h"
#include "raster/raster.h"
#include "scene/scene.h"

namespace {

using namespace morva;

// Groups in one call; the shared schedules are forced, however short.
constexpr int kGroups = 4;
constexpr std::uint64_t kUniformSeed = 20240601;
constexpr std::size_t kBmpHeader = 14 + 40 + 256 * 4;

// The checking loops walk millions of cells per run; they are not the code
// under test, so they go without coverage and sanitizer instrumentation.
#define MORVA_FUZZ_PLAIN __attribute__((no_sanitize("coverage", "address", "undefined")))

// A raster over its own picture bytes, reused across runs: a 2560 x 1920
// table is 20 MB, so only what a run may have touched is cleared.
struct Canvas {
    std::vector<std::uint8_t> picture =
        std::vector<std::uint8_t>(std::size_t{kPictureWidth} * kPictureHeight);
    Raster raster;
    Canvas() {
        const bool mapped = raster.MapFrameSurface({picture.data(), 8, kPictureWidth, kPictureHeight});
        FUZZ_CHECK(mapped, "cannot map the picture");
    }
    void Clear(bool hiRes) {
        std::memset(picture.data(), 0, picture.size());
        std::memset(raster.HitBuffer().Data(), 0, raster.HitBuffer().Size() * sizeof(std::int32_t));
        if (hiRes)
            std::memset(raster.HiResBuffer().Data(), 0, raster.HiResBuffer().Size() * sizeof(std::int32_t));
    }
};

constexpr int kRenders = 4;

Canvas& CanvasAt(int i) {
    static Canvas canvases[kRenders];
    return canvases[i];
}

// Render 0 is the reference loop, 1 one thread, 2 and 3 segments on that many threads.
void Render(const Scene& scene, int which, Canvas& canvas, EngineState& state) {
    UniformRandom uniform;
    uniform.Seed(kUniformSeed);
    std::unique_ptr<GroupRenderer> renderer =
        which == 0 ? MakeReferenceRenderer(scene, uniform)
                   : MakeFastRenderer(scene, uniform, which, {FastRendererOptions::Sharing::EveryBatch, {}});
    renderer->DrawGroups(state, canvas.raster, kGroups);
    renderer->Flush(canvas.raster, GroupRenderer::FlushScope::All);
}

template <typename T>
bool SameCells(const Grid<T>& a, const Grid<T>& b) {
    return std::memcmp(a.Data(), b.Data(), a.Size() * sizeof(T)) == 0;
}

void CheckSame(const char* what, const Scene& scene, const Canvas& reference,
               const EngineState& referenceState, const Canvas& other, const EngineState& otherState) {
    FUZZ_CHECK(SameCells(reference.raster.HitBuffer(), other.raster.HitBuffer()), "%s: hit table differs",
               what);
    if (scene.settings.HiRes)
        FUZZ_CHECK(SameCells(reference.raster.HiResBuffer(), other.raster.HiResBuffer()),
                   "%s: hi-res table differs", what);
    FUZZ_CHECK(reference.picture == other.picture, "%s: picture bytes differ", what);
    const PointState& a = referenceState.point;
    const PointState& b = otherState.point;
    FUZZ_CHECK(SamePoint(a, b), "%s: point differs: (%.17g, %.17g) vs (%.17g, %.17g)", what, a.X, a.Y, b.X,
               b.Y);
    FUZZ_CHECK(referenceState.RandSeed == otherState.RandSeed, "%s: seed %d vs %d", what,
               referenceState.RandSeed, otherState.RandSeed);
    FUZZ_CHECK(referenceState.offPicture == otherState.offPicture, "%s: off-picture count %lld vs %lld", what,
               static_cast<long long>(referenceState.offPicture),
               static_cast<long long>(otherState.offPicture));
}

std::uint32_t ReadLe32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

MORVA_FUZZ_PLAIN void CheckCountFile(const Grid<std::int32_t>& counts, std::int32_t exposure) {
    const std::vector<std::uint8_t> bmp = EncodeCountBmp(counts, exposure);
    FUZZ_CHECK(bmp.size() == kBmpHeader + counts.Size(), "count file of %zu bytes for %zu cells", bmp.size(),
               counts.Size());
    FUZZ_CHECK(ReadLe32(bmp, 2) == bmp.size(), "count file says %u bytes", ReadLe32(bmp, 2));
    const std::int32_t* cells = counts.Data();
    const std::uint8_t* stored = bmp.data() + kBmpHeader;
    const std::size_t n = counts.Size();
    for (std::size_t c = 0; c < n; ++c) {
        const std::int32_t clipped = cells[c] / exposure < 255 ? cells[c] / exposure : 255;
        FUZZ_CHECK(cells[c] >= 0, "negative count %d", cells[c]);
        FUZZ_CHECK(stored[c] == clipped, "cell %zu: count %d stored as %d", c, cells[c], stored[c]);
    }
}

MORVA_FUZZ_PLAIN void CheckToneMapped(const Canvas& canvas, std::int32_t exposure) {
    const auto& curve = ToneCurve();
    const std::int32_t* cells = canvas.raster.HitBuffer().Data();
    const std::uint8_t* picture = canvas.picture.data();
    const std::size_t n = canvas.picture.size();
    for (std::size_t c = 0; c < n; ++c) {
        const std::int32_t v = cells[c] / exposure < 255 ? cells[c] / exposure : 255;
        FUZZ_CHECK(picture[c] == curve[v], "tone-mapped cell %zu: count %d gives %d", c, cells[c],
                   picture[c]);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const NumberFormat format = fuzz::FormatFor(data[0]);
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);

    Scene scene;
    try {
        scene = ParseScene(text, 0x1234567, format);
    } catch (const MorvaError&) {
        return 0;  // refusals are fuzz_scene's business
    }
    const bool hiRes = scene.settings.HiRes;

    EngineState states[kRenders];
    for (int i = 0; i < kRenders; ++i) {
        CanvasAt(i).Clear(hiRes);
        Render(scene, i, CanvasAt(i), states[i]);
    }
    CheckSame("one thread", scene, CanvasAt(0), states[0], CanvasAt(1), states[1]);
    CheckSame("two threads, segments", scene, CanvasAt(0), states[0], CanvasAt(2), states[2]);
    CheckSame("three threads, segments", scene, CanvasAt(0), states[0], CanvasAt(3), states[3]);

    const Raster& raster = CanvasAt(0).raster;
    CheckCountFile(raster.HitBuffer(), scene.settings.Exposure);
    if (hiRes) CheckCountFile(raster.HiResBuffer(), scene.settings.Exposure);

    Canvas& final = CanvasAt(0);
    final.raster.ToneMapFrame(scene.settings.Exposure);
    CheckToneMapped(final, scene.settings.Exposure);
    return 0;
}
