// Mapping files as people and programs leave them: garbage, duplicates, unknown targets, no
// header; and the value arithmetic of knobs, faders and encoders.
#include <gtest/gtest.h>

#include "midi/mapping.h"

namespace velorixa::midi {
namespace {

QByteArray file(const char* body) {
    return QByteArray(kMappingHeader) + "\n" + body;
}

TEST(MappingFile, BrokenFilesLoadNothingAndSayWhy) {
    struct Case {
        const char* name;
        QByteArray data;
        const char* why;
    } cases[] = {
        {"empty", "", "first line"},
        {"no header", "cc 1 20 = knob 2\n", "first line"},
        {"another header", "# Velorixa controller mapping 2\ncc 1 20 = knob 2\n", "first line"},
        {"binary", file("cc 1 20 = knob 2\n") + QByteArray("\0\1\2", 3), "not text"},
        {"too large", file("") + QByteArray(kMappingMaxBytes, '#'), "larger"},
    };
    for (const Case& c : cases) {
        const MappingRead r = ParseMapping(c.data);
        EXPECT_FALSE(r.ok) << c.name;
        EXPECT_TRUE(r.mapping.empty()) << c.name;
        EXPECT_TRUE(r.why.contains(QLatin1String(c.why))) << c.name << ": " << r.why.toStdString();
    }
}

TEST(MappingFile, BadLinesAreLeftOutAndTheRestWorks) {
    const char* good[] = {
        "cc 1 20 = knob 2",
        "cc 1 21 = knob 2 relative-twos",
        "cc 2 22 = volume relative-offset",
        "note 10 36 = key A",
        "note 10 37 = initial-sound",
        "program 1 2 = set 3",
        "cc 16 127 = master-volume",
        "note 1 1 = style 12",
        "cc 1 64 = stop",
        "  cc   1  65   =   zero 9  ",
    };
    const struct {
        const char *line, *why;
    } bad[] = {
        {"cc 1 20 = volume", "bound on an earlier line"},
        {"cc 1 30 = warp 3", "unknown target"},
        {"cc 1 31 = knob 10", "unknown target"},
        {"cc 1 32 = key a", "unknown target"},
        {"cc 1 33 = set 9", "unknown target"},
        {"cc 1 34 = play 1", "unknown target"},
        {"cc 1 35 =", "unknown target"},
        {"cc 17 1 = volume", "no source"},
        {"cc 1 128 = volume", "no source"},
        {"pb 1 1 = volume", "no source"},
        {"cc 1 = volume", "no source"},
        {"note 1 40 = knob 2", "only a control change"},
        {"note 1 41 = key B relative-twos", "encoder form"},
        {"\xff\xfe garbage \x01", "no \"=\""},
        {"cc 1 42 knob 2", "no \"=\""},
    };
    // Each line followed by a comment and a blank line: the good ones are lines 2, 5, 8 ...
    QByteArray body;
    for (const char* line : good)
        body += QByteArray(line) + "\n# a comment\n\n";
    for (const auto& c : bad)
        body += QByteArray(c.line) + "\n# a comment\n\n";
    const MappingRead r = ParseMapping(file(body.constData()));
    ASSERT_TRUE(r.ok) << r.why.toStdString();
    EXPECT_EQ(r.mapping.bindings().size(), std::size(good));
    ASSERT_EQ(r.skipped.size(), qsizetype(std::size(bad))) << r.skipped.join('|').toStdString();
    for (size_t i = 0; i < std::size(bad); ++i) {
        const QString& why = r.skipped[qsizetype(i)];
        EXPECT_TRUE(why.startsWith(QStringLiteral("line %1: ").arg(2 + 3 * (std::size(good) + i))))
            << why.toStdString();
        EXPECT_TRUE(why.contains(QLatin1String(bad[i].why)))
            << bad[i].line << ": " << why.toStdString();
    }
    // The first binding of a source stays.
    const Binding* b = r.mapping.find({SourceKind::ControlChange, 1, 20});
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->target, (Target{TargetKind::Knob, 2}));
    EXPECT_EQ(r.mapping.find({SourceKind::ControlChange, 2, 22})->form, CcForm::RelativeOffset);
    EXPECT_EQ(r.mapping.find({SourceKind::Note, 10, 36})->target, (Target{TargetKind::Key, 1}));
    EXPECT_EQ(r.mapping.find({SourceKind::Program, 1, 2})->target, (Target{TargetKind::Set, 3}));
}

TEST(MappingFile, WrittenTextReadsBackTheSame) {
    Mapping m;
    m.bind({{SourceKind::ControlChange, 1, 20}, {TargetKind::Knob, 2}, CcForm::RelativeTwos});
    m.bind({{SourceKind::Note, 10, 36}, {TargetKind::Key, 26}, CcForm::Absolute});
    m.bind({{SourceKind::Program, 16, 0}, {TargetKind::Set, 8}, CcForm::Absolute});
    m.bind({{SourceKind::ControlChange, 1, 21}, {TargetKind::PitchHigh, 0}, CcForm::Absolute});
    // Binding a source again replaces its target.
    m.bind({{SourceKind::ControlChange, 1, 20}, {TargetKind::Knob, 3}, CcForm::RelativeOffset});
    ASSERT_EQ(m.bindings().size(), 4u);
    const MappingRead r = ParseMapping(MappingText(m, QStringLiteral("Pad:Box\nX")));
    ASSERT_TRUE(r.ok);
    EXPECT_TRUE(r.skipped.isEmpty()) << r.skipped.join(',').toStdString();
    EXPECT_EQ(r.mapping, m);
}

TEST(MappingFile, EveryTargetNameReadsBack) {
    for (TargetKind k = TargetKind::Volume; k <= TargetKind::Repeat;
         k = static_cast<TargetKind>(static_cast<int>(k) + 1)) {
        // Each target reads back from its text with its index (none, or 1 and 8).
        int readBack = 0;
        for (int index : {0, 1, 8}) {
            const Target t{k, index};
            const auto back = ParseTarget(TargetText(t));
            readBack += back && *back == t;
        }
        EXPECT_TRUE(readBack == 1 || readBack == 2) << TargetText({k, 1}).toStdString();
    }
    EXPECT_EQ(ParseTarget(QStringLiteral("key Z")), (Target{TargetKind::Key, 26}));
    EXPECT_EQ(ParseTarget(QStringLiteral("knob 0")), std::nullopt);
}

TEST(MappingFile, FileNamesAreSafe) {
    EXPECT_EQ(MappingFileName(QStringLiteral("nanoKONTROL2")), "midi-nanoKONTROL2.map");
    EXPECT_EQ(MappingFileName(QStringLiteral("../../etc/x:y z")), "midi-.._.._etc_x_y_z.map");
    EXPECT_EQ(MappingFileName(QString()), "midi-controller.map");
}

TEST(ControllerValues, EncodersAndKnobsGiveTheirValues) {
    struct Rel {
        CcForm form;
        int value, delta;
    } rel[] = {
        {CcForm::RelativeTwos, 1, 1},     {CcForm::RelativeTwos, 3, 3},
        {CcForm::RelativeTwos, 127, -1},  {CcForm::RelativeTwos, 65, -63},
        {CcForm::RelativeTwos, 64, -64},  {CcForm::RelativeTwos, 0, 0},
        {CcForm::RelativeOffset, 64, 0},  {CcForm::RelativeOffset, 65, 1},
        {CcForm::RelativeOffset, 63, -1}, {CcForm::RelativeOffset, 0, -64},
        {CcForm::Absolute, 100, 0},
    };
    for (const Rel& r : rel)
        EXPECT_EQ(RelativeDelta(r.form, r.value), r.delta) << r.value;
    struct Abs {
        Target target;
        int value, expected;
    } abs[] = {
        {{TargetKind::Knob, 2}, 0, 50},     {{TargetKind::Knob, 2}, 127, 150},
        {{TargetKind::Knob, 2}, 64, 100},   {{TargetKind::Knob, 1}, 64, 101},
        {{TargetKind::Knob, 6}, 127, 0},    {{TargetKind::Knob, 6}, 0, 100},  // upright
        {{TargetKind::Knob, 3}, 127, 0},    {{TargetKind::Volume, 0}, 127, 100},
        {{TargetKind::PitchLow, 0}, 0, 50}, {{TargetKind::MasterVolume, 0}, 200, 100},
    };
    for (const Abs& a : abs)
        EXPECT_EQ(AbsoluteValue(RangeOf(a.target), a.value), a.expected)
            << TargetText(a.target).toStdString() << " " << a.value;
}

}  // namespace
}  // namespace velorixa::midi
