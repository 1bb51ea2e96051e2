// The MIDI byte parser against what real wires carry: running status, SysEx of any length, real
// time bytes inside messages, messages cut short, and the pieces RtMidi hands over.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "midi/midimessage.h"

namespace velorixa::midi {
namespace {

using Bytes = std::vector<std::uint8_t>;
MidiMessage make(MidiKind kind, int ch, int n, int v) {
    return {kind, static_cast<std::uint8_t>(ch), static_cast<std::uint8_t>(n),
            static_cast<std::uint8_t>(v)};
}
const auto cc = [](int ch, int n, int v) { return make(MidiKind::ControlChange, ch, n, v); };
const auto on = [](int ch, int n, int v) { return make(MidiKind::NoteOn, ch, n, v); };
const auto off = [](int ch, int n, int v) { return make(MidiKind::NoteOff, ch, n, v); };
const auto pc = [](int ch, int n) { return make(MidiKind::ProgramChange, ch, n, 0); };

Bytes sysex(size_t length) {
    Bytes b{0xF0};
    for (size_t i = 0; i < length; ++i)
        b.push_back(static_cast<std::uint8_t>(i & 0x7F));
    b.push_back(0xF7);
    return b;
}

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

struct Case {
    const char* name;
    Bytes bytes;
    std::vector<MidiMessage> expected;
};

TEST(MidiParser, ReadsWhatTheWireCarries) {
    const Case cases[] = {
        {"control change", {0xB0, 20, 64}, {cc(1, 20, 64)}},
        {"channel 16", {0xBF, 7, 127}, {cc(16, 7, 127)}},
        {"note on and off", {0x99, 36, 100, 0x89, 36, 0}, {on(10, 36, 100), off(10, 36, 0)}},
        {"note on with velocity 0 is off", {0x90, 60, 0}, {off(1, 60, 0)}},
        {"program change", {0xC2, 5}, {pc(3, 5)}},
        {"running status", {0xB0, 20, 1, 20, 2, 21, 3}, {cc(1, 20, 1), cc(1, 20, 2), cc(1, 21, 3)}},
        {"running status of notes", {0x90, 60, 90, 60, 0}, {on(1, 60, 90), off(1, 60, 0)}},
        {"running program changes", {0xC0, 1, 2}, {pc(1, 1), pc(1, 2)}},
        {"real time inside a message", {0xB0, 0xF8, 20, 0xFE, 64}, {cc(1, 20, 64)}},
        {"short SysEx between",
         join({{0xB0, 1, 2}, sysex(3), {0xB0, 3, 4}}),
         {cc(1, 1, 2), cc(1, 3, 4)}},
        {"long SysEx", join({sysex(70000), {0x90, 40, 50}}), {on(1, 40, 50)}},
        {"SysEx ends the running status", join({{0xB0, 1, 2}, sysex(1), {5, 6}}), {cc(1, 1, 2)}},
        {"SysEx without its end, then a status",
         join({{0xF0, 1, 2, 3}, {0xB0, 9, 9}}),
         {cc(1, 9, 9)}},
        {"message cut by a new status", {0xB0, 20, 0x90, 60, 70}, {on(1, 60, 70)}},
        {"data without a status", {20, 64, 0xB0, 1, 1}, {cc(1, 1, 1)}},
        {"system common ends the running status", {0xB0, 1, 1, 0xF2, 0, 0, 1, 1}, {cc(1, 1, 1)}},
        {"pitch bend and aftertouch are read past",
         {0xE0, 0, 64, 0xD0, 5, 0xA0, 1, 2, 0xB0, 4, 4},
         {cc(1, 4, 4)}},
        {"nothing", {}, {}},
    };
    for (const Case& c : cases) {
        MidiParser p;
        std::vector<MidiMessage> out;
        p.feed(c.bytes.data(), c.bytes.size(), out);
        EXPECT_EQ(out, c.expected) << c.name;
        // The same bytes one at a time: the parser keeps its state between pieces.
        MidiParser q;
        std::vector<MidiMessage> piecewise;
        for (std::uint8_t b : c.bytes)
            q.feed(&b, 1, piecewise);
        EXPECT_EQ(piecewise, c.expected) << c.name << " (byte by byte)";
    }
}

TEST(MidiParser, ResetDropsAMessageUnderWay) {
    MidiParser p;
    std::vector<MidiMessage> out;
    const Bytes half{0xB0, 20};
    p.feed(half.data(), half.size(), out);
    p.reset();  // unplugged in mid-message
    const Bytes rest{64, 0x90, 1, 2};
    p.feed(rest.data(), rest.size(), out);
    EXPECT_EQ(out, std::vector<MidiMessage>{on(1, 1, 2)});
}

TEST(MidiParser, BytesOfAMessageReadBackToIt) {
    for (const MidiMessage& m : {cc(3, 7, 99), on(10, 36, 127), off(1, 0, 0), pc(16, 127)}) {
        MidiParser p;
        std::vector<MidiMessage> out;
        const Bytes b = MidiBytes(m);
        p.feed(b.data(), b.size(), out);
        EXPECT_EQ(out, std::vector<MidiMessage>{m});
    }
}

}  // namespace
}  // namespace velorixa::midi
