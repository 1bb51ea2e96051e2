// bench_playlist: the list operations on a full list (32767 lines), without the window.
// Prints the median of several runs of each operation in milliseconds.
//
// Usage: bench_playlist [runs]   (default 9)

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "playlist/listfile.h"
#include "playlist/playlistmodel.h"

using namespace velorixa::playlist;

namespace {

// A realistic music list: full paths of about 70 characters, some non-ASCII.
PlaylistModel FullList() {
    PlaylistModel m;
    for (int i = 0; i < PlaylistModel::kMaxLines; ++i)
        m.append(QString("/home/operator/Music/Artist %1/Album Ärger %2/%3 - Track name.mp3")
                     .arg(i / 200)
                     .arg(i / 20)
                     .arg(i % 20, 2, 10, QChar(u'0')));
    return m;
}

// prepare runs untimed before each run; op is timed.
double MedianMs(int runs, const std::function<void()>& prepare, const std::function<void()>& op) {
    std::vector<double> ms;
    for (int r = 0; r < runs; ++r) {
        prepare();
        QElapsedTimer t;
        t.start();
        op();
        ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 9;
    QTemporaryDir dir;
    const QString memo = MemoListPath(dir.path() + "/");
    const PlaylistModel full = FullList();
    if (!SaveMemoList(memo, full)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(memo));
        return 1;
    }

    PlaylistModel work;
    const auto none = [] {};
    std::printf("lines %d, median of %d runs\n", full.count(), runs);

    const double load = MedianMs(
        runs, [&] { work.clear(); }, [&] { LoadMemoList(memo, work); });
    if (work.count() != full.count()) return 2;
    std::printf("load MemoList.ini        %8.2f ms\n", load);

    const double save = MedianMs(runs, none, [&] { SaveMemoList(memo, full); });
    std::printf("save MemoList.ini        %8.2f ms\n", save);

    // Every third line selected, as after a large shift-click selection with gaps.
    const double remove = MedianMs(
        runs,
        [&] {
            CopyList(full, work);
            for (int i = 0; i < work.count(); i += 3)
                work.setSelected(i, true);
        },
        [&] { RemoveSelected(work); });
    std::printf("remove 1/3 selected      %8.2f ms\n", remove);

    // A block of 1000 lines from the top moved to the bottom.
    const double move = MedianMs(
        runs,
        [&] {
            CopyList(full, work);
            for (int i = 0; i < 1000; ++i)
                work.setSelected(i, true);
        },
        [&] { MoveSelect(work, 2); });
    std::printf("move 1000 to bottom      %8.2f ms\n", move);

    // The list switch copies both ways (music list out, station list in).
    PlaylistModel hidden;
    const double copy = MedianMs(
        runs, [&] { hidden.clear(); },
        [&] {
            CopyList(full, hidden);
            CopyList(hidden, work);
        });
    std::printf("CopyList x2 (switch)     %8.2f ms\n", copy);
    return 0;
}
