// bench_search: the music search over a generated tree, as the window runs it (offscreen).
// Prints, from one run: the walk's files per second, the longest time the window's event loop
// did not run during the walk, and how long a stop takes (until no line is added, and until the
// worker has returned).
//
// Usage: bench_search [folders] [files] [mp3]   (default 5000 100000 2000)
// The tree is made under a temporary folder and removed afterwards; its files are empty.

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <cstdio>

#include "playlist/playlists.h"
#include "playlist/ui/listbox.h"
#include "playlist/ui/playlistpage.h"
#include "util/ui/textfocus.h"

using namespace velorixa;

namespace {

// Folders four deep (artist/album/disc/part), files spread evenly, every n-th file an MP3.
QString MakeTree(const QString& root, int folders, int files, int mp3) {
    QStringList dirs;
    for (int i = 0; i < folders; ++i) {
        const QString d = QString("%1/Artist %2/Album %3/Disc %4/Part %5")
                              .arg(root)
                              .arg(i / 1000)
                              .arg(i / 100 % 10)
                              .arg(i / 10 % 10)
                              .arg(i % 10);
        QDir().mkpath(d);
        dirs << d;
    }
    const int every = std::max(1, files / std::max(1, mp3));
    for (int i = 0; i < files; ++i) {
        const bool music = i % every == 0 && i / every < mp3;
        QFile f(QString("%1/file %2.%3").arg(dirs[i % folders]).arg(i).arg(music ? "Mp3" : "jpg"));
        if (!f.open(QIODevice::WriteOnly)) return f.fileName();
    }
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int folders = argc > 1 ? atoi(argv[1]) : 5000;
    const int files = argc > 2 ? atoi(argv[2]) : 100000;
    const int mp3 = argc > 3 ? atoi(argv[3]) : 2000;

    QTemporaryDir dir;
    const QString root = dir.path() + "/drive";
    QElapsedTimer made;
    made.start();
    if (QString bad = MakeTree(root, folders, files, mp3); !bad.isEmpty()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(bad));
        return 1;
    }
    std::printf("tree: %d folders, %d files (%d MP3) made in %.1f s\n", folders, files, mp3,
                made.elapsed() / 1000.0);

    QWidget canvas;
    canvas.resize(457, 425);
    util::TextFocus textFocus;
    playlist::PlayLists lists;
    PlayListPage page(&canvas, textFocus, lists);
    page.messageBox = [](const QString& text, const QString&) {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    };
    // The page's controls by their names, as the operator finds them.
    auto* drive = canvas.findChild<QComboBox*>("Drive0");
    auto* toggle = canvas.findChild<QPushButton*>("TogFindMusic");
    if (!drive || !toggle) return 1;
    drive->addItem(root);
    drive->setCurrentIndex(drive->count() - 1);
    page.musicSearch().rules = [] { return util::WalkRules{}; };
    canvas.show();

    // The event loop's pulse: a zero timer runs once per pass of the loop.
    QElapsedTimer clock;
    qint64 last = 0, longest = 0;
    QTimer pulse;
    pulse.setInterval(0);
    QObject::connect(&pulse, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
    });
    const auto runUntil = [&](auto done) {
        while (!done())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    };

    // 1. The whole walk.
    playlist::MusicSearch& search = page.musicSearch();
    clock.start();
    pulse.start();
    toggle->click();  // on, as the operator's click
    runUntil([&] { return !search.running(); });
    const double walkS = clock.nsecsElapsed() / 1e9;
    pulse.stop();
    const int found = page.PlayListView()->model().count();
    std::printf("walk: %d MP3 of %d files in %.3f s: %.0f files/s, %.0f folders/s\n", found, files,
                walkS, files / walkS, folders / walkS);
    std::printf("longest time without the event loop during the walk: %.1f ms\n", longest / 1e6);

    // 2. A second walk, stopped when half the MP3 files are in the list.
    page.PlayListView()->model().clear();
    page.PlayListView()->refresh();
    clock.restart();
    last = 0;
    longest = 0;
    pulse.start();
    toggle->click();  // on, as the operator's click
    runUntil(
        [&] { return page.PlayListView()->model().count() >= found / 2 || !search.running(); });
    const int atStop = page.PlayListView()->model().count();
    QElapsedTimer stop;
    stop.start();
    toggle->click();  // the toggle off, as a click
    const double lineStopMs = stop.nsecsElapsed() / 1e6;
    const int afterClick = page.PlayListView()->model().count();
    runUntil([&] { return !search.walking(); });
    const double workerStopMs = stop.nsecsElapsed() / 1e6;
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    pulse.stop();
    std::printf(
        "stop at %d lines (%d after the click, %d at the end): the click took %.2f ms, "
        "the worker returned %.2f ms after it\n",
        atStop, afterClick, page.PlayListView()->model().count(), lineStopMs, workerStopMs);
    std::printf("longest time without the event loop during the second walk: %.1f ms\n",
                longest / 1e6);
    return 0;
}
