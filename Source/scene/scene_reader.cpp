#include "scene/scene_reader.h"

#include <limits>
#include <vector>

#include "scene/fields.h"
#include "scene/scene_contract.h"

namespace morva {

namespace {

constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();

bool FitsInt32(std::int64_t value) { return value >= kInt32Min && value <= kInt32Max; }

class SceneReader {
public:
    SceneReader(std::string_view fileName, std::int32_t startSeed, const NumberFormat& format,
                ReadingReport* report)
        : fileName_(fileName), format_(format), report_(report) {
        reading_.scene.settings.RandSeed = startSeed;
        reading_.scene.settings.HighSpeed = true;
    }

    SceneReading Read(std::string_view text) {
        if (text.empty()) Refuse(0, "the scene file is empty");
        for (LineCursor cursor(text); const std::optional<NumberedLine> raw = cursor.Next();) {
            // Without a report nothing after the first fault is of use.
            if (reading_.refusal && !report_) break;
            const std::optional<std::string_view> line = UsableLine(raw->text);
            const SceneLine kind = KindOfSceneLine(line.value_or(raw->text));
            if (report_) report_->OnLine({raw->number, raw->text, line, kind});
            if (line) ReadLine(*line, raw->number, kind);
        }
        if (!reading_.refusal) Derive();
        return std::move(reading_);
    }

private:
    std::string Place(std::size_t line, std::size_t field = 0) const {
        return PlaceInFile(fileName_, line, field);
    }

    // Keeps the first fault; the reading goes on.
    void Fault(std::string message) {
        if (!reading_.refusal) reading_.refusal = std::move(message);
    }
    void Refuse(std::size_t line, const std::string& reason) { Fault(Place(line) + ": " + reason); }

    void ReadLine(std::string_view line, std::size_t lineNumber, SceneLine kind) {
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
                reading_.scene.settings.HighSpeed = false;
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
                                           const std::string& what) {
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

    // Field k as an integer (or a byte) of the user's number format; a field
    // the line lacks, or a fault, reads as 0.
    std::int32_t Integer(const std::vector<std::string_view>& fields, std::size_t lineNumber, std::size_t k,
                         FieldType type = FieldType::Integer) {
        if (k >= fields.size()) return 0;
        const std::int32_t minimum = type == FieldType::Byte ? 0 : std::numeric_limits<std::int32_t>::min();
        const std::int32_t maximum = type == FieldType::Byte ? 255 : std::numeric_limits<std::int32_t>::max();
        const IntegerReading reading = ParseIntegerText(fields[k], format_, minimum, maximum);
        if (report_) report_->OnField({lineNumber, k, fields[k], type, reading, {}});
        if (reading.fault == NumberFault::None) return reading.value;
        Fault(IntegerFaultMessage(reading, fields[k], Place(lineNumber, k), minimum, maximum));
        return 0;
    }

    double Real(const std::vector<std::string_view>& fields, std::size_t lineNumber, std::size_t k) {
        if (k >= fields.size()) return 0.0;
        const RealReading reading = ParseLenientReal(fields[k]);
        if (report_) report_->OnField({lineNumber, k, fields[k], FieldType::Real, {}, reading});
        if (reading.fault == NumberFault::None) return reading.value;
        Fault(RealFaultMessage(fields[k], Place(lineNumber, k)));
        return 0.0;
    }

    void ReadSeed(std::string_view line, std::size_t lineNumber) {
        const std::vector<std::string_view> fields =
            FieldsOf(line, lineNumber, FieldsRead(SceneLine::Seed), "the \"_setseed\" line");
        reading_.seedLine = lineNumber;
        reading_.scene.settings.RandSeed = Integer(fields, lineNumber, 1);
    }

    void ReadHeader(std::string_view line, std::size_t lineNumber) {
        const std::vector<std::string_view> fields =
            FieldsOf(line, lineNumber, FieldsRead(SceneLine::Header), KindOf(line) + " (a header)");
        SceneSettings& s = reading_.scene.settings;
        s.ScaleX = Integer(fields, lineNumber, 1);
        s.ScaleY = Integer(fields, lineNumber, 2);
        s.OffsetX = Integer(fields, lineNumber, 3);
        s.OffsetY = Integer(fields, lineNumber, 4);
        s.HitValue = static_cast<std::uint8_t>(Integer(fields, lineNumber, 5, FieldType::Byte));
        s.Exposure = Integer(fields, lineNumber, 6);
        const std::int32_t groupsPerExposure = Integer(fields, lineNumber, 7);
        s.TransformCount = Integer(fields, lineNumber, 8);

        // A header replaces everything an earlier one set, the group target
        // with any "D" factor applied to it, and so also an overflow of it.
        reading_.headerLine = lineNumber;
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
        SceneSettings& s = reading_.scene.settings;
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
        const bool fits = reading_.transformLines < static_cast<std::size_t>(kTransformSlots);
        if (!fits) Refuse(lineNumber, "more than " + std::to_string(kTransformSlots) + " transform lines");
        const std::vector<std::string_view> fields = FieldsOf(line, lineNumber, fieldCount, KindOf(line));
        TransformRec record;
        record.Kind = kind;
        record.Weight = Real(fields, lineNumber, 1);
        for (std::size_t k = 2; k <= fieldCount; ++k) record.Coef[k - 2] = Real(fields, lineNumber, k);
        if (!fits) return;
        reading_.scene.transforms[reading_.transformLines] = record;
        reading_.slotLine[reading_.transformLines] = lineNumber;
        ++reading_.transformLines;
    }

    // The derived values, with every value the engine, the tone mapping or
    // the export would divide by, or convert to a 32-bit integer, checked
    // first so that a broken scene is refused before any group runs.
    void Derive() {
        if (reading_.headerLine == 0) {
            Refuse(0, "the scene has no header line (a line beginning with \"h\")");
            return;
        }
        if (groupTargetFault_) {
            Fault(*groupTargetFault_);
            return;
        }
        const std::optional<SceneRefusal> refusal = DeriveSceneValues(reading_.scene);
        if (!refusal) return;
        switch (refusal->concerns) {
            case SceneRefusal::Concerns::WholeFile:
                Refuse(0, refusal->reason);
                break;
            case SceneRefusal::Concerns::Header:
                Refuse(reading_.headerLine, refusal->reason);
                break;
            case SceneRefusal::Concerns::Transform: {
                const std::size_t line = reading_.slotLine[refusal->slot];
                Fault((line > 0 ? Place(line, 1) : Place(0)) + ": " + refusal->reason);
                break;
            }
        }
    }

    std::string_view fileName_;
    const NumberFormat& format_;
    ReadingReport* report_;
    SceneReading reading_;
    // A group target that left 32 bits, held until a later header line
    // replaces it or the end of the file makes it final.
    std::optional<std::string> groupTargetFault_;
};

}  // namespace

std::string PlaceInFile(std::string_view fileName, std::size_t line, std::size_t field) {
    std::string place(fileName);
    if (line > 0) place += ", line " + std::to_string(line);
    if (field > 0) place += ", field " + std::to_string(field);
    return place;
}

SceneReading ReadScene(std::string_view text, std::int32_t startSeed, const NumberFormat& format,
                       std::string_view fileName, ReadingReport* report) {
    return SceneReader(fileName, startSeed, format, report).Read(text);
}

}  // namespace morva
