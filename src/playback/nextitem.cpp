#include "playback/nextitem.h"

#include <chrono>
#include <cmath>
#include <memory>
#include <random>

namespace velorixa::playback {

using playlist::PlaylistModel;

RandomSource ClockSeededRandom() {
    const auto seed =
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count() ^
                                   std::chrono::system_clock::now().time_since_epoch().count());
    auto engine = std::make_shared<std::mt19937_64>(seed);
    return [engine]() { return std::generate_canonical<double, 53>(*engine); };
}

PlayQueue::PlayQueue(RandomSource random) : random_(std::move(random)) {
    if (!random_) random_ = ClockSeededRandom();
}

int PlayQueue::Draw(int n) {
    double r = random_();
    if (!(r >= 0.0)) r = 0.0;  // also NaN
    const double scaled = std::floor(static_cast<double>(n) * r);
    // r = 1 (or more) from a careless source would point past the last line.
    return scaled >= static_cast<double>(n) ? n - 1 : static_cast<int>(scaled);
}

int PlayQueue::NextIndex(int index, const PlaylistModel& list) {
    const int n = list.count();
    if (n == 0) return -1;
    switch (ListTurn) {
        case PlayOrder::Up:
            if (index < 0 || index > n) return n - 1;
            return index == 0 ? n - 1 : index - 1;
        case PlayOrder::Down:
            if (index < 0) return 0;
            return index + 1 >= n ? 0 : index + 1;
        case PlayOrder::Random: {
            int i = Draw(n);
            if (list.text(i) == NamePlay) i = Draw(n);
            if (list.text(i) == NamePlay) i = Draw(n);
            return i;
        }
    }
    return index >= 0 && index < n ? index : -1;
}

void PlayQueue::DefineNext(PlaylistModel& list) {
    if (list.isEmpty()) return;
    PrevBuff = NamePlay;
    if (list.count() == 1) {
        NamePlay = list.text(0);
        list.setSelected(0, true);
        list.setCurrentRow(0);
        return;
    }
    int s = list.firstSelected();
    for (int i = s + 1; s >= 0 && i < list.count(); ++i)
        list.setSelected(i, false);
    if (s >= 0 && list.text(s) != NamePlay) {
        list.setCurrentRow(s);
        NamePlay = list.text(s);
        return;
    }
    if (s >= 0) list.setSelected(s, false);
    const int next = NextIndex(s, list);
    if (next < 0) return;
    NamePlay = list.text(next);
    list.setSelected(next, true);
    list.setCurrentRow(next);
}

void PlayQueue::TakePrev(PlaylistModel& list) {
    std::swap(NamePlay, PrevBuff);
    list.clearSelection();
    const int row = list.indexOf(NamePlay);
    if (row >= 0) {
        list.setSelected(row, true);
        list.setCurrentRow(row);
    }
}

void CursorMoveOrDefineNext(PlaylistModel& list, int mode, PlayQueue& queue) {
    if (!playlist::CursorMove(list, mode)) queue.DefineNext(list);
}

}  // namespace velorixa::playback
