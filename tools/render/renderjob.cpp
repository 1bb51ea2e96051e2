#include "render/renderjob.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QStringList>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "audio/audiolib.h"
#include "audio/pcm16.h"
#include "audio/player.h"
#include "util/fspath.h"

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

// count knob values 0..100 separated by commas, into the knobs from first on.
bool parseKnobs(const QString& text, int first, int count, controls::SoundSetting& s) {
    QStringList parts = text.split(',');
    if (parts.size() != count) return false;
    for (int i = 0; i < count; ++i) {
        if (!parseInt(parts[i], 0, 100, &s.knobs[first + i].value)) return false;
    }
    return true;
}

// Waits until the next block of a stream can be rendered without an underrun: the render runs
// faster than real time, so a live station is always behind it, and what it has not delivered
// yet must be waited for, never rendered as silence. False when the station delivered no new
// audio for stallSeconds. A file's decoder is waited for by VX_Render itself.
bool waitForStream(uint32_t source, uint32_t frames, double stallSeconds) {
    using Clock = std::chrono::steady_clock;
    const auto patience = std::chrono::duration<double>(stallSeconds);
    auto lastNews = Clock::now();
    uint32_t last = VX_ChannelBuffered(source);
    while (!VX_RenderReady(frames)) {
        if (BASS_ChannelIsActive(source) == BASS_ACTIVE_STOPPED) return true;  // ended
        const uint32_t have = VX_ChannelBuffered(source);
        const auto now = Clock::now();
        if (have != last) {
            last = have;
            lastNews = now;
        } else if (now - lastNews > patience) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// 16-bit stereo frames a WAV file can describe: its RIFF size (36 + data bytes) is 32-bit.
constexpr uint64_t kMaxWavFrames = (0xFFFFFFFFull - 36) / 4;

QString errnoText() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

bool writeAll(int fd, const void* data, size_t n) {
    const auto* p = static_cast<const char*>(data);
    while (n > 0) {
        ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

std::array<char, 44> wavHeader(int rateHz, uint64_t frames) {
    // Unknown length: the largest sizes, which readers take as "to the end of the data".
    const uint32_t dataBytes = frames == 0 ? 0xFFFFFFFFu - 36 : static_cast<uint32_t>(frames * 4);
    std::array<char, 44> h{};
    auto put32 = [&](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            h[at + i] = static_cast<char>(v >> (8 * i));
    };
    auto put16 = [&](int at, uint16_t v) {
        h[at] = static_cast<char>(v);
        h[at + 1] = static_cast<char>(v >> 8);
    };
    std::memcpy(h.data(), "RIFF", 4);
    put32(4, 36 + dataBytes);
    std::memcpy(h.data() + 8, "WAVEfmt ", 8);
    put32(16, 16);
    put16(20, 1);  // PCM
    put16(22, 2);
    put32(24, static_cast<uint32_t>(rateHz));
    put32(28, static_cast<uint32_t>(rateHz) * 4);
    put16(32, 4);
    put16(34, 16);
    std::memcpy(h.data() + 36, "data", 4);
    put32(40, dataBytes);
    return h;
}

}  // namespace

bool RenderOptions::isStream() const {
    return input.startsWith("http://") || input.startsWith("https://") ||
           input.startsWith("ftp://");
}

std::optional<RenderOptions> ParseRenderArgs(const std::vector<QString>& args, QString* error) {
    RenderOptions o;
    std::vector<QString> positional;
    bool options = true;
    for (size_t i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (options && a == "--") {
            options = false;
            continue;
        }
        if (!options || !a.startsWith('-') || a == "-") {
            positional.push_back(a);
            continue;
        }
        if (i + 1 >= args.size()) {
            *error = QStringLiteral("%1 needs a value").arg(a);
            return std::nullopt;
        }
        const QString& v = args[++i];
        bool ok = true;
        controls::SoundSetting& s = o.sound;
        if (a == "--frq") {
            const controls::KnobRange r = controls::KnobRangeOf(controls::kKnobPitch);
            ok = parseInt(v, r.min, r.max, &s.knobs[controls::kKnobPitch].value);
        } else if (a == "--vol") {
            ok = parseInt(v, 0, 100, &s.volumePct);
        } else if (a == "--global") {
            ok = parseInt(v, 0, 100, &o.globalVolumePct);
        } else if (a == "--pan") {
            int pan = 0;
            ok = parseInt(v, -100, 100, &pan);
            s.knobs[controls::kKnobBalance].value = pan + 100;
        } else if (a == "--eq") {
            ok = parseKnobs(v, controls::kKnobEqFirst, 3, s);
        } else if (a == "--fx") {
            ok = parseKnobs(v, controls::kKnobFxFirst, 4, s);
        } else if (a == "--seconds") {
            o.seconds = v.toDouble(&ok);
            ok = ok && o.seconds > 0;
            if (ok && o.seconds > MaxWavSeconds()) {
                *error = QStringLiteral("--seconds %1: a WAV file holds at most %2 s at %3 Hz")
                             .arg(v)
                             .arg(static_cast<long long>(MaxWavSeconds()))
                             .arg(kRateHz);
                return std::nullopt;
            }
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
            "usage: velorixa-render [--frq N] [--vol N] [--global N] [--pan N] [--eq A,B,C] [--fx R,E,F,C] "
            "[--seconds S] [--] IN OUT.wav");
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

double MaxWavSeconds() {
    return static_cast<double>(kMaxWavFrames / kRateHz);
}

RenderOutcome RenderTo(const RenderOptions& o,
                       const std::function<bool(const float*, size_t)>& sink,
                       const std::function<void(uint32_t, size_t)>& perBlock) {
    RenderOutcome r;
    r.rateHz = kRateHz;
    if (!BASS_Init(VX_DEVICE_OFFLINE, kRateHz, 0, nullptr)) {
        r.why = QStringLiteral("no offline device");
        return r;
    }
    {
        PLAYER player;
        // The master volume at its full setting; the channel and stream volumes are the
        // options'.
        player.SetMasterVolume(100);
        player.SetGlobalVolume(o.globalVolumePct);
        const bool stream = o.isStream();
        const controls::StartValues v = controls::StartValuesOf(o.sound);
        if (!player.StartPlay(o.input, stream ? 1 : 2, v.FRQ, v.VOL, v.PAN, v.EqlArr, v.EffArr)) {
            r.why = QString::fromUtf8(VX_StreamGetError());
        } else {
            r.kind = RenderOutcome::Done;
            const size_t limit =
                o.seconds > 0 ? static_cast<size_t>(o.seconds * kRateHz) : static_cast<size_t>(-1);
            std::vector<float> block(2 * kBlockFrames);
            while (r.frames < limit) {
                const uint32_t n =
                    static_cast<uint32_t>(std::min<size_t>(kBlockFrames, limit - r.frames));
                if (stream && !waitForStream(player.ChanEQL, n, o.stallSeconds)) {
                    r.kind = RenderOutcome::Stalled;
                    r.why =
                        QStringLiteral("the station sent no audio for %1 s").arg(o.stallSeconds);
                    break;
                }
                if (BASS_ChannelIsActive(player.ChanPIT) == BASS_ACTIVE_STOPPED) {
                    if (o.seconds > 0) r.kind = RenderOutcome::EndedEarly;
                    break;
                }
                uint32_t got = VX_Render(block.data(), n);
                if (got == 0) break;
                if (!sink(block.data(), got)) {
                    r.kind = RenderOutcome::SinkRefused;
                    break;
                }
                r.frames += got;
                if (perBlock) perBlock(player.ChanPIT, r.frames);
            }
        }
        player.ExitForm();
    }
    BASS_Free();
    return r;
}

RenderResult Render(const RenderOptions& o, const std::function<void(uint32_t, size_t)>& perBlock) {
    RenderResult r;
    RenderOutcome out = RenderTo(
        o,
        [&r](const float* stereo, size_t frames) {
            r.stereo.insert(r.stereo.end(), stereo, stereo + 2 * frames);
            return true;
        },
        perBlock);
    r.opened = out.kind != RenderOutcome::NotOpened;
    r.rateHz = out.rateHz;
    return r;
}

WavWriter::~WavWriter() {
    if (fd_ >= 0) ::close(fd_);
    if (!tempPath_.isEmpty()) ::unlink(util::PathToBytes(tempPath_).constData());
}

bool WavWriter::fail(QString* error, const QString& what) {
    *error = QStringLiteral("cannot write %1: %2").arg(path_, what);
    return false;
}

bool WavWriter::open(const QString& path, int rateHz, uint64_t expectedFrames, QString* error) {
    path_ = path;
    rateHz_ = rateHz;
    const QByteArray native = util::PathToBytes(path);
    struct stat st {};
    const bool exists = ::stat(native.constData(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return fail(error, QStringLiteral("it is a folder"));
    if (exists && !S_ISREG(st.st_mode)) {
        // A device or a FIFO: written in place, never replaced by a file of our own.
        fd_ = ::open(native.constData(), O_WRONLY | O_CLOEXEC);
        if (fd_ < 0) return fail(error, errnoText());
    } else {
        QByteArray tmpl = native + ".XXXXXX";
        fd_ = ::mkstemp(tmpl.data());
        if (fd_ < 0) return fail(error, errnoText());
        tempPath_ = util::PathFromBytes(tmpl);
        mode_t mode = 0;
        if (exists) {
            mode = st.st_mode & 07777;
        } else {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            mode = 0666 & ~mask;
        }
        ::fchmod(fd_, mode);
    }
    const auto header = wavHeader(rateHz_, std::min(expectedFrames, kMaxWavFrames));
    if (!writeAll(fd_, header.data(), header.size())) return fail(error, errnoText());
    pending_.reserve(2 * 16384);
    return true;
}

bool WavWriter::write(const float* stereo, size_t frames, QString* error) {
    if (frames_ + frames > kMaxWavFrames) {
        return fail(error, QStringLiteral("a WAV file holds at most %1 s")
                               .arg(static_cast<long long>(MaxWavSeconds())));
    }
    // Clipped, times 32767, rounded half away from zero: std::lround's result, eight at a time.
    const size_t at = pending_.size();
    pending_.resize(at + 2 * frames);
    audio::ToPcm16(stereo, pending_.data() + at, 2 * frames);
    frames_ += frames;
    return pending_.size() < 2 * 16384 || flush(error);
}

bool WavWriter::flush(QString* error) {
    if (!writeAll(fd_, pending_.data(), pending_.size() * sizeof(int16_t))) {
        return fail(error, errnoText());
    }
    pending_.clear();
    return true;
}

bool WavWriter::finish(QString* error) {
    if (!flush(error)) return false;
    // The real sizes, where the output can seek back to its header.
    if (::lseek(fd_, 0, SEEK_SET) == 0) {
        const auto header = wavHeader(rateHz_, frames_);
        if (::pwrite(fd_, header.data(), header.size(), 0) != ssize_t(header.size())) {
            return fail(error, errnoText());
        }
    }
    if (!tempPath_.isEmpty() && ::fsync(fd_) != 0) return fail(error, errnoText());
    if (::close(fd_) != 0) {
        fd_ = -1;
        return fail(error, errnoText());
    }
    fd_ = -1;
    if (!tempPath_.isEmpty()) {
        if (::rename(util::PathToBytes(tempPath_).constData(),
                     util::PathToBytes(path_).constData()) != 0) {
            return fail(error, errnoText());
        }
        tempPath_.clear();
    }
    return true;
}

int RunRenderTool(const std::vector<QString>& args,
                  const std::function<void(const QString&)>& err) {
    QString error;
    std::optional<RenderOptions> o = ParseRenderArgs(args, &error);
    if (!o) {
        err(error);
        return 2;
    }
    // What a file or --seconds will give, announced to outputs that cannot seek.
    const uint64_t expected = o->seconds > 0 ? static_cast<uint64_t>(o->seconds * kRateHz) : 0;
    WavWriter wav;
    if (!wav.open(o->output, kRateHz, expected, &error)) {
        err(error);
        return 1;
    }
    const RenderOutcome r = RenderTo(
        *o, [&](const float* stereo, size_t frames) { return wav.write(stereo, frames, &error); });
    if (r.kind == RenderOutcome::NotOpened) {
        err(QStringLiteral("cannot open %1: %2").arg(o->input, r.why));
        return 1;
    }
    if (r.kind == RenderOutcome::SinkRefused) {
        err(error);
        return 1;
    }
    if (!wav.finish(&error)) {
        err(error);
        return 1;
    }
    if (r.kind == RenderOutcome::Stalled) {
        err(QStringLiteral("the stream stopped after %1 s of %2 s: %3; %4 holds what was rendered")
                .arg(double(r.frames) / r.rateHz, 0, 'f', 2)
                .arg(o->seconds)
                .arg(r.why)
                .arg(o->output));
        return 1;
    }
    if (r.kind == RenderOutcome::EndedEarly) {
        err(QStringLiteral("%1 ended early, after %2 s of %3 s; %4 holds what was rendered")
                .arg(o->isStream() ? QStringLiteral("the stream") : QStringLiteral("the input"))
                .arg(double(r.frames) / r.rateHz, 0, 'f', 2)
                .arg(o->seconds)
                .arg(o->output));
        return 1;
    }
    return 0;
}

}  // namespace velorixa::tools
