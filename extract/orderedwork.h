#pragma once

#include <QtGlobal>

#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

// Runs a job made of pieces on threadCount threads, the calling thread among them. Each
// thread keeps one Piece and uses it again for every piece it works on:
// - take(piece) fills it with the next piece, or returns false when there are no more;
//   the calls come one at a time, in order;
// - work(piece) runs on several pieces at once;
// - handOn(piece) receives the pieces in the order they were taken, one at a time;
// - afterPiece() runs on the calling thread after each piece that thread handed on.
// So at most threadCount pieces are held at once. The first exception thrown by any step
// stops the job: the threads finish the step they are in, and runInOrder() throws it.
template <typename Piece, typename Take, typename Work, typename HandOn, typename AfterPiece>
void runInOrder(int threadCount, Take &&take, Work &&work, HandOn &&handOn,
                AfterPiece &&afterPiece)
{
    std::mutex takeMutex;
    std::mutex turnMutex;
    std::condition_variable turnChanged;
    qint64 taken = 0;
    qint64 handedOn = 0;
    bool noMorePieces = false;
    bool stopped = false;
    std::exception_ptr error;

    const auto stop = [&](std::exception_ptr reason) {
        {
            const std::lock_guard lock(turnMutex);
            if (!error)
                error = reason;
            stopped = true;
        }
        turnChanged.notify_all();
    };
    const auto isStopped = [&] {
        const std::lock_guard lock(turnMutex);
        return stopped;
    };

    const auto run = [&](bool callingThread) {
        Piece piece;
        try {
            for (;;) {
                qint64 ticket;
                {
                    const std::lock_guard lock(takeMutex);
                    if (noMorePieces || isStopped())
                        return;
                    if (!take(piece)) {
                        noMorePieces = true;
                        return;
                    }
                    ticket = taken++;
                }
                work(piece);
                {
                    std::unique_lock lock(turnMutex);
                    turnChanged.wait(lock, [&] { return stopped || handedOn == ticket; });
                    if (stopped)
                        return;
                }
                handOn(piece);
                {
                    const std::lock_guard lock(turnMutex);
                    ++handedOn;
                }
                turnChanged.notify_all();
                if (callingThread)
                    afterPiece();
            }
        } catch (...) {
            stop(std::current_exception());
        }
    };

    // A thread the system cannot give leaves the work to the others.
    std::vector<std::thread> threads;
    threads.reserve(size_t(qMax(threadCount - 1, 0)));
    for (int i = 1; i < threadCount; ++i) {
        try {
            threads.emplace_back(run, false);
        } catch (const std::system_error &) {
            break;
        }
    }
    run(true);
    for (std::thread &thread : threads)
        thread.join();
    if (error)
        std::rethrow_exception(error);
}
