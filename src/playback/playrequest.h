#pragma once
// The decisions of the play request, the transport and the position bar that need no window:
// what kind of name is to be played and what is handed to the player, the step timer's
// interval, the position bar's range and steps for a file's length, and what a move of the
// bar or the end of a file leads to. The window carries them out.
//
// Thread contract: pure functions; any thread.

#include <QString>

#include <cstdint>

namespace velorixa::playback {

// `PlayKind`: 0 not recognised, 1 internet stream, 2 file.
enum class PlayKind : std::uint8_t { Invalid = 0, Stream = 1, File = 2 };

// Classifies a name, case-sensitively: "http://", "https://" or "ftp://" at its start is a
// stream (most stations serve https now); a leading "/" (an absolute path) is a file; anything
// else is not recognised.
PlayKind ClassifyName(const QString& name);

// Step timer (`TimerNet`) interval for a request: 1000 ms for a stream, so the status text is
// painted before the blocking connect; 100 ms for a file; 0 (idle) otherwise.
int StepIntervalMs(PlayKind kind);

// The common guard of Play, Next, Previous and the double-click: nothing chosen and nothing
// to choose from.
bool NothingToPlay(const QString& namePlay, int listCount);

// Step 1 of `PlaySelected` for the item namePlay (not empty).
struct PlayRequest {
    PlayKind kind = PlayKind::Invalid;
    // `PlayName`: what the player opens. For a station line, its address cut before the first
    // blank; otherwise the item itself.
    QString playName;
    int stepIntervalMs = 0;           // `TimerNet.Interval`
    bool repeatEnabled = false;       // `TglRept` enabled (files only)
    bool positionBarEnabled = false;  // `ScrPlay` enabled (files only)
    bool showStreamStatus = false;    // `FrmNETNAME` shown with "connecting ..."
};
PlayRequest PlanRequest(const QString& namePlay);

// Texts of the play request's message boxes (all titled kErrorTitle, OK only, no icon).
inline constexpr const char* kErrorTitle = "Error";
inline constexpr const char* kInvalidNameText = "Invalid Name";
inline constexpr const char* kConnectingText = "connecting ...";
// "Connection Failure" for a stream, "File Error" for a file.
QString OpenFailureText(PlayKind kind);

// `LblFreq` after a successful open: the rate's digits, "  Hz" and two more blanks.
QString FreqLabel(int rateHz);

// A length or position in whole seconds as the window shows it: below a minute the seconds
// ("59"), from a minute on minutes and seconds ("1:00", "75:03"); negative values show as 0.
QString TimeText(int seconds);

// The position bar `ScrPlay` for a file of lengthSec seconds (the player's `GetFileLen`).
struct PositionBar {
    int PlayLen = 1;      // bar maximum, whole seconds: 1..32767
    int SmallChange = 1;  // lengthSec / 100, 1..PlayLen
    int LargeChange = 1;  // lengthSec / 16, 1..PlayLen
};
// Each value is rounded to the nearest whole number, halves to even, and is at least 1. The bar
// is 16-bit: a file longer than 32767 s gets the range 0..32767 and steps within it (the
// position tick then stops moving the bar past its end). A negative or NaN length gives 1.
PositionBar PositionBarFor(double lengthSec);

// What a change of the position bar leads to.
enum class BarAction {
    None,     // the position tick moved the bar (`MoveGuard` up): not a seek
    Restart,  // at its minimum: `PlaySelected`, the item from its start
    Repeat,   // at its maximum with Repeat down: `PlaySelected`
    Next,     // at its maximum with Repeat up: `PlayNext`
    Seek,     // elsewhere: the player's `SetPPlay` with value seconds
};
BarAction PositionBarChange(int value, int minimum, int maximum, bool moveGuard, bool repeatDown);

// What the position tick does when a file has been played to its end.
enum class FileEndAction { Repeat, Next };
inline FileEndAction AtFileEnd(bool repeatDown) {
    return repeatDown ? FileEndAction::Repeat : FileEndAction::Next;
}

// `MasVolKey` (N 0..10): the master volume bar's value, 10 x N, clamped to 0..100.
int MasterVolumeForKey(int n);

}  // namespace velorixa::playback
