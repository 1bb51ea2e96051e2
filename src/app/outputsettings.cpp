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
    const QHash<QByteArray, QByteArray> values = util::ReadKeyValues(path);
    // A server's output name is ASCII in practice; kept as the bytes it was given.
    if (const auto it = values.constFind("output"); it != values.constEnd())
        s.output = QString::fromUtf8(*it);
    if (const auto it = values.constFind("buffer"); it != values.constEnd()) {
        const int frames = it->toInt();
        const auto& choices = audio::kOutputBufferChoices;
        if (std::find(std::begin(choices), std::end(choices), frames) != std::end(choices))
            s.bufferFrames = frames;
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
