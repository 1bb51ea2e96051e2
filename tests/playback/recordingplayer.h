#pragma once
// A player double for the transport's tests: records every call the transport makes, and opens
// as scripted (a name not scripted opens; a failing one answers its reason).
#include <QRegularExpression>
#include <QStringList>
#include <map>
#include <mutex>

#include "playback/playerport.h"

namespace velorixa::test {

using playback::OpenResult;
using playback::PlayKind;

// Records every call the transport makes; opens answer as scripted (a name not scripted opens).
class RecordingPlayer final : public playback::PlayerPort {
  public:
    OpenResult open(const QString& name, PlayKind) override {
        std::lock_guard lock(m_);
        calls_.push_back("open " + name);
        const auto it = failing_.find(name);
        if (it != failing_.end()) return {0, it->second};
        return {++lastSource_, {}};
    }
    void discard(uint32_t source) override { record(QStringLiteral("discard %1").arg(source)); }
    bool start(uint32_t source) override {
        record(QStringLiteral("start %1").arg(source));
        ended_ = false;
        position_ = 0;
        return true;
    }
    void stop() override { record("stop"); }
    void pause() override { record("pause"); }
    void resume() override { record("resume"); }
    void seek(double s) override {
        record(QStringLiteral("seek %1").arg(s));
        position_ = s;
    }
    void setMasterVolume(int v) override { record(QStringLiteral("volume %1").arg(v)); }
    double position() override { return position_; }
    bool ended() override { return ended_; }
    bool stalled() override { return false; }
    bool playing() override { return position_ >= 0; }
    double length() override { return 90.4; }
    int rateHz() override { return 44100; }
    QString meta() override { return meta_; }

    void fail(const QString& name, const QString& reason) {
        std::lock_guard lock(m_);
        failing_[name] = reason;
    }
    // The source is heard at seconds.
    void at(double seconds) { position_ = seconds; }
    // The playing file reached its end.
    void endFile() {
        position_ = -1;
        ended_ = true;
    }
    QStringList calls() {
        std::lock_guard lock(m_);
        return calls_;
    }
    QStringList opens() { return calls().filter(QRegularExpression("^open ")); }
    void clear() {
        std::lock_guard lock(m_);
        calls_.clear();
    }
    QString meta_;

  private:
    void record(const QString& s) {
        std::lock_guard lock(m_);
        calls_.push_back(s);
    }
    std::mutex m_;
    QStringList calls_;
    std::map<QString, QString> failing_;
    uint32_t lastSource_ = 0;
    double position_ = -1;
    bool ended_ = false;
};

}  // namespace velorixa::test
