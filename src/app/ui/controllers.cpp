#include "app/ui/controllers.h"

#include <QTabWidget>

#include "app/ui/keyrouter.h"
#include "app/ui/messageline.h"
#include "app/ui/velmix.h"
#include "controls/effectcontrols.h"
#include "controls/soundcontrol.h"
#include "midi/midiinput.h"
#include "midi/ui/controllerpanel.h"
#include "perform/ui/performancekeys.h"
#include "perform/ui/performancepanel.h"
#include "perform/ui/styleeditor.h"
#include "playback/playback.h"

namespace velorixa {

using controls::Origin;
using midi::Target;
using midi::TargetKind;

namespace {
constexpr Origin kOrigin = Origin::Controller;

// The target a key command names while learn waits for one.
std::optional<Target> TargetOfKey(const app::KeyAction& a) {
    switch (a.command) {
        case app::KeyCommand::PerformanceKey:
            return Target{TargetKind::Key, a.arg};
        case app::KeyCommand::InitialSound:
            return Target{TargetKind::InitialSound, 0};
        case app::KeyCommand::LoadSet:
            return Target{TargetKind::Set, a.arg};
        case app::KeyCommand::Play:
            return Target{TargetKind::Play, 0};
        case app::KeyCommand::Stop:
            return Target{TargetKind::Stop, 0};
        case app::KeyCommand::Next:
            return Target{TargetKind::Next, 0};
        case app::KeyCommand::Previous:
            return Target{TargetKind::Previous, 0};
        case app::KeyCommand::TogglePause:
            return Target{TargetKind::Pause, 0};
        case app::KeyCommand::ToggleRepeat:
            return Target{TargetKind::Repeat, 0};
        case app::KeyCommand::MasterVolume:
            return Target{TargetKind::MasterVolume, 0};
        default:
            return std::nullopt;
    }
}
// The key command of a target a key has, and back.
std::optional<app::KeyAction> KeyOfTarget(const Target& t) {
    using app::KeyCommand;
    switch (t.kind) {
        case TargetKind::InitialSound:
            return app::KeyAction{KeyCommand::InitialSound, 0};
        case TargetKind::Set:
            return app::KeyAction{KeyCommand::LoadSet, t.index};
        case TargetKind::Play:
            return app::KeyAction{KeyCommand::Play, 0};
        case TargetKind::Stop:
            return app::KeyAction{KeyCommand::Stop, 0};
        case TargetKind::Next:
            return app::KeyAction{KeyCommand::Next, 0};
        case TargetKind::Previous:
            return app::KeyAction{KeyCommand::Previous, 0};
        case TargetKind::Pause:
            return app::KeyAction{KeyCommand::TogglePause, 0};
        case TargetKind::Repeat:
            return app::KeyAction{KeyCommand::ToggleRepeat, 0};
        default:
            return std::nullopt;
    }
}

}  // namespace

Controllers::Controllers(VelMix& w, Options options, QObject* parent) : QObject(parent), w_(w) {
    const QString folder = options.folder.isEmpty() ? midi::MappingFolder() : options.folder;
    hub_ = std::make_unique<midi::ControllerHub>(*this, folder);
    // In the "Clear" frame of the "Settings" page, beside and under "Clear".
    panel_ = new midi::ControllerPanel(
        w_.page(3), {QRect(336, 352, 44, 20), QRect(384, 352, 48, 20), QRect(248, 376, 184, 24)},
        *hub_, this);

    connect(hub_.get(), &midi::ControllerHub::message, this,
            [this](const QString& text) { w_.messageLine().showMessage(text); });
    connect(&w_.keyRouter(), &KeyRouter::controllerLearnPressed, panel_,
            &midi::ControllerPanel::toggleLearn);
    w_.keyRouter().learnKey = [this](const app::KeyAction& a) {
        if (!hub_->learning()) return false;
        if (auto t = TargetOfKey(a)) hub_->learnTarget(*t);
        return true;  // while learning no command acts
    };
    controls::SoundControl& sound = w_.soundControl();
    connect(&sound, &controls::SoundControl::volumeChanged, this, [this](int, Origin o) {
        learnFromSound({TargetKind::Volume, 0}, o);
    });
    connect(&sound, &controls::SoundControl::rotationSpeedChanged, this,
            [this](int, int, Origin o) {
                learnFromSound({TargetKind::RotationSpeed, 0}, o);
            });
    connect(&sound, &controls::SoundControl::knobChanged, this, [this](int knob, int, Origin o) {
        learnFromSound({TargetKind::Knob, knob}, o);
    });
    connect(&sound, &controls::SoundControl::pitchRangeChanged, this,
            [this, low = sound.setting().pitchRangeLowPct](int lo, int, Origin o) mutable {
                learnFromSound({lo != low ? TargetKind::PitchLow : TargetKind::PitchHigh, 0}, o);
                low = lo;
            });

    if (options.alsa) {
        midi::MidiInput::Options o;
        o.api = midi::MidiApi::Alsa;
        o.pollMs = options.pollMs;
        inputs_.push_back(std::make_unique<midi::MidiInput>(o));
    }
    if (options.jack) {
        midi::MidiInput::Options o;
        o.api = midi::MidiApi::Jack;
        o.pollMs = options.pollMs;
        inputs_.push_back(std::make_unique<midi::MidiInput>(o));
    }
    for (auto& in : inputs_) {
        midi::MidiInput* input = in.get();
        connect(input, &midi::MidiInput::eventsReady, this, &Controllers::drain,
                Qt::QueuedConnection);
        connect(input, &midi::MidiInput::controllerAdded, hub_.get(),
                &midi::ControllerHub::controllerAdded, Qt::QueuedConnection);
        connect(input, &midi::MidiInput::controllerRemoved, hub_.get(),
                &midi::ControllerHub::controllerRemoved, Qt::QueuedConnection);
    }
    hub_->sendToController = [this](const QString& c, const midi::MidiMessage& m) {
        for (auto& in : inputs_)
            in->send(c, m);
    };
    lights_.setInterval(100);
    connect(&lights_, &QTimer::timeout, hub_.get(), &midi::ControllerHub::refreshLights);
    lights_.start();
    for (auto& in : inputs_)
        in->start();
    // The inputs stop before the window's parts they reach go.
    w_.addShutdownStep([this] {
        lights_.stop();
        for (auto& in : inputs_)
            in->stop();
    });
}

Controllers::~Controllers() {
    for (auto& in : inputs_)
        in->stop();
}

void Controllers::drain() {
    for (auto& in : inputs_) {
        for (const midi::ControllerEvent& e : in->take())
            hub_->handle(in->controllerOf(e.port), e);
    }
}

void Controllers::learnFromSound(const Target& t, Origin origin) {
    if (origin == Origin::Operator && hub_->learning() && !hub_->pendingTarget())
        hub_->learnTarget(t);
}

int Controllers::value(const Target& t) const {
    const controls::SoundSetting& s = w_.soundControl().setting();
    switch (t.kind) {
        case TargetKind::Volume:
            return s.volumePct;
        case TargetKind::RotationSpeed:
            return s.rotationSpeed;
        case TargetKind::MasterVolume:
            return w_.playback().masterVolume();
        case TargetKind::PitchLow:
            return s.pitchRangeLowPct;
        case TargetKind::PitchHigh:
            return s.pitchRangeHighPct;
        case TargetKind::Knob:
            return t.index >= 1 && t.index <= controls::kKnobCount
                       ? s.knobs[static_cast<size_t>(t.index)].value
                       : 0;
        default:
            return 0;
    }
}

void Controllers::setValue(const Target& t, int v) {
    controls::EffectControls& fx = w_.effectControls();
    const controls::SoundSetting& s = w_.soundControl().setting();
    switch (t.kind) {
        case TargetKind::Volume:
            fx.ScrVOL_Change(v, kOrigin);
            break;
        case TargetKind::RotationSpeed:
            fx.ScrROT_Change(v, kOrigin);
            break;
        case TargetKind::MasterVolume:
            w_.playback().setMasterVolume(v);
            break;
        case TargetKind::PitchLow:
            fx.ScrFRQ_Change(v, s.pitchRangeHighPct, kOrigin);
            break;
        case TargetKind::PitchHigh:
            fx.ScrFRQ_Change(s.pitchRangeLowPct, v, kOrigin);
            break;
        case TargetKind::Knob:
            fx.ScrBar_Change(t.index, v, kOrigin);
            break;
        default:
            break;
    }
}

void Controllers::press(const Target& t) {
    KeyRouter& keys = w_.keyRouter();
    switch (t.kind) {
        case TargetKind::Rotate:
            w_.effectControls().RotBut_Click(t.index, kOrigin);
            break;
        case TargetKind::Zero:
            w_.effectControls().ZerBut_Click(t.index, kOrigin);
            break;
        case TargetKind::Key:
            // As its letter: a key without a setting does nothing.
            if (w_.performance().keyEnabled(t.index))
                keys.Command({app::KeyCommand::PerformanceKey, t.index}, kOrigin);
            break;
        case TargetKind::Style:
            w_.performance().styles().pressStyle(t.index);
            break;
        default:
            if (const auto key = KeyOfTarget(t)) keys.Command(*key, kOrigin);
            break;
    }
}

void Controllers::release(const Target& t) {
    if (const auto key = KeyOfTarget(t))
        w_.keyRouter().Release(app::ReleaseOfCommand(key->command));
}

int Controllers::keyState(int k) const {
    perform::PerformancePanel& perf = w_.performance();
    if (!perf.keyEnabled(k)) return 0;
    return perf.keys().keyDown(k) ? 2 : 1;
}

}  // namespace velorixa
