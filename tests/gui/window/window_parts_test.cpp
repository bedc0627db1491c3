// The window's mailbox: a message runs on the window thread while its sender waits, and closing
// lets a waiting sender go without running anything. The display throttle, and the pure rules of
// the window: child dialog placement, drops, its size on a small screen, and the reasons of the
// files a run left without output.
#include "ui/unwritten_files.h"
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
    using namespace std::chrono_literals;
    int applied = 0;
    // The throttle's clock moves only when the test says: how fast the machine runs the requests
    // does not matter.
    auto now = std::chrono::steady_clock::time_point{} + 1h;
    UpdateThrottle throttle(
        200ms, [&] { ++applied; }, [&] { return now; });
    throttle.Request();
    EXPECT_EQ(applied, 1) << "after a quiet interval: at once";
    for (int i = 0; i < 50; ++i) {
        now += 3ms;  // fifty requests within 150 ms
        throttle.Request();
    }
    EXPECT_EQ(applied, 1);
    EXPECT_TRUE(throttle.Pending());
    EXPECT_TRUE(WaitFor([&] { return applied == 2; })) << "the timer applies what waits";
    EXPECT_FALSE(throttle.Pending()) << "fifty requests, one apply";
    now += 500ms;
    throttle.Request();
    EXPECT_EQ(applied, 3) << "after a quiet interval: at once again";
    throttle.Request();
    throttle.Flush();
    EXPECT_EQ(applied, 4) << "a flush applies what waits";
    throttle.Flush();
    EXPECT_EQ(applied, 4) << "and nothing when nothing waits";
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

TEST(DialogSizeOnScreen, TheTemplatesSizeWhileItFitsElseScrolled) {
    const QSize surface(781, 688);
    const QMargins frame(2, 30, 2, 2);
    const int bar = 16;
    struct Row {
        const char* name;
        QSize available;
        QSize expected;
    };
    const Row rows[] = {
        {"a large screen", {1600, 1200}, surface},
        {"just fits with its frame", {785, 720}, surface},
        {"too low: cut below, a bar on the right", {1280, 680}, {781 + bar, 680 - 32}},
        {"too narrow: cut on the right, a bar below", {700, 1000}, {700 - 4, 688 + bar}},
        {"too small both ways", {800, 600}, {800 - 4, 600 - 32}},
        {"the bar of one side makes the other side too small", {790, 650}, {790 - 4, 650 - 32}},
        {"never smaller than a usable window", {50, 40}, {100, 100}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(DialogSizeOnScreen(surface, row.available, frame, bar), row.expected) << row.name;
    }
}

TEST(UnwrittenFiles, EveryKindOfNoteHasItsChineseReason) {
    struct Row {
        const char* kind;
        bool folder;
        const char* reason;
    };
    const Row rows[] = {
        {"unreadable", false, "无法读取（文件不存在、不是普通文件或没有读取权限）"},
        {"unreadable", true, "无法读取的文件夹，其中的文件都没有处理"},
        {"not-an-image", false, "不是可以识别的图片"},
        {"corrupt", false, "图片已损坏，无法解码"},
        {"too-large", false, "图片太大，无法处理"},
        {"name-too-long", false, "输出文件名超长，按设置放弃存储"},
        {"write-failed", false, "写入失败"},
        {"truncated", false, "图片不完整，只写出了解码到的部分"},
        {"cut-too-fine", false, "切割的块数多于图片的像素数，无法切割"},
        {"a-kind-not-known-yet", false, "未能处理"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(UnwrittenReason(QString::fromUtf8(row.kind), row.folder),
                  QString::fromUtf8(row.reason))
            << row.kind;
    }
    // Every kind the engine has today has a row of its own.
    for (const NoteKind kind : {NoteKind::Unreadable, NoteKind::NotAnImage, NoteKind::Corrupt,
                                NoteKind::TooLarge, NoteKind::NameTooLong, NoteKind::WriteFailed,
                                NoteKind::MetadataUnread, NoteKind::MetadataUnwritten}) {
        EXPECT_NE(UnwrittenReason(NoteKindName(kind), false), QStringLiteral("未能处理"))
            << NoteKindName(kind).toStdString();
    }
}

TEST(UnwrittenFiles, OnlyFilesThatGaveNothingAreListedWithEachReasonOnce) {
    std::vector<FileResult> results(5);
    results[0] = FileResult(QStringLiteral("/in/good.png"));
    results[0].written = 1;
    results[1] = FileResult(QStringLiteral("/in/bad.jpg"));
    results[1].Note(NoteKind::Corrupt, QStringLiteral("damaged or truncated: x"));
    results[2] = FileResult(QStringLiteral("/in/metadata.jpg"));  // written, without its metadata
    results[2].written = 1;
    results[2].Note(NoteKind::MetadataUnread, QStringLiteral("bad EXIF"));
    results[3] = FileResult(QStringLiteral("/in/full.png"));
    results[3].Note(NoteKind::WriteFailed, QStringLiteral("/out/full.PNG: No space left"));
    results[3].Note(NoteKind::WriteFailed, QStringLiteral("/out/full.PNG: No space left"));
    results[3].Note(NoteKind::NameTooLong, QStringLiteral("the output name x is too long"));
    results[4] = FileResult(QStringLiteral("/in/tile-source.png"));  // a mosaic's source
    const std::vector<UnwrittenFile> files =
        UnwrittenFiles(results, [](const QString&) { return false; });
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].path, QStringLiteral("/in/bad.jpg"));
    EXPECT_EQ(files[0].reason, QStringLiteral("图片已损坏，无法解码（damaged or truncated: x）"));
    EXPECT_EQ(files[1].reason, QStringLiteral("写入失败（/out/full.PNG: No space left）；"
                                              "输出文件名超长，按设置放弃存储"));
    EXPECT_EQ(UnwrittenLinkText(files), QStringLiteral("查看未产生输出的文件（2）"));
    EXPECT_EQ(UnwrittenLinkText({}), QString());
    EXPECT_EQ(UnwrittenListing(files),
              QStringLiteral("未产生输出的文件数：  2\n\n\n"
                             "未产生输出的文件：\n"
                             "        /in/bad.jpg    ——    图片已损坏，无法解码（damaged or "
                             "truncated: x）\n"
                             "        /in/full.png    ——    写入失败（/out/full.PNG: No space "
                             "left）；输出文件名超长，按设置放弃存储"));
}

}  // namespace
}  // namespace corvane::test
