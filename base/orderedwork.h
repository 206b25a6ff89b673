#pragma once

#include <QtGlobal>

#include <condition_variable>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

// Runs run(false) on threadCount - 1 threads of its own and run(true) on the calling
// thread, and waits for them all; run throws nothing. A thread the system cannot give, or
// that there is no memory for, leaves the work to the others.
template <typename Run>
void runOnThreads(int threadCount, const Run &run)
{
    std::vector<std::thread> threads;
    try {
        threads.reserve(size_t(qMax(threadCount - 1, 0)));
    } catch (const std::bad_alloc &) {
        threadCount = 1;
    }
    for (int i = 1; i < threadCount; ++i) {
        try {
            threads.emplace_back(run, false);
        } catch (const std::system_error &) {
            break;
        } catch (const std::bad_alloc &) {
            break;
        }
    }
    run(true);
    for (std::thread &thread : threads)
        thread.join();
}

// Runs a job made of pieces on threadCount threads, the calling thread among them. Each
// thread keeps one Job::Piece and uses it again for every piece it works on. The steps of
// a piece, as member functions of Job:
// - take(piece) fills it with the next piece, or returns false when there are no more;
//   the calls come one at a time, in order;
// - fetch(piece) runs on several pieces at once;
// - settle(piece) runs in the order the pieces were taken, one at a time;
// - work(piece) runs on several pieces at once;
// - handOn(piece) runs in the order the pieces were taken, one at a time;
// and afterPiece() runs on the calling thread after each piece that thread handed on. So
// at most threadCount pieces are held at once. The first exception thrown by any step
// stops the job: the threads finish the step they are in, and runInOrder() throws it.
template <typename Job>
void runInOrder(int threadCount, Job &job)
{
    std::mutex takeMutex;
    std::mutex turnMutex;
    std::condition_variable turnChanged;
    qint64 taken = 0;
    qint64 settled = 0;
    qint64 handedOn = 0;
    bool noMorePieces = false;
    bool stopped = false;
    std::exception_ptr error;

    const auto waitTurn = [&](const qint64 &turn, qint64 ticket) {
        std::unique_lock lock(turnMutex);
        turnChanged.wait(lock, [&] { return stopped || turn == ticket; });
        return !stopped;
    };
    const auto passTurn = [&](qint64 &turn) {
        {
            const std::lock_guard lock(turnMutex);
            ++turn;
        }
        turnChanged.notify_all();
    };
    const auto isStopped = [&] {
        const std::lock_guard lock(turnMutex);
        return stopped;
    };

    const auto run = [&](bool callingThread) {
        typename Job::Piece piece;
        try {
            for (;;) {
                qint64 ticket;
                {
                    const std::lock_guard lock(takeMutex);
                    if (noMorePieces || isStopped())
                        return;
                    if (!job.take(piece)) {
                        noMorePieces = true;
                        return;
                    }
                    ticket = taken++;
                }
                job.fetch(piece);
                if (!waitTurn(settled, ticket))
                    return;
                job.settle(piece);
                passTurn(settled);
                job.work(piece);
                if (!waitTurn(handedOn, ticket))
                    return;
                job.handOn(piece);
                passTurn(handedOn);
                if (callingThread)
                    job.afterPiece();
            }
        } catch (...) {
            {
                const std::lock_guard lock(turnMutex);
                if (!error)
                    error = std::current_exception();
                stopped = true;
            }
            turnChanged.notify_all();
        }
    };

    runOnThreads(threadCount, run);
    if (error)
        std::rethrow_exception(error);
}
