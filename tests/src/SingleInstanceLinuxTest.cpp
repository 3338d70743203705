#include "src/linux/SingleInstanceLinux.h"

#include "tests/support/SonglistTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using Vextal::SingleInstance;

namespace
{
class SingleInstanceTest : public testing::Test
{
protected:
    juce::File Folder() const { return juce::File(m_folder.Path().string()); }

    songlisttest::TempFolder m_folder;
};

// The first instance queues a hand-over on its listener thread once the
// launch's confirmation has arrived, a moment after the launch returns: the
// hand-overs taken until count have come (or 30 s have passed, a guard
// against a hang that then fails the test's count).
std::vector<SingleInstance::HandOver> WaitForHandOvers(SingleInstance& first, size_t count)
{
    std::vector<SingleInstance::HandOver> taken;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (taken.size() < count && std::chrono::steady_clock::now() < deadline)
    {
        for (auto& handOver : first.takeHandOvers())
            taken.push_back(std::move(handOver));
        if (taken.size() < count)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return taken;
}

// Connects to the socket and sends raw bytes; the number of bytes answered
// (at most one; -1 for a reset connection), or -2 when it cannot connect.
int SendRaw(const juce::File& socketFile, const std::string& bytes)
{
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketFile.getFullPathName().toRawUTF8(), sizeof(address.sun_path) - 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0)
    {
        ::close(fd);
        return -2;
    }
    ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    ::shutdown(fd, SHUT_WR);
    char answer = 0;
    const ssize_t n = ::recv(fd, &answer, 1, 0);
    ::close(fd);
    return static_cast<int>(n);
}
} // namespace

// The first launch keeps running; a second one hands over its arguments as
// the same list (blanks, quotes, non-ASCII letters, empty texts kept) with its
// working folder, and the first is told.
TEST_F(SingleInstanceTest, SecondLaunchHandsItsArgumentsToTheFirst)
{
    SingleInstance first(Folder());
    std::atomic<int> notices{0};
    first.setReceiver([&notices] { ++notices; });
    ASSERT_EQ(first.start({"ignored"}, "/first", 2000), SingleInstance::Result::kFirstInstance);
    EXPECT_TRUE(first.isListening());

    const juce::StringArray arguments{"/music/a song.wav", "it's \"quoted\".wav", "",
                                      juce::String::fromUTF8("/m\xc3\xbasica/\xe6\x9b\xb2.vxsl"), "-psn_0_1"};
    SingleInstance second(Folder());
    EXPECT_EQ(second.start(arguments, "/some/where", 2000), SingleInstance::Result::kHandedOver);
    EXPECT_FALSE(second.isListening());

    const auto received = WaitForHandOvers(first, 1);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].workingDirectory, "/some/where");
    EXPECT_EQ(received[0].arguments, arguments);
    // The notice follows the queueing on the listener thread.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (notices.load() < 1 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(notices.load(), 1);
    EXPECT_TRUE(first.takeHandOvers().empty());
}

// A socket left by an instance that was killed (nobody listens) is replaced
// by the next first instance; when the first ends, its socket goes and the
// lock is free again.
TEST_F(SingleInstanceTest, StaleSocketIsReplacedAndTheLockFreedAtTheEnd)
{
    {
        SingleInstance dead(Folder());
        ASSERT_EQ(dead.start({}, "/", 2000), SingleInstance::Result::kFirstInstance);
    }
    // A socket bound and left behind, as by a killed process.
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    const juce::File socketFile = Folder().getChildFile("Vextal.socket");
    std::strncpy(address.sun_path, socketFile.getFullPathName().toRawUTF8(), sizeof(address.sun_path) - 1);
    const int leftover = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(::bind(leftover, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0)
        << std::strerror(errno) << " " << address.sun_path;
    ::close(leftover);
    ASSERT_TRUE(socketFile.exists());

    auto first = std::make_unique<SingleInstance>(Folder());
    ASSERT_EQ(first->start({}, "/", 2000), SingleInstance::Result::kFirstInstance);
    SingleInstance second(Folder());
    EXPECT_EQ(second.start({"x.wav"}, "/", 2000), SingleInstance::Result::kHandedOver);
    EXPECT_EQ(WaitForHandOvers(*first, 1).size(), 1u);

    first.reset();
    EXPECT_FALSE(socketFile.exists());
    SingleInstance next(Folder());
    EXPECT_EQ(next.start({}, "/", 2000), SingleInstance::Result::kFirstInstance);
}

// While the lock is held and nobody answers, a launch keeps trying until its
// time-out and then fails.
TEST_F(SingleInstanceTest, HeldLockWithoutListenerFailsAfterTheTimeOut)
{
    const int held =
        ::open(Folder().getChildFile("Vextal.lock").getFullPathName().toRawUTF8(), O_RDWR | O_CREAT, 0600);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
    SingleInstance launch(Folder());
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(launch.start({"a.wav"}, "/", 300), SingleInstance::Result::kFailed);
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(250));
    ::close(held);
    EXPECT_EQ(launch.start({"a.wav"}, "/", 300), SingleInstance::Result::kFirstInstance);
}

// A launch whose running instance does not answer in time (stopped with
// SIGSTOP) reports failure, and its arguments are withdrawn: once the
// instance goes on, it takes the next launch's arguments but never the ones
// of the launch that failed, so trying again adds nothing twice.
TEST_F(SingleInstanceTest, LaunchThatFailedIsNotTakenWhenTheInstanceResumes)
{
    int taken[2];
    ASSERT_EQ(::pipe(taken), 0);
    const pid_t instance = ::fork();
    if (instance == 0)
    {
        // The running instance: each argument it takes goes down the pipe,
        // one per line. Its notice only wakes the loop that takes them.
        ::close(taken[0]);
        int wake[2];
        if (::pipe(wake) != 0)
            ::_exit(1);
        SingleInstance first(Folder());
        first.setReceiver([in = wake[1]] { (void)!::write(in, "x", 1); });
        if (first.start({}, "/", 5000) != SingleInstance::Result::kFirstInstance ||
            ::write(taken[1], "ready\n", 6) != 6)
            ::_exit(1);
        char woken = 0;
        while (::read(wake[0], &woken, 1) == 1)
            for (const auto& handOver : first.takeHandOvers())
                for (const juce::String& argument : handOver.arguments)
                {
                    const std::string line = argument.toStdString() + "\n";
                    if (::write(taken[1], line.data(), line.size()) < 0)
                        ::_exit(2);
                }
        ::_exit(0);
    }
    const struct Reaper
    {
        pid_t pid;
        ~Reaper()
        {
            ::kill(pid, SIGKILL);
            int status = 0;
            ::waitpid(pid, &status, 0);
        }
    } reaper{instance};
    ::close(taken[1]);
    const std::unique_ptr<FILE, int (*)(FILE*)> lines(::fdopen(taken[0], "r"), &std::fclose);
    ASSERT_NE(lines, nullptr);
    const auto nextLine = [&lines]
    {
        char line[256] = {};
        return std::fgets(line, sizeof(line), lines.get()) != nullptr ? std::string(line)
                                                                      : std::string("(end)");
    };
    ASSERT_EQ(nextLine(), "ready\n");

    ASSERT_EQ(::kill(instance, SIGSTOP), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(instance, &status, WUNTRACED), instance);
    ASSERT_TRUE(WIFSTOPPED(status));
    SingleInstance failed(Folder());
    EXPECT_EQ(failed.start({"failed.wav"}, "/", 300), SingleInstance::Result::kFailed);

    ASSERT_EQ(::kill(instance, SIGCONT), 0);
    SingleInstance retried(Folder());
    EXPECT_EQ(retried.start({"retried.wav"}, "/", 20000), SingleInstance::Result::kHandedOver);
    // The instance serves connections in order: the failed launch's came
    // first, so what it took of it would be in the pipe before this.
    EXPECT_EQ(nextLine(), "retried.wav\n");
}

// Malformed or oversized messages are dropped unanswered; the listener goes
// on serving.
TEST_F(SingleInstanceTest, MalformedMessagesAreDropped)
{
    SingleInstance first(Folder());
    ASSERT_EQ(first.start({}, "/", 2000), SingleInstance::Result::kFirstInstance);
    const juce::File socketFile = first.getSocketFile();
    const std::string huge("VXHO\x01\x00\x00\x00\xff\xff\xff\x7f", 12);
    const std::string noTexts("VXHO\x00\x00\x00\x00", 8);
    const std::string badUtf8("VXHO\x01\x00\x00\x00\x02\x00\x00\x00\xc3\x28", 14);
    for (const std::string& bytes : {std::string("garbage"), huge, noTexts, badUtf8, std::string("VXHO\x01")})
    {
        const int answered = SendRaw(socketFile, bytes);
        EXPECT_TRUE(answered == 0 || answered == -1) << answered;
    }
    EXPECT_TRUE(first.takeHandOvers().empty());
    SingleInstance second(Folder());
    EXPECT_EQ(second.start({"ok.wav"}, "/", 2000), SingleInstance::Result::kHandedOver);
    EXPECT_EQ(WaitForHandOvers(first, 1).size(), 1u);
}

// The folder: $XDG_RUNTIME_DIR when only the user may enter it, else a
// private folder of the user's in the temporary folder.
TEST_F(SingleInstanceTest, FolderIsPrivate)
{
    const char* saved = std::getenv("XDG_RUNTIME_DIR");
    const std::string savedValue = saved != nullptr ? saved : "";
    const juce::File runtime = Folder().getChildFile("run");
    runtime.createDirectory();
    ::chmod(runtime.getFullPathName().toRawUTF8(), 0700);
    setenv("XDG_RUNTIME_DIR", runtime.getFullPathName().toRawUTF8(), 1);
    EXPECT_EQ(SingleInstance::defaultFolder(), runtime);

    ::chmod(runtime.getFullPathName().toRawUTF8(), 0755);
    const juce::File fallback = SingleInstance::defaultFolder();
    EXPECT_NE(fallback, runtime);
    struct stat st = {};
    ASSERT_EQ(::lstat(fallback.getFullPathName().toRawUTF8(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(st.st_uid, ::getuid());
    if (saved != nullptr)
        setenv("XDG_RUNTIME_DIR", savedValue.c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");
}
