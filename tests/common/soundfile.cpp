#include "common/soundfile.h"

#include <sndfile.h>

#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <algorithm>
#include <cmath>

namespace testsound {

size_t Differing24(const SoundFile& file, const std::vector<float>& played) {
    const size_t n = std::min(file.samples.size(), played.size());
    size_t differing = std::max(file.samples.size(), played.size()) - n;
    for (size_t i = 0; i < n; ++i)
        differing += file.samples[i] !=
                     static_cast<int32_t>(std::lround(double(played[i]) * 8388607.0)) * 256;
    return differing;
}

SoundFile ReadSoundFile(const std::string& path) {
    SoundFile f;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return f;
    f.rateHz = info.samplerate;
    f.channels = info.channels;
    std::vector<int32_t> block(4096 * static_cast<size_t>(info.channels));
    for (;;) {
        sf_count_t n = sf_readf_int(file, block.data(), 4096);
        if (n <= 0) break;
        f.samples.insert(f.samples.end(), block.begin(), block.begin() + n * info.channels);
    }
    f.ok = sf_error(file) == SF_ERR_NO_ERROR;
    sf_close(file);
    return f;
}

namespace {
QByteArray run(const QString& program, const QStringList& args, std::string* log, int* rc) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(10000) || !p.waitForFinished(120000)) {
        if (log) *log = "could not run " + program.toStdString();
        *rc = -1;
        return {};
    }
    if (log) *log = p.readAllStandardError().toStdString();
    *rc = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return p.readAllStandardOutput();
}
}  // namespace

int64_t FfmpegFrames(const std::string& path, std::string* log) {
    int rc = 0;
    const QByteArray pcm = run("ffmpeg",
                               {"-nostdin", "-v", "error", "-xerror", "-i",
                                QString::fromStdString(path), "-f", "s32le", "-ac", "2", "-"},
                               log, &rc);
    return rc == 0 ? pcm.size() / 8 : -1;
}

bool FlacTestPasses(const std::string& path, std::string* log) {
    int rc = 0;
    run("flac", {"-t", "-s", QString::fromStdString(path)}, log, &rc);
    return rc == 0;
}

int64_t SoxFrames(const std::string& path, std::string* log) {
    if (QStandardPaths::findExecutable("sox").isEmpty()) return -1;
    int rc = 0;
    const QByteArray pcm = run(
        "sox", {"-V1", QString::fromStdString(path), "-t", "raw", "-e", "signed", "-b", "32", "-"},
        log, &rc);
    return rc == 0 ? pcm.size() / 8 : -1;
}

}  // namespace testsound
