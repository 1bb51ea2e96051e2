#include "midi/midimessage.h"

namespace velorixa::midi {

namespace {
int dataBytesOf(std::uint8_t status) {
    const int kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}
}  // namespace

void MidiParser::reset() {
    status_ = 0;
    have_ = 0;
    sysex_ = false;
}

void MidiParser::feed(const std::uint8_t* bytes, std::size_t n, std::vector<MidiMessage>& out) {
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t b = bytes[i];
        if (b >= 0xF8) continue;  // real time: clock, start, stop, sensing may come anywhere
        if (b == 0xF0) {
            sysex_ = true;
            status_ = 0;
            have_ = 0;
            continue;
        }
        if (b >= 0xF1) {  // the SysEx end and system common: no running status after them
            sysex_ = false;
            status_ = 0;
            have_ = 0;
            continue;
        }
        if (b >= 0x80) {  // a status ends an unfinished message and an unterminated SysEx
            sysex_ = false;
            status_ = b;
            have_ = 0;
            continue;
        }
        if (sysex_ || status_ == 0) continue;
        data_[have_++] = b;
        if (have_ < dataBytesOf(status_)) continue;
        have_ = 0;
        MidiMessage m;
        m.channel = static_cast<std::uint8_t>((status_ & 0x0F) + 1);
        m.number = data_[0];
        switch (status_ & 0xF0) {
            case 0x80:
                m.kind = MidiKind::NoteOff;
                m.value = data_[1];
                break;
            case 0x90:
                m.kind = data_[1] == 0 ? MidiKind::NoteOff : MidiKind::NoteOn;
                m.value = data_[1];
                break;
            case 0xB0:
                m.kind = MidiKind::ControlChange;
                m.value = data_[1];
                break;
            case 0xC0:
                m.kind = MidiKind::ProgramChange;
                break;
            default:
                continue;
        }
        out.push_back(m);
    }
}

std::vector<std::uint8_t> MidiBytes(const MidiMessage& m) {
    const auto ch = static_cast<std::uint8_t>((m.channel - 1) & 0x0F);
    switch (m.kind) {
        case MidiKind::NoteOn:
            return {static_cast<std::uint8_t>(0x90 | ch), m.number, m.value};
        case MidiKind::NoteOff:
            return {static_cast<std::uint8_t>(0x80 | ch), m.number, m.value};
        case MidiKind::ControlChange:
            return {static_cast<std::uint8_t>(0xB0 | ch), m.number, m.value};
        case MidiKind::ProgramChange:
            return {static_cast<std::uint8_t>(0xC0 | ch), m.number};
    }
    return {};
}

}  // namespace velorixa::midi
