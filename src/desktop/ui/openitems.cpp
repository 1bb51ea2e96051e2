#include "desktop/ui/openitems.h"

#include <QPointer>
#include <QThread>

#include <atomic>
#include <memory>

#include "desktop/commandline.h"
#include "playback/playback.h"

namespace velorixa::desktop {

void OpenArgumentsLater(playback::Playback& playback, const QStringList& arguments,
                        const QString& folder, ProblemSink tell) {
    // The worker owns everything it touches; the transport only hears of it when it still exists.
    struct Job {
        OpenRequest request;
        std::atomic<bool> goesOn{true};
    };
    auto job = std::make_shared<Job>();
    QThread* worker = QThread::create([job, arguments, folder] {
        job->request = OpenRequestFrom(arguments, folder, [job] { return job->goesOn.load(); });
    });
    // A transport that goes away ends a walk still under way.
    QObject::connect(&playback, &QObject::destroyed, worker, [job] { job->goesOn = false; });
    QObject::connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    QObject::connect(
        worker, &QThread::finished, &playback,
        [p = QPointer(&playback), job, tell = std::move(tell)] {
            if (!p) return;
            const OpenRequest& r = job->request;
            if (!r.problems.isEmpty() && tell) tell(r.problems.join(u'\n'));
            if (!r.items.isEmpty()) p->openItems(r.items);
        },
        Qt::QueuedConnection);
    worker->start();
}

}  // namespace velorixa::desktop
