#include "ui/OperatorThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>

using namespace ui;
using Clock = std::chrono::steady_clock;

TEST(OperatorThread, AbortingPressCutsTheRunningSequenceShortDropsWhatWaitedBehindItThenRuns)
{
    OperatorThread& op = OperatorThread::instance();
    std::promise<void> started;
    std::vector<std::string> log;
    op.post([&] {
        OperatorThread::Sequence sequence;
        started.set_value();
        if (!op.pause(60000)) {
            log.push_back("aborted");
            return;
        }
        log.push_back("finished");
    });
    op.post([&] { log.push_back("queued press"); });
    started.get_future().wait();
    auto before = Clock::now();
    op.postAborting([&] { log.push_back("all stop"); });
    op.waitUntilIdle();
    EXPECT_LT(Clock::now() - before, std::chrono::seconds(10));
    EXPECT_EQ(log, (std::vector<std::string>{"aborted", "all stop"}));
}

TEST(OperatorThread, AbortingPressOutsideASequenceAbortsNothingLater)
{
    OperatorThread& op = OperatorThread::instance();
    std::atomic<bool> waitedFully{false};
    op.postAborting([] {});
    op.post([&] {
        auto before = Clock::now();
        op.pause(50);
        waitedFully = Clock::now() - before >= std::chrono::milliseconds(45);
    });
    op.waitUntilIdle();
    EXPECT_TRUE(waitedFully);
}

TEST(OperatorThread, NegativeWaitIsNoWait)
{
    OperatorThread& op = OperatorThread::instance();
    std::atomic<bool> result{false};
    op.post([&] {
        OperatorThread::Sequence sequence;
        result = op.pause(-133);
    });
    op.waitUntilIdle();
    EXPECT_TRUE(result);
}

TEST(OperatorThread, AFailingActionDoesNotStopTheThread)
{
    OperatorThread& op = OperatorThread::instance();
    std::atomic<bool> ran{false};
    op.post([] { throw std::runtime_error("boom"); });
    op.post([&] { ran = true; });
    op.waitUntilIdle();
    EXPECT_TRUE(ran);
}
