#include "midi/mapping.h"

#include <algorithm>
#include <cmath>

#include "controls/soundsetting.h"
#include "util/fspath.h"

namespace velorixa::midi {

namespace {

struct Named {
    const char* name;
    TargetKind kind;
    int first, last;  // index range; 0, 0 for none
};
constexpr Named kTargets[] = {
    {"volume", TargetKind::Volume, 0, 0},
    {"rotation-speed", TargetKind::RotationSpeed, 0, 0},
    {"master-volume", TargetKind::MasterVolume, 0, 0},
    {"pitch-low", TargetKind::PitchLow, 0, 0},
    {"pitch-high", TargetKind::PitchHigh, 0, 0},
    {"knob", TargetKind::Knob, 1, controls::kKnobCount},
    {"rotate", TargetKind::Rotate, 1, controls::kKnobCount},
    {"zero", TargetKind::Zero, 1, controls::kKnobCount},
    {"key", TargetKind::Key, 1, 26},
    {"initial-sound", TargetKind::InitialSound, 0, 0},
    {"style", TargetKind::Style, 1, 12},
    {"set", TargetKind::Set, 1, 8},
    {"play", TargetKind::Play, 0, 0},
    {"pause", TargetKind::Pause, 0, 0},
    {"stop", TargetKind::Stop, 0, 0},
    {"next", TargetKind::Next, 0, 0},
    {"previous", TargetKind::Previous, 0, 0},
    {"repeat", TargetKind::Repeat, 0, 0},
};

const Named* namedOf(TargetKind k) {
    for (const Named& n : kTargets)
        if (n.kind == k) return &n;
    return nullptr;
}

constexpr struct {
    const char* name;
    CcForm form;
} kForms[] = {{"absolute", CcForm::Absolute},
              {"relative-twos", CcForm::RelativeTwos},
              {"relative-offset", CcForm::RelativeOffset}};

constexpr struct {
    const char* name;
    SourceKind kind;
} kSources[] = {{"cc", SourceKind::ControlChange},
                {"note", SourceKind::Note},
                {"program", SourceKind::Program}};

std::optional<int> number(const QString& s, int lo, int hi) {
    bool ok = false;
    const int v = s.toInt(&ok);
    if (!ok || v < lo || v > hi) return std::nullopt;
    return v;
}

}  // namespace

bool IsValueTarget(TargetKind kind) {
    switch (kind) {
        case TargetKind::Volume:
        case TargetKind::RotationSpeed:
        case TargetKind::MasterVolume:
        case TargetKind::PitchLow:
        case TargetKind::PitchHigh:
        case TargetKind::Knob:
            return true;
        default:
            return false;
    }
}

ValueRange RangeOf(const Target& t) {
    switch (t.kind) {
        case TargetKind::Volume:
        case TargetKind::RotationSpeed:
            return {0, 100, 5, false};
        case TargetKind::MasterVolume:
            return {0, 100, 1, false};
        case TargetKind::PitchLow:
        case TargetKind::PitchHigh:
            return {50, 150, 2, false};
        case TargetKind::Knob: {
            const controls::KnobRange r = controls::KnobRangeOf(t.index);
            const bool upright = t.index >= controls::kKnobEqFirst;
            return {r.min, r.max, t.index == controls::kKnobPitch ? 5 : 10, upright};
        }
        default:
            return {0, 0, 0, false};
    }
}

int RelativeDelta(CcForm form, int value) {
    switch (form) {
        case CcForm::RelativeTwos:
            return value < 64 ? value : value - 128;
        case CcForm::RelativeOffset:
            return value - 64;
        case CcForm::Absolute:
            break;
    }
    return 0;
}

int AbsoluteValue(const ValueRange& r, int value) {
    const int span = r.max - r.min;
    const int v = static_cast<int>(std::lround(std::clamp(value, 0, 127) * span / 127.0));
    return r.upright ? r.max - v : r.min + v;
}

QString TargetText(const Target& t) {
    const Named* n = namedOf(t.kind);
    if (!n) return {};
    QString s = QString::fromLatin1(n->name);
    if (t.kind == TargetKind::Key) return s + QLatin1Char(' ') + QChar('A' + t.index - 1);
    if (n->first != 0) s += QLatin1Char(' ') + QString::number(t.index);
    return s;
}

std::optional<Target> ParseTarget(const QString& text) {
    const QStringList w = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (w.isEmpty() || w.size() > 2) return std::nullopt;
    for (const Named& n : kTargets) {
        if (w[0] != QLatin1String(n.name)) continue;
        if (n.first == 0) return w.size() == 1 ? std::optional(Target{n.kind, 0}) : std::nullopt;
        if (w.size() != 2) return std::nullopt;
        if (n.kind == TargetKind::Key) {
            const QString l = w[1];
            if (l.size() != 1 || l[0] < QLatin1Char('A') || l[0] > QLatin1Char('Z'))
                return std::nullopt;
            return Target{n.kind, l[0].unicode() - 'A' + 1};
        }
        if (auto i = number(w[1], n.first, n.last)) return Target{n.kind, *i};
        return std::nullopt;
    }
    return std::nullopt;
}

QString SourceText(const Source& s) {
    for (const auto& k : kSources)
        if (k.kind == s.kind)
            return QStringLiteral("%1 %2 %3")
                .arg(QLatin1String(k.name))
                .arg(s.channel)
                .arg(s.number);
    return {};
}

QString BindingText(const Binding& b) {
    QString s = SourceText(b.source) + QStringLiteral(" = ") + TargetText(b.target);
    if (b.form != CcForm::Absolute)
        for (const auto& f : kForms)
            if (f.form == b.form) s += QLatin1Char(' ') + QLatin1String(f.name);
    return s;
}

const Binding* Mapping::find(const Source& s) const {
    for (const Binding& b : bindings_)
        if (b.source == s) return &b;
    return nullptr;
}

void Mapping::bind(const Binding& b) {
    for (Binding& old : bindings_) {
        if (old.source == b.source) {
            old = b;
            return;
        }
    }
    bindings_.push_back(b);
}

void Mapping::removeAt(int index) {
    if (index >= 0 && index < static_cast<int>(bindings_.size()))
        bindings_.erase(bindings_.begin() + index);
}

QByteArray MappingText(const Mapping& m, const QString& controller) {
    QByteArray out = QByteArray(kMappingHeader) + '\n';
    QString name = controller;
    name.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    out += "# controller: " + name.toUtf8() + '\n';
    for (const Binding& b : m.bindings())
        out += BindingText(b).toUtf8() + '\n';
    return out;
}

MappingRead ParseMapping(const QByteArray& data) {
    MappingRead r;
    if (data.size() > kMappingMaxBytes) {
        r.why = QStringLiteral("the file is larger than a mapping can be");
        return r;
    }
    if (data.contains('\0')) {
        r.why = QStringLiteral("the file is not text");
        return r;
    }
    QList<QByteArray> lines = data.split('\n');
    if (lines.isEmpty() || lines[0].trimmed() != kMappingHeader) {
        r.why = QStringLiteral("the first line is not \"%1\"").arg(QLatin1String(kMappingHeader));
        return r;
    }
    for (int i = 1; i < lines.size(); ++i) {
        const QString line = QString::fromUtf8(lines[i]).simplified();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        auto skip = [&](const QString& why) {
            r.skipped << QStringLiteral("line %1: %2").arg(i + 1).arg(why);
        };
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0) {
            skip(QStringLiteral("no \"=\""));
            continue;
        }
        const QStringList src = line.left(eq).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QStringList right = line.mid(eq + 1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        Binding b;
        bool kindOk = false;
        if (src.size() == 3)
            for (const auto& k : kSources)
                if (src[0] == QLatin1String(k.name)) b.source.kind = k.kind, kindOk = true;
        const auto channel = src.size() == 3 ? number(src[1], 1, 16) : std::nullopt;
        const auto num = src.size() == 3 ? number(src[2], 0, 127) : std::nullopt;
        if (!kindOk || !channel || !num) {
            skip(QStringLiteral("no source \"%1\"").arg(line.left(eq).trimmed()));
            continue;
        }
        b.source.channel = *channel;
        b.source.number = *num;
        if (!right.isEmpty()) {
            for (const auto& f : kForms) {
                if (right.last() == QLatin1String(f.name)) {
                    b.form = f.form;
                    right.removeLast();
                    break;
                }
            }
        }
        const auto target = ParseTarget(right.join(QLatin1Char(' ')));
        if (!target) {
            skip(QStringLiteral("unknown target \"%1\"").arg(line.mid(eq + 1).trimmed()));
            continue;
        }
        b.target = *target;
        const bool value = IsValueTarget(b.target.kind);
        if (value && b.source.kind != SourceKind::ControlChange) {
            skip(QStringLiteral("only a control change turns %1").arg(TargetText(b.target)));
            continue;
        }
        if (b.form != CcForm::Absolute && (!value || b.source.kind != SourceKind::ControlChange)) {
            skip(QStringLiteral("an encoder form only goes with a control change and a value"));
            continue;
        }
        if (r.mapping.find(b.source)) {
            skip(QStringLiteral("%1 is bound on an earlier line").arg(SourceText(b.source)));
            continue;
        }
        r.mapping.bind(b);
    }
    r.ok = true;
    return r;
}

QString MappingFileName(const QString& controller) {
    QString s;
    for (QChar c : controller)
        s += c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_') ||
                     c == QLatin1Char('.')
                 ? c
                 : QLatin1Char('_');
    if (s.isEmpty()) s = QStringLiteral("controller");
    return QStringLiteral("midi-") + s.left(100) + QStringLiteral(".map");
}

QString MappingFolder() {
    QString base = util::PathFromBytes(qgetenv("XDG_CONFIG_HOME"));
    if (base.isEmpty() || !base.startsWith(QLatin1Char('/')))
        base = util::PathFromBytes(qgetenv("HOME")) + QStringLiteral("/.config");
    while (base.size() > 1 && base.endsWith(QLatin1Char('/')))
        base.chop(1);
    return base + QStringLiteral("/velorixa");
}

}  // namespace velorixa::midi
