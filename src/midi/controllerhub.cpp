#include "midi/controllerhub.h"

#include <QDir>
#include <QFile>
#include <cstdlib>

#include "util/fspath.h"
#include "util/readfile.h"
#include "util/textfile.h"

namespace velorixa::midi {

Source SourceOf(const MidiMessage& m) {
    Source s;
    s.channel = m.channel;
    s.number = m.number;
    switch (m.kind) {
        case MidiKind::ControlChange:
            s.kind = SourceKind::ControlChange;
            break;
        case MidiKind::NoteOn:
        case MidiKind::NoteOff:
            s.kind = SourceKind::Note;
            break;
        case MidiKind::ProgramChange:
            s.kind = SourceKind::Program;
            break;
    }
    return s;
}

ControllerHub::ControllerHub(ControllerDoors& doors, QString folder, QObject* parent)
    : QObject(parent), doors_(doors), folder_(std::move(folder)) {}

QString ControllerHub::mappingPath(const QString& controller) const {
    return folder_ + QLatin1Char('/') + MappingFileName(controller);
}

const Mapping& ControllerHub::mapping(const QString& controller) const {
    static const Mapping kNone;
    auto it = mappings_.find(controller);
    return it == mappings_.end() ? kNone : *it;
}

void ControllerHub::controllerAdded(const QString& name) {
    if (!present_.contains(name)) present_ << name;
    util::ReadOptions options;
    options.maxBytes = kMappingMaxBytes;
    const QString path = mappingPath(name);
    const util::FileRead file = util::ReadRegularFile(path, options);
    Mapping loaded;
    if (file.ok()) {
        MappingRead r = ParseMapping(file.data);
        if (!r.ok) {
            broken_.insert(name);
            emit message(QStringLiteral("Controller \"%1\": mapping %2 not loaded: %3")
                             .arg(name, util::PathForDisplay(path), r.why));
        } else {
            loaded = r.mapping;
            if (!r.skipped.isEmpty())
                emit message(QStringLiteral("Controller \"%1\": mapping lines left out: %2")
                                 .arg(name, r.skipped.join(QStringLiteral("; "))));
        }
    } else if (file.status != util::ReadStatus::Missing) {
        broken_.insert(name);
        emit message(QStringLiteral("Controller \"%1\": mapping %2 not loaded: %3")
                         .arg(name, util::PathForDisplay(path), file.reason));
    }
    mappings_.insert(name, loaded);
    emit mappingChanged(name);
}

void ControllerHub::controllerRemoved(const QString& name) {
    present_.removeAll(name);
    // A pad held when the cable came out never sends its note-off: it comes up here.
    for (auto it = down_.begin(); it != down_.end();) {
        if (std::get<0>(it->first) == name) {
            if (it->second) {
                Source s{static_cast<SourceKind>(std::get<1>(it->first)), std::get<2>(it->first),
                         std::get<3>(it->first)};
                if (const Binding* b = mapping(name).find(s)) doors_.release(b->target);
            }
            it = down_.erase(it);
        } else {
            ++it;
        }
    }
    for (auto it = lights_.begin(); it != lights_.end();)
        it = std::get<0>(it->first) == name ? lights_.erase(it) : std::next(it);
    emit mappingChanged(name);
}

void ControllerHub::startLearn() {
    learn_ = Learn::WantTarget;
    target_.reset();
    emit learnChanged(true, QStringLiteral("Learn: move a knob, press a key or choose a target"));
}

void ControllerHub::cancelLearn() {
    if (learn_ == Learn::Off) return;
    learn_ = Learn::Off;
    target_.reset();
    emit learnChanged(false, {});
}

void ControllerHub::learnTarget(const Target& t) {
    if (learn_ == Learn::Off) return;
    target_ = t;
    learn_ = Learn::WantSource;
    emit learnChanged(
        true, QStringLiteral("Learn %1: move a controller's knob or hit a pad").arg(TargetText(t)));
}

void ControllerHub::handle(const QString& controller, const ControllerEvent& e) {
    const Source s = SourceOf(e.message);
    ++handled_;
    if (learn_ == Learn::WantSource) {
        learnFrom(controller, s, e);
        return;
    }
    if (refine_) refine(controller, s, e.message.value);
    if (const Binding* b = mapping(controller).find(s)) apply(controller, *b, e);
}

void ControllerHub::apply(const QString& controller, const Binding& b, const ControllerEvent& e) {
    const MidiMessage& m = e.message;
    if (IsValueTarget(b.target.kind)) {
        if (m.kind != MidiKind::ControlChange) return;
        if (b.form == CcForm::Absolute) {
            applyAbsolute(controller, b, m.value, e.count > 1 ? e.first : -1);
            return;
        }
        const ValueRange r = RangeOf(b.target);
        int detents = b.form == CcForm::RelativeTwos ? e.twos : e.offset;
        if (r.upright) detents = -detents;  // turned up, the upright bar's thumb goes up
        const int now = doors_.value(b.target);
        const int v = std::clamp(now + detents * r.step, r.min, r.max);
        if (v != now) doors_.setValue(b.target, v);
        takes_.erase(keyOf(controller, b.source));
        return;
    }
    bool down = false;
    switch (m.kind) {
        case MidiKind::ProgramChange:
            doors_.press(b.target);
            doors_.release(b.target);
            return;
        case MidiKind::NoteOn:
            down = true;
            break;
        case MidiKind::NoteOff:
            down = false;
            break;
        case MidiKind::ControlChange:
            down = m.value >= 64;
            break;
    }
    bool& was = down_[keyOf(controller, b.source)];
    if (down == was) return;  // a foot switch repeating its state
    was = down;
    if (down)
        doors_.press(b.target);
    else
        doors_.release(b.target);
}

void ControllerHub::applyAbsolute(const QString& controller, const Binding& b, int hw, int first) {
    const ValueRange r = RangeOf(b.target);
    const int want = AbsoluteValue(r, hw);
    const int now = doors_.value(b.target);
    Take& t = takes_[keyOf(controller, b.source)];
    if (t.caught && now != t.lastSent) t.caught = false;  // moved by something else since
    if (!t.caught) {
        const int near = std::max(1, (r.max - r.min) / 50);
        // Passed over: the move from the hardware's last value (through the first of the values
        // coalesced into this event, for a fast move) to this one went over the value.
        int lo = want, hi = want;
        for (int v : {t.lastHw, first >= 0 ? AbsoluteValue(r, first) : -1}) {
            if (v < 0) continue;
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        const bool passed = lo < hi && lo <= now && now <= hi;
        t.caught = std::abs(want - now) <= near || passed;
    }
    t.lastHw = want;
    QString waiting;
    if (t.caught) {
        if (want != now) doors_.setValue(b.target, want);
        t.lastSent = doors_.value(b.target);
    } else {
        waiting = QStringLiteral("%1 waits: controller at %2, value at %3")
                      .arg(TargetText(b.target))
                      .arg(want)
                      .arg(now);
    }
    if (waiting != waiting_) {
        waiting_ = waiting;
        emit takeoverChanged(waiting_);
    }
}

void ControllerHub::learnFrom(const QString& controller, const Source& s,
                              const ControllerEvent& e) {
    // A note-off or a control change going back to 0 is the end of a touch, never a new one.
    if (e.message.kind == MidiKind::NoteOff) return;
    const Target t = *target_;
    if (IsValueTarget(t.kind) && s.kind != SourceKind::ControlChange) {
        emit learnChanged(
            true, QStringLiteral("Learn %1: only a knob or fader turns it").arg(TargetText(t)));
        return;
    }
    Binding b{s, t, CcForm::Absolute};
    Mapping& m = mappings_[controller];
    m.bind(b);
    if (s.kind == SourceKind::ControlChange && IsValueTarget(t.kind)) {
        refine_ = Refine{controller, s, {e.message.value, 0, 0}, 1};
        // The knob just touched stands where it is: the next move starts from there.
        Take& take = takes_[keyOf(controller, s)];
        take = Take{};
        take.lastHw = AbsoluteValue(RangeOf(t), e.message.value);
    } else {
        refine_.reset();
    }
    // A pad learnt down is held: its note-off is not a release of the target.
    if (!IsValueTarget(t.kind) && s.kind != SourceKind::Program)
        down_[keyOf(controller, s)] = false;
    learn_ = Learn::Off;
    target_.reset();
    save(controller);
    emit learnChanged(false, {});
    emit message(QStringLiteral("Controller \"%1\": %2").arg(controller, BindingText(b)));
    emit mappingChanged(controller);
}

void ControllerHub::refine(const QString& controller, const Source& s, int value) {
    if (refine_->controller != controller || !(refine_->source == s)) {
        refine_.reset();
        return;
    }
    refine_->values[refine_->seen++] = value;
    if (refine_->seen < 3) return;
    const int v = refine_->values[0];
    const bool same = refine_->values[1] == v && refine_->values[2] == v;
    CcForm form = CcForm::Absolute;
    if (same && ((v >= 1 && v <= 3) || (v >= 125 && v <= 127))) form = CcForm::RelativeTwos;
    if (same && ((v >= 61 && v <= 63) || (v >= 65 && v <= 67))) form = CcForm::RelativeOffset;
    refine_.reset();
    if (form == CcForm::Absolute) return;
    Mapping& m = mappings_[controller];
    if (const Binding* b = m.find(s)) {
        Binding changed = *b;
        changed.form = form;
        m.bind(changed);
        takes_.erase(keyOf(controller, s));
        save(controller);
        emit message(QStringLiteral("Controller \"%1\": %2").arg(controller, BindingText(changed)));
        emit mappingChanged(controller);
    }
}

void ControllerHub::removeBinding(const QString& controller, int index) {
    auto it = mappings_.find(controller);
    if (it == mappings_.end()) return;
    it->removeAt(index);
    save(controller);
    emit mappingChanged(controller);
}

void ControllerHub::save(const QString& controller) {
    QString error;
    const QString path = mappingPath(controller);
    QDir().mkpath(folder_);  // the configuration folder may not exist before the first binding
    // A file that could not be read is kept beside the new one, so the operator can mend it.
    if (broken_.remove(controller)) QFile::rename(path, path + QStringLiteral(".broken"));
    if (!util::SaveWhole(path, MappingText(mapping(controller), controller), &error))
        emit message(
            QStringLiteral("Controller \"%1\": mapping not saved: %2").arg(controller, error));
}

void ControllerHub::refreshLights() {
    if (!sendToController) return;
    for (const QString& c : present_) {
        for (const Binding& b : mapping(c).bindings()) {
            if (b.source.kind != SourceKind::Note || b.target.kind != TargetKind::Key) continue;
            const int state = doors_.keyState(b.target.index);
            const int velocity = state == 2 ? 127 : state == 1 ? 32 : 0;
            auto [it, fresh] = lights_.try_emplace({c, b.source.channel, b.source.number}, -1);
            if (!fresh && it->second == velocity) continue;
            it->second = velocity;
            MidiMessage m;
            m.kind = velocity ? MidiKind::NoteOn : MidiKind::NoteOff;
            m.channel = static_cast<std::uint8_t>(b.source.channel);
            m.number = static_cast<std::uint8_t>(b.source.number);
            m.value = static_cast<std::uint8_t>(velocity);
            sendToController(c, m);
        }
    }
}

}  // namespace velorixa::midi
