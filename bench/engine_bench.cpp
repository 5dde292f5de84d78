// Points per second of the iteration group: the reference loop, the fast
// loop on one thread and on two, on a scene of every class: the sample
// scenes, a scene of 1024 maps, one whose WeightTotal727 is beyond 65536
// and one of three kinds mixed at random; and for each class its map chain
// alone. scripts/bench.sh runs it and prints the ratios of one run.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/fast_renderer.h"
#include "engine/fast_scene.h"
#include "engine/group_renderer.h"
#include "engine/walk.h"
#include "platform/files.h"
#include "platform/uniform_random.h"
#include "raster/raster.h"
#include "scene/scene_contract.h"

namespace {

using namespace morva;

// 1024 half-size copies of the square on a 32 x 32 grid, weight 1 each:
// WeightTotal727 is 744448.
std::string ManyMapsScene() {
    std::string text = "h 9 9 20 20 1 1 1000 1024\n";
    for (int k = 0; k < 1024; ++k) {
        text += "a 1 0.5 0 0 0.5 " + std::to_string(k % 32) + " " + std::to_string(k / 32) + "\n";
    }
    return text + "_setseed 4242\n";
}

// The projective and the quadratic sample's maps and two affine ones, all
// taking the unit square into itself: a scene of three kinds that mix at
// random.
std::string MixedScene() {
    return "h 620 460 10 10 1 1 2000 11\n"
           "p 24 0.619048 0.0714286 0 0.190476 0.190476 1 0.047619 0.642857 0 0.190476 0.190476 1\n"
           "p 22 0.0737214 -0.400208 1 0.0956341 0.199584 1 0.54973 0.0519751 0.02 0.0956341 0.199584 1\n"
           "p 19 -0.35196 0.10794 0.96 0.21608 0.160804 1 0.167437 -0.396382 1 0.21608 0.160804 1\n"
           "p 16 0.058324 0.469497 0.04 0.22905 0.0614525 1 -0.291732 0.0602235 0.98 0.22905 0.0614525 1\n"
           "p 4 0.14 -0.14 0.5 0 0 1 0.14 0.14 0.36 0 0 1\n"
           "s 20 0 0 -0.3 0.46 0.3 0.02 -0.3 0 0 0.3 0.46 0.02\n"
           "s 20 0.3 0 0 -0.3 -0.46 0.98 0 0 -0.3 0.46 0.3 0.02\n"
           "s 20 0 0 0.3 -0.46 -0.3 0.98 0.3 0 0 -0.3 -0.46 0.98\n"
           "s 20 -0.3 0 0 0.3 0.46 0.02 0 0 0.3 -0.46 -0.3 0.98\n"
           "a 30 0.5 0 0 0.5 0.25 0.25\n"
           "a 30 0.4 -0.2 0.2 0.4 0.3 0.3\n"
           "_setseed 2718\n";
}

// The fern with every weight times 100: WeightTotal727 is 72700.
std::string HeavyFernScene() {
    return "h 45 45 320 15 1 10 100 4\n"
           "a 1 0 0 0 0.16 0 0\n"
           "a 85 0.85 0.04 -0.04 0.85 0 1.6\n"
           "a 7 0.2 -0.26 0.23 0.22 0 1.6\n"
           "a 7 -0.15 0.28 0.26 0.24 0 0.44\n"
           "_setseed 12345\n";
}

const Scene& LoadSample(const std::string& name, bool hiRes) {
    static std::map<std::string, std::unique_ptr<Scene>> cache;
    const std::string key = name + (hiRes ? "/hires" : "");
    auto& slot = cache[key];
    if (!slot) {
        if (name == "maps1024" || name == "heavy" || name == "mixed") {
            const std::string text = name == "heavy"   ? HeavyFernScene()
                                     : name == "mixed" ? MixedScene()
                                                       : ManyMapsScene();
            slot = std::make_unique<Scene>(ParseScene(text, 12345, NumberFormat{}));
        } else {
            PosixFileSystem files;
            slot = std::make_unique<Scene>(
                LoadScene(files, std::string(MORVA_SOURCE_DIR) + "/scenes/" + name, 12345, NumberFormat{}));
        }
        slot->settings.HiRes = hiRes;
        DeriveSceneValues(*slot);
    }
    return *slot;
}

// threads 0: the reference loop. window: bring the picture up to date for
// a frame at most every 16 ms, as a render in a window does; a batch run
// does not.
// The extra picture of the command line's picture options: none, colour by
// map at 640 x 480, or 1920 x 1080 with 2 x 2 samples.
enum class Picture { None, ColourByMap, Supersampled };

std::optional<PicturePlan> PlanOf(Picture picture, const Scene& scene) {
    if (picture == Picture::None) return std::nullopt;
    const SceneSettings& s = scene.settings;
    PicturePlan plan;
    const PictureSize size =
        picture == Picture::ColourByMap ? PictureSize{640, 480, 1} : PictureSize{1920, 1080, 2};
    plan.frame = MakePictureFrame(size, s.ScaleX, s.ScaleY, s.OffsetX, s.OffsetY);
    plan.colourByMap = picture == Picture::ColourByMap;
    for (int k = 0; k < UsedTransforms(s); ++k)
        plan.colours.push_back({255u * (k & 1), 255u * (k & 2) / 2, 255});
    return plan;
}

void RenderGroups(benchmark::State& bench, const std::string& name, bool hiRes, int threads, bool window,
                  Picture extra = Picture::None) {
    const Scene& scene = LoadSample(name, hiRes);
    std::vector<std::uint8_t> picture(640 * 480);
    Raster raster;
    raster.MapFrameSurface({picture.data(), 8, 640, 480});
    UniformRandom uniform;
    EngineState state;
    state.RandSeed = 12345;
    auto renderer = threads == 0 ? MakeReferenceRenderer(scene, uniform)
                                 : MakeFastRenderer(scene, uniform, threads, {}, PlanOf(extra, scene));
    auto lastFrame = std::chrono::steady_clock::now();
    // One cadence of the render loop: a single group, then 127 in a batch.
    for (auto _ : bench) {
        renderer->DrawGroups(state, raster, 1);
        renderer->DrawGroups(state, raster, 127);
        if (window && std::chrono::steady_clock::now() - lastFrame >= std::chrono::milliseconds(16)) {
            renderer->Flush(raster, GroupRenderer::FlushScope::Picture);
            lastFrame = std::chrono::steady_clock::now();
        }
    }
    renderer->Flush(raster, GroupRenderer::FlushScope::All);
    bench.SetItemsProcessed(bench.iterations() * 128 * 2048);
}

// The maps alone, one after the other, fed selections drawn beforehand: no
// draw, no selection, no plot. Each step waits for the one before, and no
// exact loop can run that chain faster: this is the most one thread can
// reach, and, for a scene whose trajectories never coincide, any number of
// threads.
void MapChain(benchmark::State& bench, const std::string& name) {
    const FastScene fs(LoadSample(name, false));
    std::vector<int> picks(kGroupSteps);
    std::int32_t seed = 12345;
    for (int& k : picks) k = fs.selection->Pick(RandomLong(seed));
    MapState point = ToMapState(PointState{});
    for (auto _ : bench) {
        fs.Visit([&](const auto& maps, auto) {
            // A local copy, as in the loop: no store can change it.
            const auto apply = maps.Hot();
            MapState s = point;
            for (int k : picks) {
                if (k >= 0) apply.Apply(k, s);
            }
            point = s;
        });
        benchmark::DoNotOptimize(point);
    }
    bench.SetItemsProcessed(bench.iterations() * kGroupSteps);
}

void Register() {
    struct Case {
        const char* scene;
        bool hiRes;
        bool window;
    };
    const Case cases[] = {
        {"fern", false, false},       {"fern", true, false},       {"sierpinski", false, false},
        {"projective", false, false}, {"quadratic", false, false}, {"henon", false, false},
        {"maps1024", false, false},   {"heavy", false, false},     {"mixed", false, false},
        {"fern", false, true},        {"fern", true, true}};
    for (const Case& c : cases) {
        for (int threads : {0, 1, 2}) {
            const std::string name = std::string(c.scene) + (c.hiRes ? "/hires" : "/normal") +
                                     (c.window ? "-window" : "") + "/" +
                                     (threads == 0   ? "reference"
                                      : threads == 1 ? "fast"
                                                     : "fast-2-threads");
            benchmark::RegisterBenchmark(name.c_str(),
                                         [c, threads](benchmark::State& bench) {
                                             RenderGroups(bench, c.scene, c.hiRes, threads, c.window);
                                         })
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    }
    // The picture options on the fern: the plain rows above are the base.
    for (const auto& [label, picture] : {std::pair{"colour-by-map", Picture::ColourByMap},
                                         std::pair{"1920x1080-supersample-2", Picture::Supersampled}}) {
        for (int threads : {1, 2}) {
            const std::string name =
                std::string("fern/") + label + "/" + (threads == 1 ? "fast" : "fast-2-threads");
            benchmark::RegisterBenchmark(name.c_str(),
                                         [picture, threads](benchmark::State& bench) {
                                             RenderGroups(bench, "fern", false, threads, false, picture);
                                         })
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    }
    for (const char* scene :
         {"fern", "sierpinski", "projective", "quadratic", "henon", "maps1024", "heavy", "mixed"}) {
        benchmark::RegisterBenchmark((std::string(scene) + "/normal/chain").c_str(),
                                     [scene](benchmark::State& bench) { MapChain(bench, scene); })
            ->UseRealTime();
    }
}

}  // namespace

int main(int argc, char** argv) {
    Register();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
