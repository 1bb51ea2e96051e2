#pragma once
// The performance styles: a style names a few letter keys (or all 26); while one is selected,
// the sequencer fires a random key of it every 12 to 16 seconds of play, at a quiet moment when
// it can (a beat level of at most 100, waiting at most 10 position ticks for one), and never in
// the last 7 seconds of a file. The texts the style editor shows and stores come from here too.
//
// Thread contract: GUI thread only.

#include <QString>
#include <functional>

namespace velorixa::perform {

// "A -- Z mix" for an empty content, else every letter followed by one blank.
QString ContentShown(const QString& content);
// A title as stored: its first 7 characters, without double quotes or line breaks (a set file
// cannot hold them).
QString NormalisedTitle(const QString& title);
// A content as stored: upper case, only the letters A..Z in their order, at most 7.
QString NormalisedContent(const QString& content);

// What a firing sees of the player.
struct StyleTickInput {
    int t = 0;               // play position in whole seconds
    bool isFile = false;     // the source is a file (its end is known)
    int playLen = 1;         // a file's length in whole seconds
    float beatLevel = 0.0f;  // the display's running level
};

class StyleSequencer {
  public:
    // Uniform in [0, 1); a fixed source in tests.
    std::function<double()> random;
    // Fires key 1..26 (the caller presses it when it holds a setting).
    std::function<void(int key)> fire;

    StyleSequencer();

    // A style was chosen (`ButTyp_Click`): the first key fires at the next tick.
    void Select(int style);
    // `InitTypPerf`'s part: no style runs.
    void Stop();

    // One play-position tick while style StyleSel runs, with that style's content.
    void PlayPosTick(const StyleTickInput& in, const QString& content);
    void FireStyleKey(const StyleTickInput& in, const QString& content);

    int StyleSel = 0;       // 1..12; 0 = no style runs
    bool StyleDue = false;  // a firing is due
    int StyleGap = 0;       // seconds from one firing to the next, 12..16 once drawn
    int StyleLast = 0;      // play position of the last firing or rescheduling
    int StyleWait = 0;      // ticks waited for a quiet moment since the firing became due
};

}  // namespace velorixa::perform
