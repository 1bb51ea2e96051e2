#pragma once
// Runs the event loop until a condition holds or the time is up.
#include <QElapsedTimer>
#include <QTest>

namespace velorixa::test {

template <class F>
bool waitFor(F cond, int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        if (cond()) return true;
        QTest::qWait(5);
    }
    return cond();
}

}  // namespace velorixa::test
