// What controller events do to the targets, without a window: soft take-over, encoders, pads
// held and released, learn, a controller unplugged with a pad down, and the lights.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTemporaryDir>
#include <atomic>
#include <map>
#include <thread>

#include "midi/controllerhub.h"
#include "util/textfile.h"

namespace velorixa::midi {
namespace {

// Targets as plain values; presses and releases written down.
class FakeDoors : public ControllerDoors {
  public:
    int value(const Target& t) const override {
        auto it = values.find(TargetText(t));
        return it == values.end() ? RangeOf(t).min : it->second;
    }
    void setValue(const Target& t, int v) override {
        values[TargetText(t)] = v;
        log.push_back("set " + TargetText(t) + " " + QString::number(v));
    }
    void press(const Target& t) override { log.push_back("press " + TargetText(t)); }
    void release(const Target& t) override { log.push_back("release " + TargetText(t)); }
    int keyState(int k) const override { return keys[k]; }

    std::map<QString, int> values;
    QStringList log;
    int keys[27] = {};
};

ControllerEvent ev(MidiKind kind, int ch, int n, int v) {
    ControllerEvent e;
    e.message = {kind, static_cast<std::uint8_t>(ch), static_cast<std::uint8_t>(n),
                 static_cast<std::uint8_t>(v)};
    e.twos = RelativeDelta(CcForm::RelativeTwos, v);
    e.offset = RelativeDelta(CcForm::RelativeOffset, v);
    return e;
}
ControllerEvent cc(int n, int v) {
    return ev(MidiKind::ControlChange, 1, n, v);
}

class HubTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        hub_ = std::make_unique<ControllerHub>(doors_, dir_.path());
    }
    void bindFile(const char* lines) {
        QString err;
        ASSERT_TRUE(util::SaveWhole(hub_->mappingPath(kPad),
                                    QByteArray(kMappingHeader) + "\n" + lines, &err));
        hub_->controllerAdded(kPad);
    }
    const QString kPad = QStringLiteral("Pad Box");
    QTemporaryDir dir_;
    FakeDoors doors_;
    std::unique_ptr<ControllerHub> hub_;
};

TEST_F(HubTest, AbsoluteKnobTakesOverSoftly) {
    bindFile("cc 1 20 = knob 2\n");
    doors_.values["knob 2"] = 100;
    QSignalSpy waits(hub_.get(), &ControllerHub::takeoverChanged);
    // The hardware stands low: the pitch stays where it is until the knob reaches it.
    struct Step {
        int cc, expect;
        bool waiting;
    } steps[] = {
        {0, 100, true},     // 50: far below, no jump
        {30, 100, true},    // 74: still below
        {63, 100, false},   // 100: reached, taken over
        {80, 113, false},   // following now
        {127, 150, false},  // to the top
    };
    for (const Step& s : steps) {
        hub_->handle(kPad, cc(20, s.cc));
        EXPECT_EQ(doors_.values["knob 2"], s.expect) << s.cc;
        ASSERT_FALSE(waits.isEmpty());
        EXPECT_EQ(waits.last().at(0).toString().isEmpty(), !s.waiting) << s.cc;
    }
    // A key recall moves the knob: the hardware waits again, and one move past it takes over.
    doors_.values["knob 2"] = 70;
    hub_->handle(kPad, cc(20, 120));  // 144: far above 70
    EXPECT_EQ(doors_.values["knob 2"], 70);
    hub_->handle(kPad, cc(20, 10));  // 58: passed over 70 in one move
    EXPECT_EQ(doors_.values["knob 2"], 58);
}

TEST_F(HubTest, EncodersTurnBySteps) {
    bindFile(
        "cc 1 21 = knob 2 relative-twos\ncc 1 22 = knob 6 relative-offset\n"
        "cc 1 23 = volume relative-twos\n");
    doors_.values["knob 2"] = 100;
    doors_.values["knob 6"] = 100;
    doors_.values["volume"] = 50;
    struct Step {
        ControllerEvent e;
        const char* target;
        int expect;
    } steps[] = {
        {cc(21, 1), "knob 2", 105},   {cc(21, 1), "knob 2", 110},
        {cc(21, 127), "knob 2", 105}, {cc(21, 63), "knob 2", 150},  // clamped
        {cc(22, 65), "knob 6", 90},   // upright: up one detent is 10 toward the top (0)
        {cc(22, 62), "knob 6", 100},  // down two, clamped at the bottom
        {cc(23, 2), "volume", 60},
    };
    for (const Step& s : steps) {
        hub_->handle(kPad, s.e);
        EXPECT_EQ(doors_.values[s.target], s.expect) << s.target;
    }
    // Coalesced detents count whole.
    ControllerEvent many = cc(21, 127);
    many.twos = -4;
    hub_->handle(kPad, many);
    EXPECT_EQ(doors_.values["knob 2"], 130);
}

TEST_F(HubTest, PadsPressAndReleaseOncePerTouch) {
    bindFile(
        "note 10 36 = key A\nnote 10 37 = initial-sound\ncc 1 64 = next\n"
        "program 1 2 = set 3\n");
    struct Step {
        ControllerEvent e;
        QStringList logged;
    } steps[] = {
        {ev(MidiKind::NoteOn, 10, 36, 100), {"press key A"}},
        {ev(MidiKind::NoteOff, 10, 36, 0), {"release key A"}},
        {ev(MidiKind::NoteOn, 10, 37, 90), {"press initial-sound"}},
        {ev(MidiKind::NoteOn, 10, 37, 91), {}},  // still down
        {ev(MidiKind::NoteOff, 10, 37, 0), {"release initial-sound"}},
        {cc(64, 127), {"press next"}},  // a foot switch
        {cc(64, 127), {}},
        {cc(64, 0), {"release next"}},
        // A program change is a press and its release at once.
        {ev(MidiKind::ProgramChange, 1, 2, 0), {"press set 3", "release set 3"}},
        {ev(MidiKind::NoteOn, 10, 50, 100), {}},  // not bound
        {ev(MidiKind::NoteOn, 9, 36, 100), {}},   // another channel
    };
    for (const Step& s : steps) {
        doors_.log.clear();
        hub_->handle(kPad, s.e);
        EXPECT_EQ(doors_.log, s.logged) << s.logged.join(',').toStdString();
    }
    // Unplugged with "Initial Sound" held: it comes up.
    hub_->handle(kPad, ev(MidiKind::NoteOn, 10, 37, 90));
    doors_.log.clear();
    hub_->controllerRemoved(kPad);
    EXPECT_EQ(doors_.log, QStringList{"release initial-sound"});
}

TEST_F(HubTest, LearnBindsTheNextTouchAndKeepsIt) {
    hub_->controllerAdded(kPad);
    QSignalSpy learn(hub_.get(), &ControllerHub::learnChanged);
    struct Case {
        Target target;
        std::vector<ControllerEvent> touches;
        const char* line;
    } cases[] = {
        {{TargetKind::Knob, 2}, {cc(20, 10), cc(20, 11), cc(20, 12)}, "cc 1 20 = knob 2"},
        {{TargetKind::Knob, 3},
         {cc(21, 1), cc(21, 1), cc(21, 1)},
         "cc 1 21 = knob 3 relative-twos"},
        {{TargetKind::Volume, 0},
         {cc(22, 63), cc(22, 63), cc(22, 63)},
         "cc 1 22 = volume relative-offset"},
        {{TargetKind::Key, 1},
         {ev(MidiKind::NoteOff, 10, 35, 0), ev(MidiKind::NoteOn, 10, 36, 100)},
         "note 10 36 = key A"},
        {{TargetKind::Set, 3}, {ev(MidiKind::ProgramChange, 1, 2, 0)}, "program 1 2 = set 3"},
    };
    for (const Case& c : cases) {
        hub_->startLearn();
        EXPECT_TRUE(hub_->learning());
        // Before a target is named, touches act as ever (nothing bound here yet).
        hub_->learnTarget(c.target);
        doors_.log.clear();
        for (const ControllerEvent& e : c.touches)
            hub_->handle(kPad, e);
        EXPECT_FALSE(hub_->learning()) << c.line;
        EXPECT_FALSE(learn.last().at(0).toBool());
        const auto& b = hub_->mapping(kPad).bindings();
        ASSERT_FALSE(b.empty());
        EXPECT_EQ(BindingText(b.back()), QString::fromLatin1(c.line));
        EXPECT_FALSE(doors_.log.contains("press " + TargetText(c.target)))
            << "the touch that binds does not act";
    }
    // A note cannot turn a knob: learn keeps waiting.
    hub_->startLearn();
    hub_->learnTarget({TargetKind::Knob, 5});
    hub_->handle(kPad, ev(MidiKind::NoteOn, 1, 1, 1));
    EXPECT_TRUE(hub_->learning());
    hub_->cancelLearn();
    EXPECT_FALSE(hub_->learning());

    // The bindings survive a restart: a new hub reads the file written.
    FakeDoors doors2;
    ControllerHub again(doors2, dir_.path());
    again.controllerAdded(kPad);
    EXPECT_EQ(again.mapping(kPad), hub_->mapping(kPad));
    // Removed, and the removal is kept too.
    hub_->removeBinding(kPad, 0);
    ControllerHub third(doors2, dir_.path());
    third.controllerAdded(kPad);
    EXPECT_EQ(third.mapping(kPad).bindings().size(), 4u);
    EXPECT_EQ(third.mapping(kPad).find({SourceKind::ControlChange, 1, 20}), nullptr);
}

TEST_F(HubTest, BrokenFileLoadsNothingSaysWhyAndIsKeptAside) {
    QString err;
    ASSERT_TRUE(util::SaveWhole(hub_->mappingPath(kPad), "cc 1 20 = knob 2\n", &err));
    QSignalSpy messages(hub_.get(), &ControllerHub::message);
    hub_->controllerAdded(kPad);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0][0].toString().contains("not loaded"))
        << messages[0][0].toString().toStdString();
    EXPECT_TRUE(hub_->mapping(kPad).empty());
    doors_.values["knob 2"] = 100;
    hub_->handle(kPad, cc(20, 100));
    EXPECT_TRUE(doors_.log.isEmpty());
    // A binding learnt afterwards is written; the broken file stays beside it.
    hub_->startLearn();
    hub_->learnTarget({TargetKind::Stop, 0});
    hub_->handle(kPad, cc(64, 127));
    EXPECT_TRUE(QFile::exists(hub_->mappingPath(kPad) + ".broken"));
    ControllerHub again(doors_, dir_.path());
    again.controllerAdded(kPad);
    EXPECT_EQ(again.mapping(kPad).bindings().size(), 1u);
}

TEST_F(HubTest, PadsOfKeysWithSettingsLight) {
    bindFile("note 10 36 = key A\nnote 10 37 = key B\nnote 10 38 = stop\n");
    std::vector<MidiMessage> sent;
    hub_->sendToController = [&](const QString& c, const MidiMessage& m) {
        EXPECT_EQ(c, kPad);
        sent.push_back(m);
    };
    doors_.keys[1] = 1;  // A holds a setting
    hub_->refreshLights();
    ASSERT_EQ(sent.size(), 2u);  // every pad of a key told once; the stop pad has no light
    EXPECT_EQ(sent[0], (MidiMessage{MidiKind::NoteOn, 10, 36, 32}));
    EXPECT_EQ(sent[1], (MidiMessage{MidiKind::NoteOff, 10, 37, 0}));
    sent.clear();
    hub_->refreshLights();
    EXPECT_TRUE(sent.empty()) << "nothing changed, nothing sent";
    doors_.keys[1] = 2;  // pressed
    hub_->refreshLights();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], (MidiMessage{MidiKind::NoteOn, 10, 36, 127}));
}

TEST(EventMailbox, CoalescesKnobsKeepsNotesInOrder) {
    EventMailbox box;
    auto m = [](MidiKind k, int n, int v) {
        return MidiMessage{k, 1, static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(v)};
    };
    EXPECT_TRUE(box.push(1, m(MidiKind::ControlChange, 20, 10)));
    EXPECT_FALSE(box.push(1, m(MidiKind::NoteOn, 36, 100)));
    EXPECT_FALSE(box.push(1, m(MidiKind::ControlChange, 20, 127)));
    EXPECT_FALSE(box.push(2, m(MidiKind::ControlChange, 20, 1)));  // another port
    EXPECT_FALSE(box.push(1, m(MidiKind::NoteOff, 36, 0)));
    EXPECT_FALSE(box.push(1, m(MidiKind::ControlChange, 20, 1)));
    const auto got = box.take();
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].message.value, 1) << "the last value";
    EXPECT_EQ(got[0].count, 3);
    EXPECT_EQ(got[0].twos, 10 - 1 + 1);
    EXPECT_EQ(got[0].offset, (10 - 64) + (127 - 64) + (1 - 64));
    EXPECT_EQ(got[1].message.kind, MidiKind::NoteOn);
    EXPECT_EQ(got[2].port, 2);
    EXPECT_EQ(got[3].message.kind, MidiKind::NoteOff);
    EXPECT_TRUE(box.take().empty());
    EXPECT_TRUE(box.push(1, m(MidiKind::ControlChange, 20, 5))) << "empty again: wakes";
}

TEST(EventMailbox, ThreadsHandOverEveryDetent) {
    EventMailbox box;
    constexpr int kPerThread = 20000;
    auto writer = [&](int port) {
        for (int i = 0; i < kPerThread; ++i)
            box.push(port, {MidiKind::ControlChange, 1, 20, 1});  // +1 detent each
    };
    std::atomic<bool> done{false};
    std::thread a(writer, 1), b(writer, 2);
    std::thread joiner([&] {
        a.join();
        b.join();
        done = true;
    });
    long total = 0;
    auto drain = [&] {
        for (const ControllerEvent& e : box.take()) {
            total += e.twos;
            EXPECT_EQ(e.message.value, 1);
        }
    };
    while (!done)
        drain();
    joiner.join();
    drain();
    EXPECT_EQ(total, 2L * kPerThread);
}

}  // namespace
}  // namespace velorixa::midi
