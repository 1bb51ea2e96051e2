#include "render/renderjob.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>

#include "audio/audiolib.h"
#include "audio/player.h"

namespace velorixa::tools {

namespace {

constexpr int kRateHz = 44100;
constexpr uint32_t kBlockFrames = 441;  // 10 ms of output, the display's pace

bool parseInt(const QString& text, int lo, int hi, int* out) {
    bool ok = false;
    int v = text.trimmed().toInt(&ok);
    if (!ok || v < lo || v > hi) return false;
    *out = v;
    return true;
}

template <size_t N>
bool parseSliders(const QString& text, std::array<uint8_t, N>& out) {
    QStringList parts = text.split(',');
    if (parts.size() != static_cast<int>(N - 1)) return false;
    for (size_t i = 1; i < N; ++i) {
        int v = 0;
        if (!parseInt(parts[static_cast<int>(i - 1)], 0, 100, &v)) return false;
        out[i] = static_cast<uint8_t>(v);
    }
    return true;
}

// Waits until the decoder has the frames the next block needs, or has stopped adding any.
void waitForDecoder(uint32_t source, uint32_t frames, bool stream) {
    uint32_t last = 0;
    int still = 0;
    const int patienceMs = stream ? 20000 : 200;  // a stream delivers at its own pace
    for (int waited = 0; waited < patienceMs && still < (stream ? patienceMs : 30); ++waited) {
        uint32_t have = VX_ChannelBuffered(source);
        if (have == 0xFFFFFFFFu || have >= frames * 3 ||
            BASS_ChannelIsActive(source) == BASS_ACTIVE_STOPPED) {
            return;
        }
        still = have == last ? still + 1 : 0;
        last = have;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace

bool RenderOptions::isStream() const {
    return input.startsWith("http://") || input.startsWith("https://") ||
           input.startsWith("ftp://");
}

std::optional<RenderOptions> ParseRenderArgs(const std::vector<QString>& args, QString* error) {
    RenderOptions o;
    std::vector<QString> positional;
    for (size_t i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (!a.startsWith("--")) {
            positional.push_back(a);
            continue;
        }
        if (i + 1 >= args.size()) {
            *error = QStringLiteral("%1 needs a value").arg(a);
            return std::nullopt;
        }
        const QString& v = args[++i];
        bool ok = true;
        if (a == "--frq") {
            ok = parseInt(v, 0, 200, &o.FRQ);
        } else if (a == "--vol") {
            ok = parseInt(v, 0, 100, &o.VOL);
        } else if (a == "--pan") {
            ok = parseInt(v, -100, 100, &o.PAN);
        } else if (a == "--eq") {
            ok = parseSliders(v, o.EqlVal);
        } else if (a == "--fx") {
            ok = parseSliders(v, o.EffVal);
        } else if (a == "--seconds") {
            o.seconds = v.toDouble(&ok);
            ok = ok && o.seconds > 0 && o.seconds <= 24 * 3600;
        } else {
            *error = QStringLiteral("unknown option %1").arg(a);
            return std::nullopt;
        }
        if (!ok) {
            *error = QStringLiteral("bad value for %1: %2").arg(a, v);
            return std::nullopt;
        }
    }
    if (positional.size() != 2) {
        *error = QStringLiteral(
            "usage: velorixa-render IN.mp3 OUT.wav [--frq N] [--vol N] [--pan N] [--eq A,B,C] "
            "[--fx R,E,F,C] [--seconds S]");
        return std::nullopt;
    }
    o.input = positional[0];
    o.output = positional[1];
    if (o.isStream() && o.seconds <= 0) {
        *error = QStringLiteral("a stream needs --seconds");
        return std::nullopt;
    }
    return o;
}

RenderResult Render(const RenderOptions& o, const std::function<void(uint32_t, size_t)>& perBlock) {
    RenderResult r;
    r.rateHz = kRateHz;
    if (!BASS_Init(VX_DEVICE_OFFLINE, kRateHz, 0, nullptr)) return r;
    {
        PLAYER player;
        // The window's volumes at their full settings; the channel volume is the option's.
        player.SetMasterVolume(100);
        player.SetGlobalVolume(100);
        const bool stream = o.isStream();
        r.opened =
            player.StartPlay(o.input, stream ? 1 : 2, o.FRQ, o.VOL, o.PAN, o.EqlVal, o.EffVal);
        if (r.opened) {
            const size_t limit =
                o.seconds > 0 ? static_cast<size_t>(o.seconds * kRateHz) : static_cast<size_t>(-1);
            // The whole output is kept, so it is sized once: growing it block by block costs
            // more than the rate change itself on a long file.
            size_t expected = limit;
            if (o.seconds <= 0) {
                const double rateHz = PLAYER::PitchRateHz(o.FRQ, player.SrcFreq);
                const double srcSeconds = player.GetFileLen() + 1.0;
                expected = rateHz > 0
                               ? static_cast<size_t>(srcSeconds * player.SrcFreq / rateHz * kRateHz)
                               : 0;
            }
            r.stereo.reserve(2 * expected);
            size_t done = 0;
            std::vector<float> block(2 * kBlockFrames);
            while (done < limit) {
                const uint32_t n =
                    static_cast<uint32_t>(std::min<size_t>(kBlockFrames, limit - done));
                waitForDecoder(player.ChanEQL, n, stream);
                if (o.seconds <= 0 && !player.GetFilePlayPerf()) break;  // the file has ended
                uint32_t got = VX_Render(block.data(), n);
                if (got == 0) break;
                r.stereo.insert(r.stereo.end(), block.begin(), block.begin() + 2 * got);
                done += got;
                if (perBlock) perBlock(player.ChanPIT, done);
            }
        }
        player.ExitForm();
    }
    BASS_Free();
    return r;
}

bool WriteWav16(const QString& path, const std::vector<float>& stereo, int rateHz) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return false;
    auto u32 = [&](uint32_t v) {
        char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
        f.write(b, 4);
    };
    auto u16 = [&](uint16_t v) {
        char b[2] = {char(v), char(v >> 8)};
        f.write(b, 2);
    };
    const uint32_t dataBytes =
        static_cast<uint32_t>(std::min<size_t>(stereo.size() * 2, 0xFFFFFF00u));
    f.write("RIFF", 4);
    u32(36 + dataBytes);
    f.write("WAVEfmt ", 8);
    u32(16);
    u16(1);  // PCM
    u16(2);
    u32(static_cast<uint32_t>(rateHz));
    u32(static_cast<uint32_t>(rateHz) * 4);
    u16(4);
    u16(16);
    f.write("data", 4);
    u32(dataBytes);
    std::vector<int16_t> pcm(dataBytes / 2);
    for (size_t i = 0; i < pcm.size(); ++i) {
        float v = std::clamp(stereo[i], -1.0f, 1.0f);
        pcm[i] = static_cast<int16_t>(std::lround(v * 32767.0f));
    }
    f.write(reinterpret_cast<const char*>(pcm.data()), static_cast<qint64>(pcm.size() * 2));
    return f.commit();
}

int RunRenderTool(const std::vector<QString>& args,
                  const std::function<void(const QString&)>& err) {
    QString error;
    std::optional<RenderOptions> o = ParseRenderArgs(args, &error);
    if (!o) {
        err(error);
        return 2;
    }
    RenderResult r = Render(*o);
    if (!r.opened) {
        err(QStringLiteral("cannot open %1").arg(o->input));
        return 1;
    }
    if (!WriteWav16(o->output, r.stereo, r.rateHz)) {
        err(QStringLiteral("cannot write %1").arg(o->output));
        return 1;
    }
    return 0;
}

}  // namespace velorixa::tools
