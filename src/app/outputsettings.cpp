#include "app/outputsettings.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <iterator>

#include "audio/output.h"
#include "util/fspath.h"
#include "util/readfile.h"
#include "util/textfile.h"
#include "util/userfiles.h"

namespace velorixa {

QString OutputSettings::DefaultPath() {
    return util::UserFolder("XDG_CONFIG_HOME", ".config") + QStringLiteral("/output.conf");
}

OutputSettings OutputSettings::Load(const QString& path) {
    OutputSettings s;
    util::ReadOptions options;
    options.maxBytes = 64 * 1024;
    const util::FileRead read = util::ReadRegularFile(path, options);
    if (!read.ok()) return s;
    for (QByteArray line : read.data.split('\n')) {
        if (line.endsWith('\r')) line.chop(1);
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0) continue;
        const QByteArray key = line.left(eq).trimmed(), value = line.mid(eq + 1);
        if (key == "output") {
            // A server's output name is ASCII in practice; kept as the bytes it was given.
            s.output = QString::fromUtf8(value);
        } else if (key == "buffer") {
            const int frames = value.trimmed().toInt();
            const auto& choices = audio::kOutputBufferChoices;
            if (std::find(std::begin(choices), std::end(choices), frames) != std::end(choices))
                s.bufferFrames = frames;
        }
    }
    return s;
}

bool OutputSettings::save(const QString& path, QString* error) const {
    const QByteArray data =
        "output=" + output.toUtf8() + "\nbuffer=" + QByteArray::number(bufferFrames) + "\n";
    QDir().mkpath(QFileInfo(path).absolutePath());
    return util::SaveWhole(path, data, error);
}

void OutputSettings::apply() const {
    audio::setOutputBuffer(bufferFrames);
    audio::chooseOutput(output.toStdString());
}

}  // namespace velorixa
