// The .ifs library parser and the scene text of its entries. Input: the
// library text.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "platform/error.h"
#include "scene/ifs_library.h"
#include "scene/scene_contract.h"

namespace {

using namespace morva;

constexpr char kFileName[] = "fuzz.ifs";

std::size_t Lines(std::string_view text) {
    std::size_t lines = 1;
    for (const char c : text) lines += c == '\n';
    return lines;
}

// An entry read back through the scene reader: accepted, every band exact
// and the bands covering the whole draw range, the numbers unchanged.
void CheckSceneText(const IfsEntry& entry) {
    std::vector<std::int64_t> weights;
    try {
        weights = IfsWeights(entry, kFileName);
    } catch (const MorvaError& error) {
        FUZZ_CHECK(fuzz::StartsWith(error.what(), kFileName), "weights refused without the file: %s",
                   error.what());
        return;
    }
    FUZZ_CHECK(weights.size() == entry.maps.size(), "%zu weights for %zu maps", weights.size(),
               entry.maps.size());
    std::int64_t sum = 0;
    for (std::size_t k = 0; k < weights.size(); ++k) {
        FUZZ_CHECK(weights[k] >= 0, "weight %lld", static_cast<long long>(weights[k]));
        FUZZ_CHECK(weights[k] > 0 || (entry.hasProbabilities && entry.maps[k].probability == 0.0),
                   "map %zu of probability %g is never chosen", k, entry.maps[k].probability);
        sum += weights[k];
    }
    FUZZ_CHECK(sum >= 1 && sum * kWeightScale <= std::numeric_limits<std::int32_t>::max(), "weight sum %lld",
               static_cast<long long>(sum));
    if (entry.maps.size() > static_cast<std::size_t>(kTransformSlots)) return;

    const std::string text =
        IfsSceneText(entry, kFileName, "h 1 1 0 0 1 1 1 " + std::to_string(entry.maps.size()));
    Scene scene;
    try {
        scene = ParseScene(text, 0, NumberFormat{}, kFileName);
    } catch (const MorvaError& error) {
        FUZZ_CHECK(false, "the scene of an entry is refused: %s\n%s", error.what(), text.c_str());
    }
    std::int64_t bands = 0;
    for (std::size_t k = 0; k < entry.maps.size(); ++k) {
        bands += *WeightBand(scene.transforms[k].Weight);
        for (std::size_t c = 0; c < 6; ++c) {
            FUZZ_CHECK(scene.transforms[k].Coef[c] == entry.maps[k].coef[c],
                       "map %zu coefficient %zu: %.17g read as %.17g", k, c, entry.maps[k].coef[c],
                       scene.transforms[k].Coef[c]);
        }
    }
    FUZZ_CHECK(bands == scene.settings.WeightTotal727, "bands %lld, modulus %d",
               static_cast<long long>(bands), scene.settings.WeightTotal727);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    IfsLibrary library;
    try {
        library = ParseIfsLibrary(text, kFileName);
    } catch (const MorvaError& error) {
        // "<file>, line <n>: <reason>" with a line of the text, or the file
        // alone for a text without entries.
        const std::string_view message = error.what();
        const std::string prefix = std::string(kFileName) + ", line ";
        if (fuzz::StartsWith(message, prefix)) {
            const std::size_t line = std::strtoull(error.what() + prefix.size(), nullptr, 10);
            FUZZ_CHECK(line >= 1 && line <= Lines(text), "line %zu of %zu: %s", line, Lines(text),
                       error.what());
        } else {
            FUZZ_CHECK(fuzz::StartsWith(message, std::string(kFileName) + ": no entries"), "refusal: %s",
                       error.what());
        }
        return 0;
    }
    FUZZ_CHECK(!library.entries.empty(), "a library without entries was accepted");
    for (const IfsEntry& entry : library.entries) {
        FUZZ_CHECK(!entry.name.empty() && entry.line >= 1 && entry.line <= Lines(text), "entry at line %zu",
                   entry.line);
        if (entry.threeD) {
            FUZZ_CHECK(entry.numbers % kIfs3DMapNumbers == 0 && entry.maps.empty(),
                       "3-D entry of %zu numbers", entry.numbers);
            continue;
        }
        const std::size_t perMap = entry.hasProbabilities ? kIfsMapNumbers : kIfsUnweightedNumbers;
        FUZZ_CHECK(!entry.maps.empty() && entry.maps.size() * perMap == entry.numbers,
                   "%zu maps of %zu numbers", entry.maps.size(), entry.numbers);
        for (const IfsMap& map : entry.maps) {
            for (const double c : map.coef) FUZZ_CHECK(std::isfinite(c), "coefficient %g", c);
            FUZZ_CHECK(std::isfinite(map.probability) && map.probability >= 0.0, "probability %g",
                       map.probability);
        }
    }
    // The first entries as scenes; a library of thousands is read, not all
    // converted, to keep each input fast.
    for (std::size_t k = 0; k < library.entries.size() && k < 4; ++k) {
        if (!library.entries[k].threeD) CheckSceneText(library.entries[k]);
    }
    const std::string list = IfsListText(library);
    FUZZ_CHECK(Lines(list) == library.entries.size() + 1, "%zu list lines for %zu entries", Lines(list) - 1,
               library.entries.size());
    return 0;
}
