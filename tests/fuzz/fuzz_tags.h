#pragma once
// The tag reader's properties on any bytes, shared by the libFuzzer target and the regular test
// run (which feeds it damaged copies of real files): it returns, every text is within its
// bound and holds no line break or control character, a length is finite and not negative, a
// gain lies within its range. Returns an empty string when all held, else the first broken one.

#include <QByteArrayView>
#include <QString>

#include <cmath>
#include <string>

#include "audio/decode/tags.h"

namespace velorixa::fuzz {

inline std::string tagTextBroken(const QString& text) {
    if (text.size() > audio::kMaxTagChars) return "a text longer than its bound";
    for (const QChar c : text)
        if (c.category() == QChar::Other_Control) return "a control character in a text";
    if (text != text.trimmed()) return "blanks around a text";
    return {};
}

inline std::string fuzzTagsOne(const uint8_t* data, size_t size) {
    const audio::TrackTags t = audio::ReadTagsFromMemory(
        QByteArrayView(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    for (const QString* s : {&t.title, &t.artist, &t.album})
        if (std::string broken = tagTextBroken(*s); !broken.empty()) return broken;
    if (!std::isfinite(t.lengthSec) || t.lengthSec < 0) return "a length that is no length";
    if (t.trackGainDb && (*t.trackGainDb < -60 || *t.trackGainDb > 60))
        return "a gain out of range";
    if (!t.media && (!t.title.isEmpty() || t.lengthSec != 0)) return "tags of what is no audio";
    return {};
}

}  // namespace velorixa::fuzz
