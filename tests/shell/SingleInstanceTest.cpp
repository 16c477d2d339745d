// One instance at a time: a second start reaches the first and exits; a dead instance's lock
// and socket do not block the next start. Separate processes run single_instance_probe.
#include "shell/SingleInstance.hpp"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

using carvento::shell::SingleInstance;
using Claim = SingleInstance::Claim;

namespace {

constexpr int kProcessTimeoutMs = 10000;

// Starts the probe on `folder` and waits for its first line.
std::unique_ptr<QProcess> StartProbe(const QString& folder, QByteArray& firstLine,
                                     const QStringList& options = {})
{
    auto probe = std::make_unique<QProcess>();
    probe->start(QStringLiteral(SINGLE_INSTANCE_PROBE), options + QStringList{folder});
    EXPECT_TRUE(probe->waitForStarted(kProcessTimeoutMs));
    QElapsedTimer clock;
    clock.start();
    while (!probe->canReadLine() && clock.elapsed() < kProcessTimeoutMs &&
           probe->state() != QProcess::NotRunning)
        probe->waitForReadyRead(100);
    firstLine = probe->readLine().trimmed();
    return probe;
}

// Runs a probe that is expected to end by itself; its whole output and exit code.
std::pair<QByteArray, int> RunProbe(const QString& folder)
{
    QProcess probe;
    probe.start(QStringLiteral(SINGLE_INSTANCE_PROBE), {folder});
    EXPECT_TRUE(probe.waitForFinished(kProcessTimeoutMs));
    return {probe.readAllStandardOutput().trimmed(), probe.exitCode()};
}

// Spins the event loop until `flag` is set or the time is up.
bool WaitFor(const bool& flag)
{
    QElapsedTimer clock;
    clock.start();
    while (!flag && clock.elapsed() < kProcessTimeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return flag;
}

} // namespace

TEST(SingleInstance, SecondStartAsksTheRunningInstanceToShowItselfAndExits)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QByteArray line;
    auto first = StartProbe(folder.path(), line);
    ASSERT_EQ("primary", line);

    const auto [output, exitCode] = RunProbe(folder.path());
    EXPECT_EQ("secondary", output);
    EXPECT_EQ(3, exitCode);

    ASSERT_TRUE(first->waitForFinished(kProcessTimeoutMs));
    EXPECT_EQ("activated", first->readAllStandardOutput().trimmed());
    EXPECT_EQ(0, first->exitCode());
}

TEST(SingleInstance, KilledInstanceDoesNotBlockTheNextStart)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QByteArray line;
    auto crashed = StartProbe(folder.path(), line);
    ASSERT_EQ("primary", line);
    crashed->kill();
    ASSERT_TRUE(crashed->waitForFinished(kProcessTimeoutMs));
    // What a crash leaves behind: the lock file and the socket.
    SingleInstance names(folder.path());
    ASSERT_TRUE(QFileInfo::exists(names.lockFilePath()));
    ASSERT_TRUE(QFileInfo::exists(names.serverName()));

    auto next = StartProbe(folder.path(), line);
    ASSERT_EQ("primary", line);
    // And the new instance is reachable through the socket it replaced.
    EXPECT_EQ("secondary", RunProbe(folder.path()).first);
    ASSERT_TRUE(next->waitForFinished(kProcessTimeoutMs));
    EXPECT_EQ("activated", next->readAllStandardOutput().trimmed());
}

TEST(SingleInstance, SecondClaimInOneProcessReachesTheFirst)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    SingleInstance first(folder.path());
    ASSERT_EQ(Claim::Primary, first.claim());
    int activations = 0;
    bool activated = false;
    QObject::connect(&first, &SingleInstance::activationRequested, [&] {
        ++activations;
        activated = true;
    });

    SingleInstance second(folder.path());
    EXPECT_EQ(Claim::Secondary, second.claim());
    EXPECT_TRUE(WaitFor(activated));

    // A third start asks again.
    activated = false;
    EXPECT_EQ(Claim::Secondary, SingleInstance(folder.path()).claim());
    EXPECT_TRUE(WaitFor(activated));
    EXPECT_EQ(2, activations);
}

TEST(SingleInstance, ConnectionWithoutTheRequestDoesNotActivate)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    SingleInstance first(folder.path());
    ASSERT_EQ(Claim::Primary, first.claim());
    bool activated = false;
    QObject::connect(&first, &SingleInstance::activationRequested, [&] { activated = true; });

    QLocalSocket stranger;
    stranger.connectToServer(first.serverName());
    ASSERT_TRUE(stranger.waitForConnected(kProcessTimeoutMs));
    stranger.write("hello\n");
    stranger.waitForBytesWritten(kProcessTimeoutMs);
    bool closed = false;
    QObject::connect(&stranger, &QLocalSocket::disconnected, [&] { closed = true; });
    EXPECT_TRUE(WaitFor(closed)); // the instance hangs up after one line
    EXPECT_FALSE(activated);
}

TEST(SingleInstance, UnwritableFolderFails)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    // A folder cannot be made below a plain file.
    QFile file(folder.filePath("plain"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    SingleInstance instance(folder.filePath("plain/below"));
    EXPECT_EQ(Claim::Failed, instance.claim());
}

TEST(SingleInstance, LockFileThatNamesNoOwnerIsTakenOver)
{
    for (const QByteArray& content : {QByteArray(), QByteArray("\x7f\x45\x4c\x46 garbage\n\n")}) {
        QTemporaryDir folder;
        ASSERT_TRUE(folder.isValid());
        QFile lock(SingleInstance(folder.path()).lockFilePath());
        ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
        lock.write(content);
        lock.close();
        SingleInstance instance(folder.path());
        EXPECT_EQ(Claim::Primary, instance.claim()) << content.toStdString();
        // And it is a working instance: the next start reaches it.
        EXPECT_EQ(Claim::Secondary, SingleInstance(folder.path()).claim());
    }
}

TEST(SingleInstance, LiveInstanceKeepsItsLockWhateverTheFileSays)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QByteArray line;
    auto first = StartProbe(folder.path(), line);
    ASSERT_EQ("primary", line);
    // Same file, same inode: the running instance still holds it.
    QFile lock(SingleInstance(folder.path()).lockFilePath());
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
    lock.write("garbage");
    lock.close();

    const auto [output, exitCode] = RunProbe(folder.path());
    EXPECT_EQ("secondary", output);
    EXPECT_EQ(3, exitCode);
    ASSERT_TRUE(first->waitForFinished(kProcessTimeoutMs));
    EXPECT_EQ("activated", first->readAllStandardOutput().trimmed());
}

TEST(SingleInstance, InstanceThatCannotBeReachedIsReportedAsSuch)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QByteArray line;
    auto holder = StartProbe(folder.path(), line, {QStringLiteral("--hold")});
    ASSERT_EQ("holding", line);

    const auto [output, exitCode] = RunProbe(folder.path());
    EXPECT_EQ("unreachable", output);
    EXPECT_EQ(5, exitCode);
    holder->kill();
    holder->waitForFinished(kProcessTimeoutMs);
}
