#include "perform/styles.h"

#include <cmath>
#include <cstdlib>
#include <random>

#include "perform/keytable.h"

namespace velorixa::perform {

namespace {
constexpr int kGapMin = 12;          // seconds
constexpr int kGapSpread = 5;        // 12..16
constexpr int kEndGuardSec = 7;      // no key in a file's last 7 seconds
constexpr int kQuietWaitTicks = 10;  // position ticks a key waits for a quiet moment at most
constexpr float kQuietLevel = 100.0f;
}  // namespace

QString ContentShown(const QString& content) {
    if (content.isEmpty()) return QStringLiteral("A -- Z mix");
    QString shown;
    for (QChar c : content) {
        shown += c;
        shown += QLatin1Char(' ');
    }
    return shown;
}

QString NormalisedTitle(const QString& title) {
    QString t;
    for (QChar c : title) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\r') || c == QLatin1Char('\n')) continue;
        t += c;
    }
    return t.left(kStyleTextMax);
}

QString NormalisedContent(const QString& content) {
    QString c;
    for (QChar ch : content.toUpper())
        if (ch >= QLatin1Char('A') && ch <= QLatin1Char('Z')) c += ch;
    return c.left(kStyleTextMax);
}

StyleSequencer::StyleSequencer() {
    random = [gen = std::make_shared<std::mt19937>(std::random_device{}())] {
        return std::uniform_real_distribution<double>(0.0, 1.0)(*gen);
    };
}

void StyleSequencer::Select(int style) {
    StyleSel = style;
    StyleDue = true;
}

void StyleSequencer::Stop() {
    StyleSel = 0;
    StyleDue = false;
}

void StyleSequencer::PlayPosTick(const StyleTickInput& in, const QString& content) {
    if (StyleSel == 0) return;
    if (std::abs(in.t - StyleLast) > StyleGap) StyleDue = true;
    if (StyleDue) FireStyleKey(in, content);
}

void StyleSequencer::FireStyleKey(const StyleTickInput& in, const QString& content) {
    const bool nearEnd = in.isFile && std::max(in.playLen, 1) - in.t < kEndGuardSec;
    if (!nearEnd) {
        ++StyleWait;
        if (StyleWait < kQuietWaitTicks && in.beatLevel > kQuietLevel) return;
        const double r = random();
        int k = 0;
        if (content.isEmpty()) {
            k = static_cast<int>(r * kKeyCount) + 1;
        } else {
            const int p = std::min(static_cast<int>(r * content.size()), int(content.size()) - 1);
            k = content.at(p).unicode() - 64;
        }
        // A character outside A..Z (a set file may hold one) fires nothing.
        if (k >= 1 && k <= kKeyCount && fire) fire(k);
        StyleWait = 0;
    }
    StyleDue = false;
    StyleLast = in.t;
    StyleGap = static_cast<int>(random() * kGapSpread) + kGapMin;
}

}  // namespace velorixa::perform
