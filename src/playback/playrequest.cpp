#include "playback/playrequest.h"

#include <algorithm>

#include "util/rounding.h"

namespace velorixa::playback {

PlayKind ClassifyName(const QString& name) {
    // The address test runs first and the path test last, the last match winning; a name
    // cannot match both.
    PlayKind kind = PlayKind::Invalid;
    if (name.startsWith(QLatin1String("http://")) || name.startsWith(QLatin1String("https://")) ||
        name.startsWith(QLatin1String("ftp://")))
        kind = PlayKind::Stream;
    if (name.startsWith(u'/')) kind = PlayKind::File;
    return kind;
}

int StepIntervalMs(PlayKind kind) {
    switch (kind) {
        case PlayKind::Stream:
            return 1000;
        case PlayKind::File:
            return 100;
        case PlayKind::Invalid:
            break;
    }
    return 0;
}

bool NothingToPlay(const QString& namePlay, int listCount) {
    return namePlay.isEmpty() && listCount <= 0;
}

PlayRequest PlanRequest(const QString& namePlay) {
    PlayRequest r;
    r.kind = ClassifyName(namePlay);
    r.playName = namePlay;
    if (r.kind == PlayKind::Stream) {
        const qsizetype blank = namePlay.indexOf(u' ');
        if (blank >= 0) r.playName = namePlay.left(blank);
    }
    r.stepIntervalMs = StepIntervalMs(r.kind);
    r.repeatEnabled = r.kind == PlayKind::File;
    r.positionBarEnabled = r.kind == PlayKind::File;
    r.showStreamStatus = r.kind == PlayKind::Stream;
    return r;
}

QString OpenFailureText(PlayKind kind) {
    return kind == PlayKind::Stream ? QStringLiteral("Connection Failure")
                                    : QStringLiteral("File Error");
}

QString FreqLabel(int rateHz) {
    return QString::number(rateHz) + QStringLiteral("  Hz  ");
}

PositionBar PositionBarFor(double lengthSec) {
    constexpr int kBarMax = 32767;
    using util::RoundHalfEvenClamped;
    PositionBar bar;
    bar.PlayLen = RoundHalfEvenClamped(lengthSec, 1, kBarMax);
    bar.SmallChange = RoundHalfEvenClamped(lengthSec / 100.0, 1, bar.PlayLen);
    bar.LargeChange = RoundHalfEvenClamped(lengthSec / 16.0, 1, bar.PlayLen);
    return bar;
}

BarAction PositionBarChange(int value, int minimum, int maximum, bool moveGuard, bool repeatDown) {
    if (moveGuard) return BarAction::None;
    if (value <= minimum) return BarAction::Restart;
    if (value >= maximum) return repeatDown ? BarAction::Repeat : BarAction::Next;
    return BarAction::Seek;
}

int MasterVolumeForKey(int n) {
    return std::clamp(n, 0, 10) * 10;
}

QString TimeText(int seconds) {
    if (seconds < 60) return QString::number(std::max(seconds, 0));
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace velorixa::playback
