#include "desktop/ui/openitems.h"

#include <QThread>

#include <atomic>
#include <memory>

#include "app/ui/velmix.h"
#include "desktop/commandline.h"
#include "netradio/ui/radiopanel.h"
#include "playback/nextitem.h"
#include "playback/ui/playcontrol.h"
#include "playlist/ui/listbox.h"
#include "playlist/ui/playlistpage.h"
#include "util/ui/notice.h"

namespace velorixa::desktop {

int OpenItems(VelMix& window, const QStringList& items) {
    if (items.isEmpty() || window.unloadCount() > 0) return 0;
    PlayListPage& page = window.playListPage();
    if (!page.musicMode()) window.radioPanel().SwitchList();
    playlist::PlaylistModel& list = page.PlayListView()->model();
    list.clearSelection();
    const int first = list.count();
    int taken = 0;
    for (const QString& item : items) {
        if (!list.append(item)) break;
        ++taken;
    }
    if (taken == 0) {
        page.PlayListView()->refresh();
        return 0;
    }
    list.setSelected(first, true);
    list.setCurrentRow(first);
    page.PlayListView()->refresh();
    // The selected line becomes the current item and plays; when it already is the current
    // item it plays again from its start.
    PlayControl& play = window.playControl();
    if (list.text(first) == window.playQueue().NamePlay) {
        play.PlaySelected();
    } else {
        play.PlayNext();
    }
    return taken;
}

void OpenArgumentsLater(VelMix& window, const QStringList& arguments, const QString& folder) {
    // The worker owns everything it touches; the window only hears of it when it still exists.
    struct Job {
        OpenRequest request;
        std::atomic<bool> goesOn{true};
    };
    auto job = std::make_shared<Job>();
    QThread* worker = QThread::create([job, arguments, folder] {
        job->request = OpenRequestFrom(arguments, folder, [job] { return job->goesOn.load(); });
    });
    // A window that goes away ends a walk still under way.
    QObject::connect(&window, &QObject::destroyed, worker, [job] { job->goesOn = false; });
    QObject::connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    QObject::connect(
        worker, &QThread::finished, &window,
        [&window, job] {
            const OpenRequest& r = job->request;
            if (!r.problems.isEmpty())
                util::ShowNotice(&window, QStringLiteral("Open"), r.problems.join(u'\n'));
            OpenItems(window, r.items);
        },
        Qt::QueuedConnection);
    worker->start();
}

}  // namespace velorixa::desktop
