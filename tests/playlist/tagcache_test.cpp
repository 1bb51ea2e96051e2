// The tag cache: what an item is shown as, the worker's order, and that asking never waits.
#include "playlist/tagcache.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "common/waitfor.h"
#include "util/fspath.h"

namespace velorixa::playlist {
namespace {

audio::TrackTags tagsOf(const char* title, const char* artist) {
    audio::TrackTags t;
    t.media = true;
    t.title = QString::fromUtf8(title);
    t.artist = QString::fromUtf8(artist);
    return t;
}

TEST(ShownName, ArtistTitleOrTheFileName) {
    struct Case {
        const char* title;
        const char* artist;
        QString path;
        QString shown;
    };
    const Case cases[] = {
        {"Song", "Band", "/m/01 x.mp3", "Band - Song"},
        {"Song", "", "/m/01 x.mp3", "Song"},
        {"", "Band", "/m/01 x.flac", "01 x"},  // an artist alone names nothing
        {"", "", "/m/a.b.c.ogg", "a.b.c"},
        {"", "", "/m/no extension", "no extension"},
        {"", "", "/m/.opus", ".opus"},
        // A name that is not UTF-8 on disk is shown readably (its byte as Latin-1).
        {"", "", util::PathFromBytes("/m/caf\xe9.mp3"), QString::fromUtf8("café")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        EXPECT_EQ(ShownName(tagsOf(c.title, c.artist), c.path), c.shown);
    }
    EXPECT_TRUE(IsFileItem("/a.mp3"));
    EXPECT_FALSE(IsFileItem("http://radio.example/live Radio"));
    EXPECT_FALSE(IsFileItem(""));
}

// A reader the test holds at will and that records what it was asked for.
struct HeldReader {
    std::mutex m;
    std::condition_variable cv;
    bool open = false;
    QStringList asked;
    audio::TrackTags read(const QString& path) {
        std::unique_lock lock(m);
        cv.wait(lock, [this] { return open; });
        asked << path;
        const QString name = path.mid(path.lastIndexOf('/') + 1);
        return tagsOf(("T" + name).toUtf8().constData(), "A");
    }
    void release() {
        {
            std::lock_guard lock(m);
            open = true;
        }
        cv.notify_all();
    }
    QStringList seen() {
        std::lock_guard lock(m);
        return asked;
    }
};

TEST(TagCache, ReadsEachFileOnceInOrderWithThePlayingItemFirst) {
    HeldReader reader;
    TagCache cache([&reader](const QString& p) { return reader.read(p); });
    QSignalSpy read(&cache, &TagCache::tagsRead);
    cache.want({"/m/1", "http://station Name", "/m/2", "/m/1", "/m/3"});
    cache.want({"/m/2", "/m/4"});
    cache.wantFirst("/m/4");
    // Before anything is read: the file names, and the station line as it stands.
    EXPECT_EQ(cache.shownName("/m/3"), "3");
    EXPECT_EQ(cache.shownName("http://station Name"), "http://station Name");
    EXPECT_EQ(cache.find("/m/3"), nullptr);
    reader.release();
    ASSERT_TRUE(test::waitFor(
        [&] {
            return cache.find("/m/1") && cache.find("/m/2") && cache.find("/m/3") &&
                   cache.find("/m/4");
        },
        10000));
    // The worker may have taken "/m/1" before "/m/4" was put first; never a file twice.
    const QStringList seen = reader.seen();
    EXPECT_EQ(seen.size(), 4);
    EXPECT_EQ(seen.indexOf("/m/4"), seen.size() == 4 && seen.front() == "/m/1" ? 1 : 0);
    EXPECT_LT(seen.indexOf("/m/2"), seen.indexOf("/m/3"));
    EXPECT_EQ(cache.shownName("/m/3"), "A - T3");
    QStringList announced;
    for (const QList<QVariant>& args : read)
        announced << args.at(0).toStringList();
    announced.sort();
    EXPECT_EQ(announced, (QStringList{"/m/1", "/m/2", "/m/3", "/m/4"}));
    // Known paths that did not change are not read again.
    cache.want({"/m/1", "/m/2"});
    cache.wantFirst("/m/3");
    cache.want({"/m/5"});  // read after those checks: the worker takes the queue in order
    ASSERT_TRUE(test::waitFor([&] { return cache.find("/m/5") != nullptr; }, 10000));
    EXPECT_EQ(reader.seen().size(), 5);
}

// Files whose tags are their text, rewritten on disk while the cache runs.
TEST(TagCache, AChangedFileIsReadAgainWhenNextAskedForNeverOnTheWindowThread) {
    QTemporaryDir dir;
    const QString a = dir.filePath("a"), b = dir.filePath("b");
    const auto put = [](const QString& path, const QByteArray& text) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text) == text.size();
    };
    std::mutex m;
    QStringList asked;
    bool onWindowThread = false;
    const auto window = std::this_thread::get_id();
    TagCache cache([&](const QString& path) {
        QFile f(path);
        const QByteArray text = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        std::lock_guard lock(m);
        asked << path;
        onWindowThread = onWindowThread || std::this_thread::get_id() == window;
        return tagsOf(text.constData(), "");
    });
    const auto title = [&](const QString& path) {
        const audio::TrackTags* t = cache.find(path);
        return t ? t->title : QString();
    };
    ASSERT_TRUE(put(a, "one") && put(b, "bee"));
    cache.want({a});
    ASSERT_TRUE(test::waitFor([&] { return title(a) == "one"; }, 10000));
    cache.want({a, b});  // a unchanged: checked, not read
    ASSERT_TRUE(test::waitFor([&] { return title(b) == "bee"; }, 10000));
    // Another size; then the same size with another modification time.
    ASSERT_TRUE(put(a, "three"));
    cache.wantFirst(a);
    ASSERT_TRUE(test::waitFor([&] { return title(a) == "three"; }, 10000));
    ASSERT_TRUE(put(a, "eight"));
    QFile touched(a);
    ASSERT_TRUE(touched.open(QIODevice::ReadWrite));
    ASSERT_TRUE(touched.setFileTime(QDateTime::currentDateTime().addSecs(60),
                                    QFileDevice::FileModificationTime));
    touched.close();
    cache.want({b, a});
    ASSERT_TRUE(test::waitFor([&] { return title(a) == "eight"; }, 10000));
    EXPECT_EQ(cache.shownName(a), "eight");
    std::lock_guard lock(m);
    EXPECT_EQ(asked, (QStringList{a, b, a, a}));
    EXPECT_FALSE(onWindowThread);
}

TEST(TagCache, HoldsItsBoundDroppingThePathAskedForLeastRecently) {
    std::mutex m;
    QStringList asked;
    TagCache cache(
        [&](const QString& path) {
            std::lock_guard lock(m);
            asked << path;
            return tagsOf("T", "A");
        },
        nullptr, 3);
    const auto readAll = [&](const QStringList& paths) {
        return test::waitFor(
            [&] {
                return std::all_of(paths.begin(), paths.end(),
                                   [&](const QString& p) { return cache.find(p) != nullptr; });
            },
            10000);
    };
    cache.want({"/m/1", "/m/2", "/m/3"});
    ASSERT_TRUE(readAll({"/m/1", "/m/2", "/m/3"}));
    cache.want({"/m/1"});
    cache.want({"/m/4"});  // "/m/2" was asked for least recently
    ASSERT_TRUE(readAll({"/m/1", "/m/3", "/m/4"}));
    EXPECT_EQ(cache.size(), 3);
    EXPECT_EQ(cache.find("/m/2"), nullptr);
    EXPECT_EQ(cache.shownName("/m/2"), "2");
    cache.wantFirst("/m/2");  // dropped: read again
    ASSERT_TRUE(readAll({"/m/2"}));
    QStringList many;
    for (int i = 0; i < 50; ++i)
        many << QString("/big/%1").arg(i);
    cache.want(many);
    EXPECT_EQ(cache.size(), 3);
    ASSERT_TRUE(readAll({"/big/47", "/big/48", "/big/49"}));
    std::lock_guard lock(m);
    EXPECT_EQ(asked.count("/m/2"), 2);
}

TEST(TagCache, AskingForManyFilesReturnsAtOnceAndGoesAwayWhileReading) {
    HeldReader reader;  // never released: the worker stays inside its first read
    auto cache = std::make_unique<TagCache>([&reader](const QString& p) { return reader.read(p); });
    QStringList many;
    for (int i = 0; i < 2000; ++i)
        many << QString("/music/%1.flac").arg(i);
    cache->want(many);
    // The worker takes the first file and waits inside the reader with it.
    ASSERT_TRUE(test::waitFor([&] { return cache->waiting() == 1999; }, 5000));
    EXPECT_EQ(cache->shownName("/music/1999.flac"), "1999");
    // Going away drops the queue and lets the worker finish the file in hand: the reader is
    // let go only once the queue is gone (the worker alone never empties it while it is held).
    TagCache* going = cache.get();
    std::thread opener([&reader, going] {
        while (going->waiting() > 0)
            std::this_thread::yield();
        reader.release();
    });
    cache.reset();
    opener.join();
    EXPECT_EQ(reader.seen().size(), 1);
}

}  // namespace
}  // namespace velorixa::playlist
