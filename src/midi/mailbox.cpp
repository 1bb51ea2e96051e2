#include "midi/mailbox.h"

#include "midi/mapping.h"

namespace velorixa::midi {

bool EventMailbox::push(int port, const MidiMessage& m) {
    std::lock_guard lock(mu_);
    const bool wasEmpty = pending_.empty();
    if (m.kind == MidiKind::ControlChange) {
        const auto key = (static_cast<std::uint32_t>(port) << 16) |
                         (static_cast<std::uint32_t>(m.channel) << 8) | m.number;
        const auto [it, fresh] = ccIndex_.try_emplace(key, pending_.size());
        if (!fresh) {
            ControllerEvent& e = pending_[it->second];
            e.message.value = m.value;
            e.twos += RelativeDelta(CcForm::RelativeTwos, m.value);
            e.offset += RelativeDelta(CcForm::RelativeOffset, m.value);
            ++e.count;
            return wasEmpty;
        }
    }
    if (pending_.size() >= kMaxPending) {
        ++dropped_;
        return wasEmpty;
    }
    ControllerEvent e;
    e.port = port;
    e.message = m;
    if (m.kind == MidiKind::ControlChange) {
        e.first = m.value;
        e.twos = RelativeDelta(CcForm::RelativeTwos, m.value);
        e.offset = RelativeDelta(CcForm::RelativeOffset, m.value);
    }
    pending_.push_back(e);
    return wasEmpty;
}

std::vector<ControllerEvent> EventMailbox::take() {
    std::lock_guard lock(mu_);
    spare_.clear();
    spare_.swap(pending_);
    ccIndex_.clear();
    return spare_;
}

std::size_t EventMailbox::dropped() const {
    std::lock_guard lock(mu_);
    return dropped_;
}

}  // namespace velorixa::midi
