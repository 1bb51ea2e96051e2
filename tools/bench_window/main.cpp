// bench_window: the window's own cost on a full music list (32767 lines), on Qt's offscreen
// platform and the audio layer's no-sound device. Each figure is the median of several runs, and
// every timed step ends with the window processing its events and painting, so what is measured
// is the time until the operator sees the result.
//
// Usage: QT_QPA_PLATFORM=offscreen bench_window [runs]   (default 9)
// Exit code 0 when every figure meets its target, 3 when one does not, 1 or 2 on a set-up fault.

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "app/ui/velmix.h"
#include "audio/audiolib.h"
#include "audio/player.h"
#include "common/testmedia.h"
#include "netradio/ui/radiopanel.h"
#include "playback/ui/playcontrol.h"
#include "playlist/listfile.h"
#include "playlist/playlistmodel.h"
#include "playlist/ui/listbox.h"
#include "playlist/ui/playlistpage.h"

using namespace velorixa;
using playlist::PlaylistModel;

namespace {

struct Stats {
    double median = 0, min = 0, max = 0;
};

Stats StatsOf(std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.front(), ms.back()};
}

double MsSince(const QElapsedTimer& t) {
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

bool g_allMet = true;

void Report(const char* what, const Stats& s, double targetMs) {
    const bool met = s.median < targetMs;
    g_allMet = g_allMet && met;
    std::printf("%-34s median %8.2f  min %8.2f  max %8.2f ms   target < %4.0f ms  %s\n", what,
                s.median, s.min, s.max, targetMs, met ? "ok" : "MISSED");
}

// The lines of a full list: paths like those of a large music collection.
QStringList ListLines(int count) {
    QStringList lines;
    lines.reserve(count);
    for (int i = 0; i < count; ++i)
        lines << QString("/music/folder %1/track %2.mp3")
                     .arg(i / 100, 3, 10, QChar(u'0'))
                     .arg(i, 5, 10, QChar(u'0'));
    return lines;
}

bool WriteMemoList(const QString& appPath, const QStringList& lines) {
    PlaylistModel m;
    m.setTexts(lines);  // at most kMaxLines: a longer file is written by hand below
    if (lines.size() <= PlaylistModel::kMaxLines)
        return playlist::SaveMemoList(playlist::MemoListPath(appPath), m);
    QFile f(playlist::MemoListPath(appPath));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    for (const QString& line : lines)
        f.write((line + "\r\n").toUtf8());
    return f.error() == QFile::NoError;
}

// What the operator sees: pending events handled, then the window painted.
void ShowNow(VelMix& w) {
    QApplication::processEvents();
    w.repaint();
}

// A window on the saved list in appPath, as the program starts it, minus the half second of the
// title cover: the deferred start runs at once.
std::unique_ptr<VelMix> OpenWindow(const QString& appPath) {
    auto w = std::make_unique<VelMix>(appPath);
    w->Show();
    w->radioPanel().messageBox = [](const QString&, const QString&) {};  // no station file here
    // A message (the over-long saved list says so) is printed rather than waited on.
    w->playListPage().messageBox = [](const QString& text, const QString& title) {
        std::fprintf(stderr, "message: %s: %s\n", qPrintable(title), qPrintable(text));
    };
    w->LoadSavedState();
    w->TimerBeg()->setInterval(0);
    w->TimerBeg()->start();
    while (w->formStartCount() == 0)
        QApplication::processEvents();
    ShowNow(*w);
    return w;
}

void CloseWindow(std::unique_ptr<VelMix>& w) {
    w->setStateLoaded(false);  // the benchmark's list files stay as they are
    w->Unload();               // frees the player and the audio layer
    w.reset();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Every run gets a window of its own on the no-sound device, as the program would have.
std::unique_ptr<VelMix> FreshWindow(const QString& appPath) {
    if (!BASS_Init(VX_DEVICE_NOSOUND, 44100, 0, nullptr)) return nullptr;
    return OpenWindow(appPath);
}

// One timed operation on a full list: prepare (untimed) then op followed by ShowNow.
Stats TimeOnWindow(VelMix& w, int runs, const std::function<void()>& prepare,
                   const std::function<void()>& op) {
    std::vector<double> ms;
    for (int r = 0; r < runs; ++r) {
        prepare();
        ShowNow(w);
        QElapsedTimer t;
        t.start();
        op();
        ShowNow(w);
        ms.push_back(MsSince(t));
    }
    return StatsOf(ms);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 9;
    QTemporaryDir dir;
    const QString appPath = dir.path() + "/";
    const QStringList lines = ListLines(PlaylistModel::kMaxLines);
    if (!WriteMemoList(appPath, lines)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(playlist::MemoListPath(appPath)));
        return 1;
    }
    std::printf("window on platform \"%s\", list of %d lines, median of %d runs\n",
                qPrintable(QApplication::platformName()), static_cast<int>(lines.size()), runs);

    // Start-up: window, saved list, cover off, list painted.
    {
        std::vector<double> ms;
        for (int r = 0; r < runs; ++r) {
            if (!BASS_Init(VX_DEVICE_NOSOUND, 44100, 0, nullptr)) return 1;
            QElapsedTimer t;
            t.start();
            auto w = OpenWindow(appPath);
            ms.push_back(MsSince(t));
            if (w->playListPage().PlayListView()->model().count() != lines.size()) {
                std::fprintf(stderr, "start-up loaded %d lines\n",
                             w->playListPage().PlayListView()->model().count());
                return 2;
            }
            CloseWindow(w);
        }
        Report("start-up with the full list", StatsOf(ms), 100);
    }

    auto w = FreshWindow(appPath);
    if (!w) return 1;
    PlayListPage& page = w->playListPage();
    ListBox& list = *page.PlayListView();
    const auto fullList = [&] {
        list.model().setTexts(lines);
        list.refresh(true);
    };

    // The music/station switch: the music list goes into its hidden copy and the station list
    // comes in, then the other way round.
    playlist::PlayLists& lists = w->playLists();
    lists.PlayListNET.setTexts({"http://127.0.0.1:8000/a", "http://127.0.0.1:8000/b"});
    const auto away = [&] {
        lists.SwitchList();
        list.refresh(true);
    };
    const auto back = [&] {
        lists.SwitchList();
        list.refresh(true);
    };
    Report("switch list away and back",
           TimeOnWindow(*w, runs, fullList,
                        [&] {
                            away();
                            ShowNow(*w);
                            back();
                        }),
           100);
    if (list.model().count() != lines.size()) return 2;

    // Remove with every third line selected.
    Report("remove (every third line)",
           TimeOnWindow(
               *w, runs,
               [&] {
                   fullList();
                   for (int i = 0; i < lines.size(); i += 3)
                       list.model().setSelected(i, true);
                   list.refreshSelection();
               },
               [&] { page.CmdRemoveSelect_Click(); }),
           100);
    if (list.model().count() != lines.size() - (lines.size() + 2) / 3) return 2;

    // A block of 1000 lines from the top to the bottom.
    Report("move 1000 lines to the bottom",
           TimeOnWindow(
               *w, runs,
               [&] {
                   fullList();
                   for (int i = 0; i < 1000; ++i)
                       list.model().setSelected(i, true);
                   list.refreshSelection();
               },
               [&] { page.MoveSelect(2); }),
           100);
    if (list.model().text(lines.size() - 1) != lines[999]) return 2;

    // Saving the music list (what closing the window does).
    QTemporaryDir saveDir;
    const QString savePath = saveDir.path() + "/";
    Report("save MemoList.ini",
           TimeOnWindow(*w, runs, fullList,
                        [&] {
                            if (!page.SaveMemoList(savePath)) std::exit(2);
                        }),
           100);
    CloseWindow(w);

    // Play request to sound: the step timer (100 ms) and then the file opening until the layer
    // reports a level on the playing channel.
    {
        const QString tone = dir.path() + "/tone 440.mp3";
        if (!testmedia::writeFile(tone.toStdString(),
                                  testmedia::encodeMp3(testmedia::sine(440, 5, 44100, 2))))
            return 1;
        QTemporaryDir playDir;
        const QString playPath = playDir.path() + "/";
        if (!WriteMemoList(playPath, {tone})) return 1;
        auto pw = FreshWindow(playPath);
        if (!pw) return 1;
        PlayControl& play = pw->playControl();
        PLAYER& player = pw->player();
        play.messageBox = [](const QString& text, const QString& title) {
            std::fprintf(stderr, "message: %s: %s\n", qPrintable(title), qPrintable(text));
            std::exit(2);
        };
        std::vector<double> toSound, toOpen;
        for (int r = 0; r < runs; ++r) {
            play.playback().stop();
            ShowNow(*pw);
            QThread::msleep(50);
            QElapsedTimer t;
            t.start();
            play.playback().play();
            double opened = -1;
            for (;;) {
                QApplication::processEvents();
                if (opened < 0 && !pw->TimerNet()->isActive() && player.GetFilePlayPerf())
                    opened = MsSince(t);
                const DWORD level = BASS_ChannelGetLevel(player.ChanPIT);
                if (opened >= 0 && level != 0 && level != static_cast<DWORD>(-1)) break;
                if (t.elapsed() > 3000) {
                    std::fprintf(stderr, "no sound within 3 s\n");
                    return 2;
                }
                QThread::msleep(1);
            }
            toSound.push_back(MsSince(t));
            toOpen.push_back(opened);
        }
        Report("play request to sound (file)", StatsOf(toSound), 150);
        const Stats open = StatsOf(toOpen);
        std::printf(
            "  of which until the file is open  median %8.2f  min %8.2f  max %8.2f ms "
            "(step timer %d ms)\n",
            open.median, open.min, open.max, 100);
        CloseWindow(pw);
    }

    // A station that never answers: the longest the window's event loop stood still from the
    // play request until the open gave up. The connection is accepted by the kernel's backlog
    // and then nothing is ever sent.
    {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), len) != 0 ||
            listen(fd, 4) != 0 || getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
            return 1;
        QTemporaryDir silentDir;
        const QString url = QString("http://127.0.0.1:%1/silent").arg(ntohs(addr.sin_port));
        if (!WriteMemoList(silentDir.path() + "/", {url})) return 1;
        auto sw = FreshWindow(silentDir.path() + "/");
        if (!sw) return 1;
        bool failed = false;
        sw->playControl().messageBox = [&](const QString&, const QString&) { failed = true; };
        QElapsedTimer t;
        t.start();
        sw->playback().play();
        double last = MsSince(t), longest = 0;
        while (!failed && t.elapsed() < 20000) {
            QApplication::processEvents();
            const double now = MsSince(t);
            longest = std::max(longest, now - last);
            last = now;
            QThread::msleep(1);
        }
        ::close(fd);
        std::printf(
            "station that never answers: open gave up after %.0f ms%s; longest stall of "
            "the window's event loop %.1f ms  target < 50 ms  %s\n",
            MsSince(t), failed ? "" : " (NOT within 20 s)", longest,
            longest < 50 ? "ok" : "MISSED");
        g_allMet = g_allMet && failed && longest < 50;
        CloseWindow(sw);
    }

    // The list limit: a longer saved list is cut at the limit on loading.
    {
        std::printf("list limit PlaylistModel::kMaxLines = %d%s\n", PlaylistModel::kMaxLines,
                    PlaylistModel::kMaxLines == 32767 ? " (32767: the measured list is full)"
                                                      : " (NOT 32767)");
        QTemporaryDir longDir;
        const QString longPath = longDir.path() + "/";
        const QStringList longLines = ListLines(33000);
        if (!WriteMemoList(longPath, longLines)) return 1;
        auto lw = FreshWindow(longPath);
        if (!lw) return 1;
        const PlaylistModel& m = lw->playListPage().PlayListView()->model();
        const bool kept = m.count() == PlaylistModel::kMaxLines &&
                          m.text(m.count() - 1) == longLines[PlaylistModel::kMaxLines - 1];
        std::printf("MemoList.ini of %d lines loads %d lines, the first %d in order: %s\n",
                    static_cast<int>(longLines.size()), m.count(), PlaylistModel::kMaxLines,
                    kept ? "yes" : "NO");
        g_allMet = g_allMet && kept;
        CloseWindow(lw);
    }
    return g_allMet ? 0 : 3;
}
