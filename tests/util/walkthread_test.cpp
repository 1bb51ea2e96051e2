// The worker thread of a folder walk (the music search's and the mixer search's): what the walk
// finds is read on the window's thread once it has finished, a cleared flag ends a walk in
// progress, and a job that hangs is let go without touching anything destroyed. These run under
// the thread sanitizer too.
#include "util/walkthread.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace velorixa::util {
namespace {

using namespace std::chrono_literals;

// Waits for a condition another thread makes true; the bound only stops a broken test.
template <class F>
bool eventually(F cond) {
    for (int i = 0; i < 5000 && !cond(); ++i)
        std::this_thread::sleep_for(2ms);
    return cond();
}

void makeFiles(const QString& root, const QStringList& files) {
    for (const QString& f : files) {
        QDir().mkpath(root + "/" + f.section('/', 0, -2));
        QFile file(root + "/" + f);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
}

TEST(WalkThread, WhatTheWalkFoundIsReadOnceItHasFinished) {
    QTemporaryDir dir;
    makeFiles(dir.path(), {"a/one.mp3", "b/two.mp3", "b/c/three.mp3"});
    auto found = std::make_shared<QStringList>();
    WalkThread walk([found, root = dir.path()] {
        return WalkFolders(
            root, WalkRules::ForThisSystem(), [] { return true; },
            [found](const QString& folder, const QStringList& files) {
                for (const QString& f : files)
                    found->push_back(folder + f);
                return true;
            });
    });
    ASSERT_TRUE(eventually([&] { return walk.finished(); }));
    EXPECT_EQ(walk.end(), WalkEnd::Done);
    ASSERT_EQ(found->size(), 3);
    EXPECT_TRUE(found->at(0).endsWith("a/one.mp3"));
    EXPECT_TRUE(found->at(2).endsWith("b/c/three.mp3"));
}

TEST(WalkThread, ClearingTheFlagEndsAWalkInProgress) {
    QTemporaryDir dir;
    makeFiles(dir.path(), {"a/one.mp3", "b/two.mp3", "c/three.mp3"});
    auto flag = std::make_shared<FindFlag>();
    auto folders = std::make_shared<std::atomic<int>>(0);
    const FindFlag::Token token = flag->start();
    auto walk = std::make_unique<WalkThread>([flag, folders, token, root = dir.path()] {
        return WalkFolders(
            root, WalkRules::ForThisSystem(), [flag, token] { return flag->goesOn(token); },
            [flag, folders, token](const QString&, const QStringList&) {
                // Holds the walk in its first folder until the flag is cleared.
                folders->fetch_add(1);
                while (flag->goesOn(token))
                    std::this_thread::sleep_for(1ms);
                return false;
            });
    });
    ASSERT_TRUE(eventually([&] { return folders->load() == 1; }));
    EXPECT_FALSE(walk->finished());
    flag->clear();
    ASSERT_TRUE(eventually([&] { return walk->finished(); }));
    EXPECT_EQ(walk->end(), WalkEnd::Stopped);
    EXPECT_EQ(folders->load(), 1);
    walk.reset();  // joins the finished worker
}

TEST(WalkThread, AJobThatHangsIsLetGoAndTouchesOnlyWhatItOwns) {
    auto release = std::make_shared<std::atomic<bool>>(false);
    auto done = std::make_shared<std::atomic<bool>>(false);
    {
        WalkThread walk([release, done] {
            while (!release->load())  // a file system that does not answer
                std::this_thread::sleep_for(1ms);
            done->store(true);
            return WalkEnd::Failed;
        });
    }  // let go after the grace period
    EXPECT_FALSE(done->load());
    release->store(true);
    // The job ends later and writes its end into state it shares with nobody gone.
    EXPECT_TRUE(eventually([&] { return done->load(); }));
}

}  // namespace
}  // namespace velorixa::util
