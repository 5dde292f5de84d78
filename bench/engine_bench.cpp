// Points per second of the iteration group: the reference loop, the fast
// loop on one thread and on two, on the sample scenes. scripts/bench.sh runs
// it and prints the ratios of one run.

#include <benchmark/benchmark.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/fast_renderer.h"
#include "engine/group_renderer.h"
#include "platform/files.h"
#include "platform/uniform_random.h"
#include "raster/raster.h"
#include "scene/scene_contract.h"

namespace {

using namespace morva;

const Scene& LoadSample(const std::string& name, bool hiRes) {
    static std::map<std::string, std::unique_ptr<Scene>> cache;
    const std::string key = name + (hiRes ? "/hires" : "");
    auto& slot = cache[key];
    if (!slot) {
        PosixFileSystem files;
        slot = std::make_unique<Scene>(
            LoadScene(files, std::string(MORVA_SOURCE_DIR) + "/scenes/" + name, 12345, NumberFormat{}));
        slot->settings.HiRes = hiRes;
        DeriveSceneValues(*slot);
    }
    return *slot;
}

// threads 0: the reference loop. window: bring the picture up to date for
// a frame at most every 16 ms, as a render in a window does; a batch run
// does not.
void RenderGroups(benchmark::State& bench, const std::string& name, bool hiRes, int threads, bool window) {
    const Scene& scene = LoadSample(name, hiRes);
    std::vector<std::uint8_t> picture(640 * 480);
    Raster raster;
    raster.MapFrameSurface({picture.data(), 8, 640, 480});
    UniformRandom uniform;
    EngineState state;
    state.RandSeed = 12345;
    auto renderer =
        threads == 0 ? MakeReferenceRenderer(scene, uniform) : MakeFastRenderer(scene, uniform, threads);
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

void Register() {
    struct Case {
        const char* scene;
        bool hiRes;
        bool window;
    };
    const Case cases[] = {{"fern", false, false},      {"fern", true, false},   {"projective", false, false},
                          {"quadratic", false, false}, {"henon", false, false}, {"fern", false, true},
                          {"fern", true, true}};
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
}

}  // namespace

int main(int argc, char** argv) {
    Register();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
