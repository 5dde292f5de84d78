#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace morva {

class FileSystem;

inline constexpr char kSceneFileName[] = "MORVA.TXT";
inline constexpr int kTransformSlots = 1024;

enum TransformKind : std::uint8_t { kAffine = 0, kProjective = 1, kQuadratic = 2 };

// One transform: Coef[0..5] = A..F for the affine map; Coef[0..11] = A1..F1,
// A2..F2 for the projective and quadratic maps.
struct TransformRec {
    std::uint8_t Kind = kAffine;
    double Weight = 0.0;
    std::array<double, 12> Coef{};
};

using TransformTable = std::array<TransformRec, kTransformSlots>;

struct SceneSettings {
    std::int32_t ScaleX = 0;
    std::int32_t ScaleY = 0;
    std::int32_t OffsetX = 0;
    std::int32_t OffsetY = 0;
    std::uint8_t HitValue = 0;
    std::int32_t Exposure = 0;
    std::int32_t GroupTarget = 0;
    std::int32_t TransformCount = 0;
    double WeightSum = 0.0;
    bool HiRes = false;
    bool HighSpeed = false;
    std::int32_t WeightTotal727 = 0;
    std::int32_t RandSeed = 0;
    std::int32_t InitialSeed = 0;
    double HiResXMin = 0.0;
    double HiResXMax = 0.0;
    double HiResYMin = 0.0;
    double HiResYMax = 0.0;
};

struct Scene {
    SceneSettings settings;
    TransformTable transforms{};
};

// The number format of integer fields: the user's decimal point and grouping
// separator (the C locale has "." and none).
struct NumberFormat {
    std::string decimalPoint = ".";
    std::string groupingSeparator;
};

// The number format of the user's LC_NUMERIC locale.
NumberFormat UserNumberFormat();

// Parses scene text and computes the derived values. startSeed is the seed
// drawn at start-up, kept unless a "_setseed" line replaces it. HighSpeed
// starts on. Throws MorvaError naming fileName, the line where there is one,
// and the reason, for every scene that cannot render correctly. The reading
// itself is ReadScene's (scene/scene_reader.h), which --check shares.
Scene ParseScene(std::string_view text, std::int32_t startSeed, const NumberFormat& format,
                 std::string_view fileName = kSceneFileName);

// Reads MORVA.TXT from the folder and parses it; a missing, unreadable or
// empty file is refused with a message.
Scene LoadScene(FileSystem& files, const std::string& folder, std::int32_t startSeed,
                const NumberFormat& format);

// Every setting, the derived values and the transforms in use as stable
// name=value lines (doubles with 17 significant digits).
std::string DescribeScene(const Scene& scene);

}  // namespace morva
