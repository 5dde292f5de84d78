#include "scene/scene.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <vector>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/locale.h"
#include "scene/fields.h"
#include "scene/number_reader.h"
#include "scene/scene_contract.h"
#include "scene/scene_lines.h"

namespace morva {

namespace {

constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

bool FitsInt32(std::int64_t value) { return value >= kInt32Min && value <= kInt32Max; }

class SceneParser {
public:
    SceneParser(std::string_view fileName, std::int32_t startSeed, const NumberFormat& format)
        : fileName_(fileName), format_(format) {
        scene_.settings.RandSeed = startSeed;
        scene_.settings.HighSpeed = true;
    }

    Scene Parse(std::string_view text) {
        if (text.empty()) Refuse(0, "the scene file is empty");
        for (LineCursor cursor(text); const std::optional<NumberedLine> raw = cursor.Next();) {
            if (const std::optional<std::string_view> line = UsableLine(raw->text))
                ReadLine(*line, raw->number);
        }
        Derive();
        return scene_;
    }

private:
    // "<file>, line <n>, field <k>" for the user; line 0 means the whole file.
    std::string Place(std::size_t line, std::size_t field = 0) const {
        std::string place(fileName_);
        if (line > 0) place += ", line " + std::to_string(line);
        if (field > 0) place += ", field " + std::to_string(field);
        return place;
    }

    [[noreturn]] void Refuse(std::size_t line, const std::string& reason) const {
        throw MorvaError(Place(line) + ": " + reason);
    }

    void ReadLine(std::string_view line, std::size_t lineNumber) {
        const SceneLine kind = KindOfSceneLine(line);
        switch (kind) {
            case SceneLine::Seed:
                ReadSeed(line, lineNumber);
                break;
            case SceneLine::Header:
                ReadHeader(line, lineNumber);
                break;
            case SceneLine::HiRes:
                ApplyHiRes(lineNumber);
                break;
            case SceneLine::StandardSpeed:
                scene_.settings.HighSpeed = false;
                break;
            case SceneLine::Affine:
                ReadTransform(line, lineNumber, kAffine, FieldsRead(kind));
                break;
            case SceneLine::Projective:
                ReadTransform(line, lineNumber, kProjective, FieldsRead(kind));
                break;
            case SceneLine::Quadratic:
                ReadTransform(line, lineNumber, kQuadratic, FieldsRead(kind));
                break;
            case SceneLine::IgnoredDirective:
            case SceneLine::Comment:
                break;
        }
    }

    // The fields of a line, refused when it has fewer than its kind reads.
    // what names the kind for the user.
    std::vector<std::string_view> FieldsOf(std::string_view line, std::size_t lineNumber, std::size_t needed,
                                           const std::string& what) const {
        // Only the fields a kind reads are cut out; the count in the refusal
        // is complete, because a short line is cut whole.
        std::vector<std::string_view> fields = SplitFields(line, needed + 1);
        if (fields.size() < needed + 1) {
            Refuse(lineNumber, what + " needs " + std::to_string(needed) +
                                   (needed == 1 ? " field" : " fields") +
                                   " after its keyword, this one has " + std::to_string(fields.size() - 1));
        }
        return fields;
    }

    static std::string KindOf(std::string_view line) {
        return "a line beginning with \"" + std::string(1, line.front()) + "\"";
    }

    std::int32_t Integer(const std::vector<std::string_view>& fields, std::size_t lineNumber,
                         std::size_t k) const {
        return ReadIntegerField(fields[k], format_, Place(lineNumber, k));
    }

    void ReadSeed(std::string_view line, std::size_t lineNumber) {
        const std::vector<std::string_view> fields =
            FieldsOf(line, lineNumber, FieldsRead(SceneLine::Seed), "the \"_setseed\" line");
        scene_.settings.RandSeed = Integer(fields, lineNumber, 1);
    }

    void ReadHeader(std::string_view line, std::size_t lineNumber) {
        const std::vector<std::string_view> fields =
            FieldsOf(line, lineNumber, FieldsRead(SceneLine::Header), KindOf(line) + " (a header)");
        SceneSettings& s = scene_.settings;
        s.ScaleX = Integer(fields, lineNumber, 1);
        s.ScaleY = Integer(fields, lineNumber, 2);
        s.OffsetX = Integer(fields, lineNumber, 3);
        s.OffsetY = Integer(fields, lineNumber, 4);
        s.HitValue = ReadByteField(fields[5], format_, Place(lineNumber, 5));
        s.Exposure = Integer(fields, lineNumber, 6);
        const std::int32_t groupsPerExposure = Integer(fields, lineNumber, 7);
        s.TransformCount = Integer(fields, lineNumber, 8);

        // A header replaces everything an earlier one set, the group target
        // with any "D" factor applied to it, and so also an overflow of it.
        headerLine_ = lineNumber;
        groupTargetFault_.reset();
        const std::int64_t product = static_cast<std::int64_t>(groupsPerExposure) * s.Exposure;
        if (FitsInt32(product)) {
            s.GroupTarget = static_cast<std::int32_t>(product);
        } else {
            s.GroupTarget = 0;
            groupTargetFault_ = Place(lineNumber) + ": overflow: the group target " +
                                std::to_string(groupsPerExposure) + " x " + std::to_string(s.Exposure) +
                                " (field 7 times field 6) does not fit in 32 bits";
        }
    }

    void ApplyHiRes(std::size_t lineNumber) {
        SceneSettings& s = scene_.settings;
        s.HiRes = true;
        if (groupTargetFault_) return;
        const std::int64_t product = static_cast<std::int64_t>(s.GroupTarget) * kHiResGroupFactor;
        if (FitsInt32(product)) {
            s.GroupTarget = static_cast<std::int32_t>(product);
        } else {
            groupTargetFault_ = Place(lineNumber) + ": overflow: the \"D\" line makes the group target " +
                                std::to_string(s.GroupTarget) + " x 16, which does not fit in 32 bits";
        }
    }

    void ReadTransform(std::string_view line, std::size_t lineNumber, TransformKind kind,
                       std::size_t fieldCount) {
        if (nextSlot_ >= static_cast<std::size_t>(kTransformSlots))
            Refuse(lineNumber, "more than " + std::to_string(kTransformSlots) + " transform lines");
        const std::vector<std::string_view> fields = FieldsOf(line, lineNumber, fieldCount, KindOf(line));
        TransformRec& record = scene_.transforms[nextSlot_];
        record.Kind = kind;
        record.Weight = ReadRealField(fields[1], Place(lineNumber, 1));
        for (std::size_t k = 2; k <= fieldCount; ++k)
            record.Coef[k - 2] = ReadRealField(fields[k], Place(lineNumber, k));
        slotLine_[nextSlot_] = lineNumber;
        ++nextSlot_;
    }

    // The derived values, with every value the engine, the tone mapping or
    // the export would divide by, or convert to a 32-bit integer, checked
    // first so that a broken scene is refused before any group runs.
    void Derive() {
        if (headerLine_ == 0) Refuse(0, "the scene has no header line (a line beginning with \"h\")");
        if (groupTargetFault_) throw MorvaError(*groupTargetFault_);
        const std::optional<SceneRefusal> refusal = DeriveSceneValues(scene_);
        if (!refusal) return;
        switch (refusal->concerns) {
            case SceneRefusal::Concerns::WholeFile:
                Refuse(0, refusal->reason);
            case SceneRefusal::Concerns::Header:
                Refuse(headerLine_, refusal->reason);
            case SceneRefusal::Concerns::Transform: {
                const std::size_t line = slotLine_[refusal->slot];
                throw MorvaError((line > 0 ? Place(line, 1) : Place(0)) + ": " + refusal->reason);
            }
        }
    }

    std::string_view fileName_;
    const NumberFormat& format_;
    Scene scene_;
    std::size_t headerLine_ = 0;
    std::size_t nextSlot_ = 0;
    std::array<std::size_t, kTransformSlots> slotLine_{};
    // A group target that left 32 bits, held until a later header line
    // replaces it or the end of the file makes it final.
    std::optional<std::string> groupTargetFault_;
};

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
    return SceneParser(fileName, startSeed, format).Parse(text);
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
