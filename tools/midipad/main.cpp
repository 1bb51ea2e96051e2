// velorixa-midipad: a controller played from a script, for trying the player as a user does
// (tools/check/midi.sh), and the two helpers around it.
//
//   velorixa-midipad play SCRIPT   a JACK MIDI client "vxpad" with the output port "out" plays
//                                  SCRIPT, one command a line:
//                                    wait MS            | note CH N | off CH N | program CH P
//                                    cc CH N V          | sweep CH N FROM TO MS (one CC a ms)
//   velorixa-midipad makeset PATH  a set file whose key A holds volume 90 and the reverb at 40
//   velorixa-midipad hear RAW HZ   the tone's frequency and level every half second of a
//                                  recording (32-bit float stereo, 44100 Hz), the tone near HZ
//                                  (from 0.7 x to 2.1 x)

#include <rtmidi/RtMidi.h>

#include <QFile>
#include <QTextStream>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

#include "common/testmedia.h"
#include "controls/soundsetting.h"
#include "perform/keytable.h"
#include "perform/setfile.h"

using namespace velorixa;

namespace {

int play(const char* script) {
    QFile f(QString::fromLocal8Bit(script));
    if (!f.open(QIODevice::ReadOnly)) return 2;
    RtMidiOut out(RtMidi::UNIX_JACK, "vxpad");
    out.openVirtualPort("out");
    auto send = [&](std::vector<unsigned char> m) { out.sendMessage(&m); };
    auto b = [](int v) { return static_cast<unsigned char>(v); };
    QTextStream in(&f);
    while (!in.atEnd()) {
        const QStringList w = in.readLine().simplified().split(' ', Qt::SkipEmptyParts);
        if (w.isEmpty() || w[0].startsWith('#')) continue;
        std::vector<int> a;
        for (int i = 1; i < w.size(); ++i)
            a.push_back(w[i].toInt());
        a.resize(5, 0);
        const QString c = w[0];
        std::printf("pad: %s\n", qPrintable(w.join(' ')));
        std::fflush(stdout);
        if (c == "wait") {
            std::this_thread::sleep_for(std::chrono::milliseconds(a[0]));
        } else if (c == "note") {
            send({b(0x90 + a[0] - 1), b(a[1]), 100});
        } else if (c == "off") {
            send({b(0x80 + a[0] - 1), b(a[1]), 0});
        } else if (c == "program") {
            send({b(0xC0 + a[0] - 1), b(a[1])});
        } else if (c == "cc") {
            send({b(0xB0 + a[0] - 1), b(a[1]), b(a[2])});
        } else if (c == "sweep") {
            auto next = std::chrono::steady_clock::now();
            for (int t = 0; t <= a[4]; ++t) {
                const int v = a[2] + (a[3] - a[2]) * t / std::max(1, a[4]);
                send({b(0xB0 + a[0] - 1), b(a[1]), b(v)});
                next += std::chrono::milliseconds(1);
                std::this_thread::sleep_until(next);
            }
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    return 0;
}

int makeset(const char* path) {
    perform::PerformanceSet set;
    perform::KeyRecord& a = set.KeySet[1];
    a.Slot[0] = 1;
    a.Slot[1] = 90;
    a.Slot[5] = 50;
    for (int i = 1; i <= controls::kKnobCount; ++i)
        a.Slot[static_cast<size_t>(10 * i + 2)] =
            static_cast<int16_t>(controls::KnobRangeOf(i).rest);
    a.Slot[62] = 40;  // knob 6, the reverb
    QString error;
    if (!perform::SaveSetFile(QString::fromLocal8Bit(path), set, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    return 0;
}

int hear(const char* raw, double hz) {
    QFile f(QString::fromLocal8Bit(raw));
    if (!f.open(QIODevice::ReadOnly)) return 2;
    const QByteArray bytes = f.readAll();
    const size_t frames = static_cast<size_t>(bytes.size()) / 8;
    const float* s = reinterpret_cast<const float*>(bytes.constData());
    const size_t half = 22050;
    for (size_t at = 0; at + half <= frames; at += half) {
        std::vector<float> left(half);
        for (size_t i = 0; i < half; ++i)
            left[i] = s[2 * (at + i)];
        const double level = testmedia::rms(left.data(), left.size());
        const double f0 = level > 1e-3 ? testmedia::dominantFrequency(left.data(), half, 44100,
                                                                      hz * 0.7, hz * 2.1)
                                       : 0;
        std::printf("%6.1f s  %7.1f Hz  level %.3f\n", at / 44100.0, f0, level);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    try {
        if (mode == "play" && argc == 3) return play(argv[2]);
    } catch (const RtMidiError& e) {
        std::fprintf(stderr, "velorixa-midipad: %s\n", e.getMessage().c_str());
        return 1;
    }
    if (mode == "makeset" && argc == 3) return makeset(argv[2]);
    if (mode == "hear" && argc == 4) return hear(argv[2], std::atof(argv[3]));
    std::fprintf(stderr, "usage: velorixa-midipad play SCRIPT | makeset PATH | hear RAW HZ\n");
    return 2;
}
