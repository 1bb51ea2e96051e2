#pragma once
// Choosing the current item of the play list: the operator's selection, else the next line by
// the play order (up, random, down), with a one-step history for Previous. The current item is
// a line's text, never its index, so editing the list needs no bookkeeping here.
//
// Thread contract: a plain object owned by the main window; window thread only.

#include <QString>

#include <cstdint>
#include <functional>

#include "playlist/playlistmodel.h"

namespace velorixa::playback {

// `ListTurn` values: the play order chosen with `OptTurn(1..3)`.
enum class PlayOrder : std::uint8_t { Up = 1, Random = 2, Down = 3 };

// Source of random values r with 0 <= r < 1. The application seeds it from the clock; tests
// inject a fixed sequence. Values outside 0..1 are clamped to a valid line.
using RandomSource = std::function<double()>;

// A source seeded from the clock, for the application.
RandomSource ClockSeededRandom();

class PlayQueue {
  public:
    explicit PlayQueue(RandomSource random = ClockSeededRandom());

    // The current item (the text shown in `NamePlay`); empty until one is chosen.
    QString NamePlay;
    // The item that was current before the last choice; one entry only.
    QString PrevBuff;
    // The play order; Random at load.
    PlayOrder ListTurn = PlayOrder::Random;

    // `DefineNext`: makes the next item current. A selected line that is not the current item
    // wins; otherwise the next line by the play order after the selected current line (or from
    // no line). Leaves exactly that line selected. Does nothing, not even to PrevBuff, on an
    // empty list.
    void DefineNext(playlist::PlaylistModel& list);

    // `NextIndex`: the index after index (-1 = no line) in the play order, for a list of
    // list.count() lines; -1 for an empty list. Random draws avoid the line equal to NamePlay
    // twice, then take the third draw whatever it is.
    int NextIndex(int index, const playlist::PlaylistModel& list);

    // `TakePrev`: swaps NamePlay and PrevBuff and selects only the first line equal to the new
    // NamePlay (none when no line equals it). Called only when PrevBuff is not empty.
    void TakePrev(playlist::PlaylistModel& list);

    // The condition under which Previous acts.
    bool CanTakePrev() const { return !PrevBuff.isEmpty(); }

  private:
    int Draw(int n);

    RandomSource random_;
};

// The Up/Down keys on page 0: `CursorMove`, or `DefineNext` when no line is selected.
void CursorMoveOrDefineNext(playlist::PlaylistModel& list, int mode, PlayQueue& queue);

}  // namespace velorixa::playback
