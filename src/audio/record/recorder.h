#pragma once
// A recording of the output as heard: a tap on the engine's output (after the master volume and
// the output stage) and a writer thread that drains it into a file.
//
// The audio thread only copies each block into the tap's ring (it never waits, allocates or
// touches the disk); the writer thread takes what has arrived every few milliseconds, converts
// it to 24 bits and hands it to the sink. The ring holds `ringSeconds` of output, so a disk that
// stalls for that long loses nothing; beyond that the frames that find the ring full are counted
// as lost and reported. Once a second the writer makes the file readable as it stands (see
// RecordSink::checkpoint) and checks that it is still there. When the sink fails (disk full,
// folder gone) the writer cuts the file back to what was written whole and stops; the music
// goes on.
//
// A take is written at the output's rate. When the output's rate changes during a take (the
// engine marks the point in the tap, or the output is opened again at another rate), the file
// ends at the change and the take goes on in a new file at the new rate, "<name> part 2.flac"
// and so on: no file holds frames of two rates or has a header with the wrong one.
//
// Thread contract: start(), stop() and poll-style getters run on one controlling thread (the
// window's), never inside the audio thread's block; stop() waits for the writer to finish the
// file. Status counters are atomics the writer updates; the failure text and the current file
// are guarded by a mutex the audio thread never takes.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "audio/realtime/recordtap.h"
#include "audio/record/recordsink.h"

namespace velorixa::audio {

struct RecordStatus {
    bool active = false;            // the writer runs (false after stop() or a failure)
    bool failed = false;            // the sink failed; error says why
    std::string error;              // empty unless failed
    std::string path;               // the file being written (the last one once stopped)
    int rateHz = 0;                 // the output's rate, the file's rate
    int part = 1;                   // 1 for the first file of the take, 2 after a rate change...
    uint64_t framesOffered = 0;     // delivered by the output since the start
    uint64_t framesWritten = 0;     // taken by the sink into this file
    uint64_t framesLost = 0;        // found the ring full
    uint64_t bytes = 0;             // this file's size
    double earlierSeconds = 0;      // the length of the take's earlier files
    uint64_t earlierBytes = 0;      // and their size
    double writerCpuSeconds = 0;    // CPU time of the writer thread
    int64_t longestHandOverNs = 0;  // the audio thread's longest push into the ring
    double meanHandOverNs = 0;      // and its mean push
};

class Recorder {
  public:
    using SinkOpener = std::function<std::unique_ptr<RecordSink>(
        const std::string& path, RecordFormat format, int rateHz, std::string* error)>;

    struct Options {
        double ringSeconds = 20;  // what a stalled disk may hold up without loss
        int checkpointMs = 1000;  // header rewrite and sync
        SinkOpener openSink;      // OpenSndfileSink unless set
    };

    Recorder();
    explicit Recorder(Options options);
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Opens the file at path (which must not exist) at the output's rate and attaches the tap.
    // False, with a reason, when the audio layer is not initialised, a recording runs already or
    // the file cannot be made.
    bool start(const std::string& path, RecordFormat format, std::string* error);
    // Detaches the tap, writes what the ring still holds, finishes the file and returns the
    // final status. Does nothing (returns the last status) when nothing runs.
    RecordStatus stop();
    // True from start() until stop() (also after a failure, until stop() is called).
    bool started() const { return started_; }
    RecordStatus status() const;

    // The file for part n (n >= 2) of a take that began in `first`: "<stem> part n.<ext>".
    static std::string PartPath(const std::string& first, int part);

  private:
    void writerLoop();
    // Writer: ends the file and goes on in the next part at rateHz.
    bool nextFile(int rateHz, std::string* why);
    // Writer: a rate change the engine did not mark, or an output opened again without the tap
    // (it is attached to the new one): where the frames of the new rate begin in the ring.
    bool outputChanged(RecordTap::RateMark* mark);

    Options options_;
    bool started_ = false;
    std::shared_ptr<RecordTap> tap_;
    std::unique_ptr<RecordSink> sink_;
    std::thread writer_;
    std::string firstPath_;
    RecordFormat format_ = RecordFormat::Flac;
    // The file being written and its rate; the writer changes them at a rate change, under
    // errorMutex_ (status() reads them there).
    std::string path_;
    int rateHz_ = 0;
    int part_ = 1;
    double earlierSeconds_ = 0;
    uint64_t earlierBytes_ = 0;
    uint64_t inode_ = 0;     // the file's, when it was made (writer only)
    bool stopping_ = false;  // guarded by wakeMutex_: the writer attaches the tap no more

    std::mutex wakeMutex_;
    std::condition_variable wake_;
    bool quit_ = false;  // guarded by wakeMutex_

    std::atomic<bool> running_{false};
    std::atomic<bool> failed_{false};
    std::atomic<uint64_t> written_{0};
    std::atomic<uint64_t> bytes_{0};
    std::atomic<int64_t> cpuNs_{0};
    mutable std::mutex errorMutex_;
    std::string error_;
    RecordStatus final_;
};

}  // namespace velorixa::audio
