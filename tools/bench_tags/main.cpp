// bench_tags: the window's longest stall while a folder of tagged files is added to the music
// list from the browser ("Select All", "Add Select.") and their tags are read and shown. A timer
// asks the window's event loop for a turn every millisecond; the longest gap between two turns,
// from the click until every line shows its tags, is the stall the operator would feel.
// The folder is made first with ffmpeg: one tagged FLAC file, copied with a title of its own
// for each copy.
//
// Usage: QT_QPA_PLATFORM=offscreen bench_tags [files] [runs]   (defaults 2000 and 3)
// Prints per run the longest gap, the time of the addition itself and the time until every
// tag was shown; exit code 0 when the longest gap of every run stays below 100 ms, 3 when not.

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "app/ui/velmix.h"
#include "audio/audiolib.h"
#include "netradio/ui/radiopanel.h"
#include "playlist/tagcache.h"
#include "playlist/ui/listbox.h"
#include "playlist/ui/playlistpage.h"

using namespace velorixa;

namespace {

constexpr double kTargetMs = 100;

// count copies of a tagged FLAC file in folder, "Song 0000" .. as their titles.
bool MakeFolder(const QString& folder, int count) {
    const QString first = folder + "/seed.flac";
    QProcess p;
    p.start("ffmpeg",
            {"-v", "error", "-nostdin", "-y", "-f", "lavfi", "-i",
             "sine=frequency=440:sample_rate=44100:duration=3", "-c:a", "flac", "-metadata",
             "title=Song 0000", "-metadata", "artist=The Band", "-metadata", "album=Bench", first});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return false;
    QFile f(first);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray seed = f.readAll();
    f.close();
    QFile::remove(first);
    const qsizetype at = seed.indexOf("Song 0000");
    if (at < 0) return false;
    for (int i = 0; i < count; ++i) {
        QByteArray copy = seed;
        copy.replace(at + 5, 4, QByteArray::number(i % 10000).rightJustified(4, '0'));
        QFile out(QString("%1/%2 song.flac").arg(folder).arg(i, 5, 10, QChar('0')));
        if (!out.open(QIODevice::WriteOnly) || out.write(copy) != copy.size()) return false;
    }
    return true;
}

struct Run {
    double longestGapMs = 0;
    double gapEndMs = 0;  // when the longest gap ended, from the click
    double addMs = 0;
    double allShownMs = 0;
};

Run OneRun(const QString& appPath, const QString& folder, int count) {
    Run r;
    auto w = std::make_unique<VelMix>(appPath);
    w->Show();
    w->radioPanel().messageBox = [](const QString&, const QString&) {};
    w->playListPage().messageBox = [](const QString&, const QString&) {};
    w->TimerBeg()->setInterval(0);
    w->TimerBeg()->start();
    while (w->formStartCount() == 0)
        QApplication::processEvents();

    PlayListPage& page = w->playListPage();
    page.OpenAddSav();
    page.setBrowserFolder(folder);
    QApplication::processEvents();

    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 start = 0;
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if ((now - last) / 1e6 > r.longestGapMs) {
            r.longestGapMs = (now - last) / 1e6;
            r.gapEndMs = (now - start) / 1e6;
        }
        last = now;
    });
    tick.start();
    QApplication::processEvents();

    // The operator's clicks, through the buttons.
    last = clock.nsecsElapsed();
    start = last;
    r.longestGapMs = 0;
    w->findChild<QPushButton*>("CmdSelAll")->click();
    w->findChild<QPushButton*>("CmdAddSel")->click();
    r.addMs = (clock.nsecsElapsed() - start) / 1e6;
    page.CloseAddSav();

    ListBox* view = page.PlayListView();
    const auto allShown = [&] {
        const playlist::PlaylistModel& m = view->model();
        if (m.count() < count) return false;
        // Every line read, and the last batch shown (its repaint timer has run).
        return w->tags().waiting() == 0 && w->tags().find(m.text(m.count() - 1)) &&
               view->QListView::model()
                   ->index(m.count() - 1, 0)
                   .data()
                   .toString()
                   .startsWith("The Band - ");
    };
    while (!allShown() && clock.nsecsElapsed() - start < 600'000'000'000LL)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    r.allShownMs = (clock.nsecsElapsed() - start) / 1e6;
    tick.stop();
    w->setStateLoaded(false);
    w->Unload();
    w.reset();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 2000;
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 3;
    QTemporaryDir dir;
    const QString folder = dir.path() + "/music";
    QDir().mkpath(folder);
    if (!MakeFolder(folder, count)) {
        std::fprintf(stderr, "could not make the tagged files with ffmpeg\n");
        return 1;
    }
    bool met = true;
    std::printf("%d tagged FLAC files added from the browser\n", count);
    for (int i = 0; i < runs; ++i) {
        // A fresh window each run: its tags are read anew.
        if (!BASS_Init(VX_DEVICE_NOSOUND, 44100, 0, nullptr)) return 2;
        const Run r = OneRun(dir.path() + "/", folder, count);
        std::printf(
            "run %d: longest event-loop gap %.1f ms (target < %.0f, ended %.0f ms after "
            "the click), addition %.1f ms, all tags shown after %.0f ms\n",
            i + 1, r.longestGapMs, kTargetMs, r.gapEndMs, r.addMs, r.allShownMs);
        met = met && r.longestGapMs < kTargetMs;
    }
    return met ? 0 : 3;
}
