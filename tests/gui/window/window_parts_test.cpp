// The window's mailbox: a message runs on the window thread while its sender waits, and closing
// lets a waiting sender go without running anything. The display throttle, and the pure rules of
// the window: child dialog placement and drops.
#include "ui/update_throttle.h"
#include "ui/window_mailbox.h"
#include "ui/window_rules.h"
#include "window_fixture.h"

#include <QCoreApplication>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace corvane::test {
namespace {

TEST(WindowMailbox, TheHandlerRunsOnTheWindowThreadWhileTheSenderWaits) {
    WindowMailbox mailbox;
    QThread* handlerThread = nullptr;
    std::atomic<bool> returned{false};
    bool handledBeforeReturn = false;
    std::thread worker([&] {
        mailbox.Send([&] { handlerThread = QThread::currentThread(); });
        handledBeforeReturn = handlerThread != nullptr;
        returned = true;
    });
    EXPECT_TRUE(WaitFor([&] { return returned.load(); }));
    worker.join();
    EXPECT_EQ(handlerThread, QThread::currentThread());
    EXPECT_TRUE(handledBeforeReturn);
}

TEST(WindowMailbox, CloseReleasesASenderTheWindowNeverServes) {
    WindowMailbox mailbox;
    std::mutex mutex;
    std::condition_variable changed;
    bool sending = false;
    bool returned = false;
    bool ran = false;
    std::thread worker([&] {
        {
            const std::lock_guard lock(mutex);
            sending = true;
        }
        changed.notify_all();
        mailbox.Send([&] { ran = true; });
        {
            const std::lock_guard lock(mutex);
            returned = true;
        }
        changed.notify_all();
    });
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return sending; });
    lock.unlock();
    mailbox.Close();  // the window thread handles no events here: only Close can free the sender
    lock.lock();
    const bool released =
        changed.wait_for(lock, std::chrono::seconds(30), [&] { return returned; });
    lock.unlock();
    EXPECT_TRUE(released);
    if (!released) {
        QCoreApplication::sendPostedEvents();  // free the worker so that the test can end
    }
    worker.join();
    EXPECT_FALSE(ran);
    mailbox.Send([&] { ran = true; });  // after Close nothing runs, even from this thread
    EXPECT_FALSE(ran);
}

TEST(UpdateThrottle, TheFirstAtOnceThenTheLatestOncePerInterval) {
    int applied = 0;
    UpdateThrottle throttle(std::chrono::milliseconds(200), [&] { ++applied; });
    throttle.Request();
    EXPECT_EQ(applied, 1) << "after a quiet interval: at once";
    for (int i = 0; i < 50; ++i) {
        throttle.Request();
    }
    EXPECT_EQ(applied, 1);
    EXPECT_TRUE(throttle.Pending());
    EXPECT_TRUE(WaitFor([&] { return applied == 2; }));
    EXPECT_FALSE(throttle.Pending()) << "fifty requests, one apply";
    throttle.Request();
    throttle.Flush();
    EXPECT_EQ(applied, 3) << "a flush applies what waits";
    throttle.Flush();
    EXPECT_EQ(applied, 3) << "and nothing when nothing waits";
}

TEST(ChildDialogPosition, CentredOnTheWindowUnderTheAnchor) {
    EXPECT_EQ(ChildDialogPosition(QRect(100, 50, 781, 700), QSize(736, 545), 120),
              QPoint(100 + 22, 120));
    EXPECT_EQ(ChildDialogPosition(QRect(0, 0, 300, 300), QSize(401, 100), 10), QPoint(-50, 10))
        << "a wider child stands out on both sides";
}

TEST(DropPlan, WhatADropDoes) {
    TempTree tree;
    const QString folder = tree.MakeFolder("f");
    const QString other = tree.MakeFolder("g");
    const QString file = tree.WriteFile("a.png");
    const QString gone = tree.Path("gone");
    struct Row {
        const char* name;
        QStringList paths;
        bool single;
        DropPlan::Action action;
        PathList files;
        PathList folders;
    };
    const Row rows[] = {
        {"one folder, single path",
         {folder.chopped(1)},
         true,
         DropPlan::Action::FillSource,
         {},
         {}},
        {"one folder, multi path", {folder}, false, DropPlan::Action::AddToSelection, {}, {folder}},
        {"two folders",
         {folder, other},
         true,
         DropPlan::Action::AddToSelection,
         {},
         {folder, other}},
        {"a file", {file}, true, DropPlan::Action::AddToSelection, {file}, {}},
        {"missing paths are left out",
         {gone, file},
         true,
         DropPlan::Action::AddToSelection,
         {file},
         {}},
        {"nothing left", {gone}, true, DropPlan::Action::Nothing, {}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const DropPlan plan = PlanDrop(row.paths, row.single);
        EXPECT_EQ(plan.action, row.action);
        EXPECT_EQ(plan.files, row.files);
        EXPECT_EQ(plan.folders, row.folders);
        if (row.action == DropPlan::Action::FillSource) {
            EXPECT_EQ(plan.sourceFolder, folder);
        }
    }
}

}  // namespace
}  // namespace corvane::test
