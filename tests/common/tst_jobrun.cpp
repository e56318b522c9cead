#include <QtTest>

#include <QThread>

#include "jobrun.h"

// The run every job reports through: progress reaches its consumer rarely enough to cost nothing,
// a cancel from another thread reaches the job, problems from several threads all arrive.
class JobRunTest : public QObject {
    Q_OBJECT

private slots:
    void progressIsThrottled();
    void cancelReachesAJobOnAnotherThread();
    void problemsFromEveryThreadArrive();
};

void JobRunTest::progressIsThrottled()
{
    constexpr qint64 IntervalMs = 50;
    QList<qint64> passedOn;
    JobRun run([&passedOn](qint64 done, qint64) { passedOn << done; }, {}, IntervalMs);
    QElapsedTimer clock;
    clock.start();
    constexpr qint64 Total = 200000;
    for (qint64 done = 0; done <= Total; ++done)
        run.setProgress(done, Total);
    const qint64 elapsed = clock.elapsed();
    QVERIFY(passedOn.size() >= 2);
    QCOMPARE(passedOn.first(), 0);    // the first report shows the job started
    QCOMPARE(passedOn.last(), Total); // the last, that it ended
    QVERIFY2(passedOn.size() <= 2 + elapsed / IntervalMs, qPrintable(QString::number(passedOn.size())));

    // After a quiet interval the next report goes through at once.
    QThread::msleep(IntervalMs + 10);
    run.setProgress(5, 10);
    QCOMPARE(passedOn.last(), 5);
}

void JobRunTest::cancelReachesAJobOnAnotherThread()
{
    JobRun run;
    QVERIFY(!run.isCancelled());
    std::atomic<bool> started{false};
    qint64 steps = 0;
    QScopedPointer<QThread> job(QThread::create([&] {
        started = true;
        while (!run.isCancelled())
            run.setProgress(++steps, std::numeric_limits<qint64>::max());
    }));
    job->start();
    QTRY_VERIFY(started);
    run.cancel();
    QVERIFY(job->wait(10000));
    QVERIFY(run.isCancelled());
}

void JobRunTest::problemsFromEveryThreadArrive()
{
    int consumed = 0; // the consumer is called one report at a time
    JobRun run({}, [&consumed](const Problem &) { ++consumed; });
    constexpr int Threads = 4;
    constexpr int Each = 500;
    QList<QThread *> threads;
    for (int t = 0; t < Threads; ++t) {
        threads << QThread::create([&run, t] {
            for (int i = 0; i < Each; ++i)
                run.report(
                    Problem::warning(QStringLiteral("%1.%2").arg(t).arg(i), QStringLiteral("f.hex"), i));
        });
        threads.last()->start();
    }
    for (QThread *thread : threads) {
        QVERIFY(thread->wait(10000));
        delete thread;
    }
    QCOMPARE(consumed, Threads * Each);
    QCOMPARE(run.problems().size(), Threads * Each);
    QVERIFY(!run.hasErrors());
    run.report(Problem::error(QStringLiteral("неверная контрольная сумма"), QStringLiteral("f.hex"), 3));
    QVERIFY(run.hasErrors());
    QCOMPARE(run.problems().last().toString(), QStringLiteral("f.hex, строка 3: неверная контрольная сумма"));
}

QTEST_GUILESS_MAIN(JobRunTest)
#include "tst_jobrun.moc"
