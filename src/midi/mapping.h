#pragma once
// What a controller's knobs, pads and program changes are bound to, and the readable text file
// each controller's bindings are kept in.
//
// The file, one binding a line after a header line:
//
//     # Velorixa controller mapping 1
//     cc 1 20 = knob 2
//     cc 1 21 = knob 2 relative-twos
//     note 10 36 = key A
//     note 10 37 = initial-sound
//     program 1 2 = set 3
//
// A source is "cc", "note" or "program", its channel 1..16 and its number 0..127. Targets:
// volume, rotation-speed, master-volume, pitch-low, pitch-high, knob N, rotate N, zero N (N
// 1..9), key A..Z, initial-sound, style N (1..12), set N (1..8), play, pause, stop, next,
// previous, repeat. A control change bound to a value turns it absolutely (0..127 over the
// value's range) or as a relative encoder: relative-twos (1..63 up, 127..65 down) or
// relative-offset (64 still, 65 up one, 63 down one). Blank lines and lines starting with "#"
// are comments.
//
// A file without the header, not text, or too large is broken: it loads nothing and the reason
// is told. A line that cannot be read (garbage, an unknown target, a note bound to a value) or
// that binds a source bound on an earlier line is left out and told; the rest of the file works.
//
// Thread contract: plain values and pure functions; any thread.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace velorixa::midi {

enum class SourceKind : std::uint8_t { ControlChange, Note, Program };

struct Source {
    SourceKind kind = SourceKind::ControlChange;
    int channel = 1;  // 1..16
    int number = 0;   // 0..127
    friend bool operator==(const Source&, const Source&) = default;
};

enum class TargetKind : std::uint8_t {
    Volume,
    RotationSpeed,
    MasterVolume,
    PitchLow,
    PitchHigh,
    Knob,    // index 1..9: the knob's value
    Rotate,  // index 1..9: its rotate button
    Zero,    // index 1..9: its zero button
    Key,     // index 1..26: a performance key
    InitialSound,
    Style,  // index 1..12
    Set,    // index 1..8: the set bound to F1..F8
    Play,
    Pause,
    Stop,
    Next,
    Previous,
    Repeat,
};

struct Target {
    TargetKind kind = TargetKind::Volume;
    int index = 0;
    friend bool operator==(const Target&, const Target&) = default;
};

// A value a knob or fader turns (the others are pressed).
bool IsValueTarget(TargetKind kind);

// The range of a value target, the step of one encoder detent (the bar's small step, as its
// arrow moves it), and whether the bar's top is its low end (the equaliser and effect knobs
// stand upright: a fader pushed up moves them up).
struct ValueRange {
    int min = 0, max = 100, step = 1;
    bool upright = false;
};
ValueRange RangeOf(const Target& t);

enum class CcForm : std::uint8_t { Absolute, RelativeTwos, RelativeOffset };

// The signed detents of one relative controller value.
int RelativeDelta(CcForm form, int value);
// The target value of an absolute controller value 0..127.
int AbsoluteValue(const ValueRange& r, int value);

struct Binding {
    Source source;
    Target target;
    CcForm form = CcForm::Absolute;
    friend bool operator==(const Binding&, const Binding&) = default;
};

// Text of a target ("knob 2", "key A") and of a whole binding line.
QString TargetText(const Target& t);
std::optional<Target> ParseTarget(const QString& text);
QString SourceText(const Source& s);
QString BindingText(const Binding& b);

class Mapping {
  public:
    const std::vector<Binding>& bindings() const { return bindings_; }
    const Binding* find(const Source& s) const;
    // Binds b's source, replacing what it was bound to.
    void bind(const Binding& b);
    void removeAt(int index);
    bool empty() const { return bindings_.empty(); }
    friend bool operator==(const Mapping&, const Mapping&) = default;

  private:
    std::vector<Binding> bindings_;
};

inline constexpr const char* kMappingHeader = "# Velorixa controller mapping 1";
inline constexpr qsizetype kMappingMaxBytes = 256 * 1024;

QByteArray MappingText(const Mapping& m, const QString& controller);

struct MappingRead {
    bool ok = false;
    QString why;          // not ok: why nothing was loaded
    Mapping mapping;      // ok: the lines that could be read
    QStringList skipped;  // "line 4: unknown target \"warp 3\""
};
MappingRead ParseMapping(const QByteArray& data);

// The file of a controller's bindings inside folder: its name made safe for a file name.
QString MappingFileName(const QString& controller);
// $XDG_CONFIG_HOME/velorixa (default ~/.config/velorixa), without a trailing "/".
QString MappingFolder();

}  // namespace velorixa::midi
