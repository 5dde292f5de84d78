#include "scene/scene.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/locale.h"
#include "scene/number_reader.h"
#include "scene/scene_reader.h"

namespace morva {

namespace {

const char* KindName(std::uint8_t kind) {
    switch (kind) {
        case kAffine:
            return "affine";
        case kProjective:
            return "projective";
        case kQuadratic:
            return "quadratic";
        default:
            return "unknown";
    }
}

}  // namespace

NumberFormat UserNumberFormat() {
    NumericSeparators separators = UserNumericSeparators();
    NumberFormat format;
    format.decimalPoint = std::move(separators.decimalPoint);
    format.groupingSeparator = std::move(separators.groupingSeparator);
    return format;
}

Scene ParseScene(std::string_view text, std::int32_t startSeed, const NumberFormat& format,
                 std::string_view fileName) {
    SceneReading reading = ReadScene(text, startSeed, format, fileName, nullptr);
    if (reading.refusal) throw MorvaError(*reading.refusal);
    return std::move(reading.scene);
}

Scene LoadScene(FileSystem& files, const std::string& folder, std::int32_t startSeed,
                const NumberFormat& format) {
    const std::string path = JoinPath(folder, kSceneFileName);
    std::string error;
    const std::optional<std::string> text = files.ReadFile(path, &error);
    if (!text) throw MorvaError(path + ": cannot read the scene file: " + error);
    return ParseScene(*text, startSeed, format, path);
}

std::string DescribeScene(const Scene& scene) {
    const SceneSettings& s = scene.settings;
    std::string out;
    auto integer = [&](const char* name, std::int64_t value) {
        out += std::string(name) + "=" + std::to_string(value) + "\n";
    };
    auto real = [&](const char* name, double value) {
        out += std::string(name) + "=" + FormatReal(value, 17) + "\n";
    };
    auto flag = [&](const char* name, bool value) {
        out += std::string(name) + "=" + (value ? "on" : "off") + "\n";
    };

    integer("ScaleX", s.ScaleX);
    integer("ScaleY", s.ScaleY);
    integer("OffsetX", s.OffsetX);
    integer("OffsetY", s.OffsetY);
    integer("HitValue", s.HitValue);
    integer("Exposure", s.Exposure);
    integer("GroupTarget", s.GroupTarget);
    integer("TransformCount", s.TransformCount);
    real("WeightSum", s.WeightSum);
    flag("HiRes", s.HiRes);
    flag("HighSpeed", s.HighSpeed);
    integer("WeightTotal727", s.WeightTotal727);
    integer("RandSeed", s.RandSeed);
    integer("InitialSeed", s.InitialSeed);
    real("HiResXMin", s.HiResXMin);
    real("HiResXMax", s.HiResXMax);
    real("HiResYMin", s.HiResYMin);
    real("HiResYMax", s.HiResYMax);

    const std::int32_t count = std::min(std::max(s.TransformCount, 0), kTransformSlots);
    for (std::int32_t k = 0; k < count; ++k) {
        const TransformRec& record = scene.transforms[static_cast<std::size_t>(k)];
        const std::string prefix = "transform." + std::to_string(k) + ".";
        out += prefix + "kind=" + KindName(record.Kind) + "\n";
        out += prefix + "weight=" + FormatReal(record.Weight, 17) + "\n";
        out += prefix + "coef=";
        for (std::size_t c = 0; c < record.Coef.size(); ++c)
            out += (c ? " " : "") + FormatReal(record.Coef[c], 17);
        out += "\n";
    }
    return out;
}

}  // namespace morva
