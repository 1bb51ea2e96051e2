#include "playback/sourceopener.h"

#include <QMetaObject>

namespace velorixa::playback {

SourceOpener::SourceOpener(OpenFn open, DiscardFn discard, QObject* parent)
    : QObject(parent), open_(std::move(open)), discard_(std::move(discard)) {
    // A stale open may still be waiting for its station while the next one starts.
    pool_.setMaxThreadCount(4);
    pool_.setExpiryTimeout(-1);
}

SourceOpener::~SourceOpener() {
    cancel();
    pool_.waitForDone();
}

void SourceOpener::start(const QString& name, int kind) {
    const uint64_t generation = ++generation_;
    busy_ = true;
    pool_.start([this, generation, name, kind] {
        OpenResult result = open_(name, kind);
        // Queued to this object: dropped with it if it is gone (then the layer is gone too).
        QMetaObject::invokeMethod(
            this, [this, generation, result] { deliver(generation, result); },
            Qt::QueuedConnection);
    });
}

void SourceOpener::cancel() {
    ++generation_;
    busy_ = false;
}

void SourceOpener::deliver(uint64_t generation, const OpenResult& result) {
    if (generation != generation_) {
        if (result.source != 0) discard_(result.source);
        return;
    }
    busy_ = false;
    emit finished(result.source, result.reason);
}

}  // namespace velorixa::playback
