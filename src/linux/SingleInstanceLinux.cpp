#include "src/linux/SingleInstanceLinux.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace Vextal
{
namespace
{
const char kMagic[4] = {'V', 'X', 'H', 'O'};
constexpr uint8_t kAck = 0x06;
constexpr int kRetryMs = 50;

using Clock = std::chrono::steady_clock;

// A folder of this user's that nobody else may enter (not a link to one).
bool IsPrivateFolder(const std::string& path)
{
    struct stat st = {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
           (st.st_mode & 077) == 0;
}

bool AddressOf(const juce::File& socket, sockaddr_un* address)
{
    const std::string path = socket.getFullPathName().toStdString();
    std::memset(address, 0, sizeof(*address));
    address->sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof(address->sun_path))
        return false;
    std::memcpy(address->sun_path, path.c_str(), path.size());
    return true;
}

void SetTimeout(int fd, int option, int ms)
{
    timeval tv = {};
    tv.tv_sec = ms / 1000;
    tv.tv_usec = (ms % 1000) * 1000;
    ::setsockopt(fd, SOL_SOCKET, option, &tv, sizeof(tv));
}

bool SendAll(int fd, const void* data, size_t size)
{
    const auto* p = static_cast<const uint8_t*>(data);
    while (size > 0)
    {
        const ssize_t n = ::send(fd, p, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// Reads exactly size bytes; false on an error, the end or the time-out.
bool ReceiveAll(int fd, void* data, size_t size)
{
    auto* p = static_cast<uint8_t*>(data);
    while (size > 0)
    {
        const ssize_t n = ::recv(fd, p, size, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

void PutNumber(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

bool ReceiveNumber(int fd, uint32_t* value)
{
    uint8_t bytes[4];
    if (!ReceiveAll(fd, bytes, sizeof(bytes)))
        return false;
    *value = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
             static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    return true;
}

std::vector<uint8_t> Encode(const juce::StringArray& texts)
{
    std::vector<uint8_t> out(kMagic, kMagic + sizeof(kMagic));
    PutNumber(out, static_cast<uint32_t>(texts.size()));
    for (const juce::String& text : texts)
    {
        const size_t bytes = text.getNumBytesAsUTF8();
        PutNumber(out, static_cast<uint32_t>(bytes));
        out.insert(out.end(), text.toRawUTF8(), text.toRawUTF8() + bytes);
    }
    return out;
}

// Reads a message; false for anything malformed or too large.
bool Decode(int fd, juce::StringArray& texts)
{
    char magic[sizeof(kMagic)];
    uint32_t count = 0;
    if (!ReceiveAll(fd, magic, sizeof(magic)) || std::memcmp(magic, kMagic, sizeof(kMagic)) != 0 ||
        !ReceiveNumber(fd, &count) || count < 1 || count > static_cast<uint32_t>(SingleInstance::kMaxTexts))
        return false;
    std::vector<char> buffer;
    for (uint32_t i = 0; i < count; ++i)
    {
        uint32_t size = 0;
        if (!ReceiveNumber(fd, &size) || size > static_cast<uint32_t>(SingleInstance::kMaxTextBytes))
            return false;
        buffer.resize(size);
        if (size > 0 && !ReceiveAll(fd, buffer.data(), size))
            return false;
        if (!juce::CharPointer_UTF8::isValidString(buffer.data(), static_cast<int>(size)))
            return false;
        texts.add(juce::String::fromUTF8(buffer.data(), static_cast<int>(size)));
    }
    return true;
}

bool PeerIsThisUser(int fd)
{
    ucred peer = {};
    socklen_t size = sizeof(peer);
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == ::getuid();
}

// Connects to the socket and hands the texts over; true when the
// acknowledgement came before the deadline and was confirmed. Once the
// answer is late this launch reports failure, and closing the connection
// unconfirmed withdraws the texts: an instance that answers later (it was
// stopped) drops them.
bool HandOverTexts(const juce::File& socketFile, const juce::StringArray& texts, Clock::time_point deadline)
{
    sockaddr_un address;
    if (!AddressOf(socketFile, &address))
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    SetTimeout(fd, SO_RCVTIMEO, static_cast<int>(std::max<long long>(1, left)));
    SetTimeout(fd, SO_SNDTIMEO, static_cast<int>(std::max<long long>(1, left)));
    const std::vector<uint8_t> message = Encode(texts);
    uint8_t answer = 0;
    const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 &&
                    SendAll(fd, message.data(), message.size()) && ReceiveAll(fd, &answer, 1) &&
                    answer == kAck && SendAll(fd, &kAck, 1);
    ::close(fd);
    return ok;
}
} // namespace

juce::File SingleInstance::defaultFolder()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && juce::File::isAbsolutePath(runtime) && IsPrivateFolder(runtime))
        return juce::File(runtime);
    const char* temporary = std::getenv("TMPDIR");
    const juce::File base(temporary != nullptr && juce::File::isAbsolutePath(temporary) ? temporary : "/tmp");
    const juce::File folder = base.getChildFile("vextal-" + juce::String(static_cast<int>(::getuid())));
    const std::string path = folder.getFullPathName().toStdString();
    ::mkdir(path.c_str(), 0700);
    return IsPrivateFolder(path) ? folder : juce::File();
}

SingleInstance::SingleInstance(const juce::File& folder, const juce::String& name)
    : m_folder(folder), m_name(name)
{
}

SingleInstance::~SingleInstance()
{
    if (m_listener.joinable())
    {
        const uint64_t one = 1;
        if (::write(m_wakeFd, &one, sizeof(one)) != sizeof(one))
            ::shutdown(m_listenFd, SHUT_RDWR);
        m_listener.join();
    }
    if (m_listenFd >= 0)
    {
        ::close(m_listenFd);
        // Not File::deleteFile: the framework takes a socket for a folder
        // (it tests the type bits with a mask) and tries rmdir.
        ::unlink(getSocketFile().getFullPathName().toRawUTF8());
    }
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

juce::File SingleInstance::getSocketFile() const
{
    return m_folder.getChildFile(m_name + ".socket");
}

juce::File SingleInstance::getLockFile() const
{
    return m_folder.getChildFile(m_name + ".lock");
}

SingleInstance::Result SingleInstance::start(const juce::StringArray& arguments,
                                             const juce::String& workingDirectory, int timeoutMs)
{
    if (m_folder == juce::File() || m_lockFd >= 0)
        return m_lockFd >= 0 ? Result::kFirstInstance : Result::kFailed;
    juce::StringArray texts(workingDirectory);
    texts.addArray(arguments);
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;)
    {
        if (tryLock())
        {
            listen();
            return Result::kFirstInstance;
        }
        if (HandOverTexts(getSocketFile(), texts, deadline))
            return Result::kHandedOver;
        // The first instance is starting, or has just ended.
        if (Clock::now() + std::chrono::milliseconds(kRetryMs) >= deadline)
            return Result::kFailed;
        std::this_thread::sleep_for(std::chrono::milliseconds(kRetryMs));
    }
}

bool SingleInstance::tryLock()
{
    const std::string path = getLockFile().getFullPathName().toStdString();
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
    {
        ::close(fd);
        return false;
    }
    m_lockFd = fd;
    return true;
}

bool SingleInstance::listen()
{
    sockaddr_un address;
    if (!AddressOf(getSocketFile(), &address))
        return false;
    // Whoever made a socket there has ended: the lock was free.
    ::unlink(address.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC);
    if (fd < 0 || m_wakeFd < 0 ||
        ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        ::chmod(address.sun_path, 0600) != 0 || ::listen(fd, 16) != 0)
    {
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    m_listenFd = fd;
    m_listener = std::thread([this] { run(); });
    return true;
}

void SingleInstance::run()
{
    for (;;)
    {
        pollfd fds[2] = {{m_listenFd, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0)
        {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents != 0 || (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0)
            return;
        const int connection = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            continue;
        receive(connection);
        ::close(connection);
    }
}

void SingleInstance::receive(int connection)
{
    if (!PeerIsThisUser(connection))
        return;
    SetTimeout(connection, SO_RCVTIMEO, kReceiveTimeoutMs);
    SetTimeout(connection, SO_SNDTIMEO, kReceiveTimeoutMs);
    juce::StringArray texts;
    if (!Decode(connection, texts))
        return;
    // Taken only once the launch confirms the answer: a launch that gave up
    // waiting has closed the connection and reported failure.
    uint8_t confirmation = 0;
    if (!SendAll(connection, &kAck, 1) || !ReceiveAll(connection, &confirmation, 1) || confirmation != kAck)
        return;
    HandOver handOver;
    handOver.workingDirectory = texts[0];
    texts.remove(0);
    handOver.arguments = texts;
    const std::lock_guard<std::mutex> lock(m_lock);
    m_received.push_back(std::move(handOver));
    // Under the lock, so that once setReceiver has replaced the notice the
    // old one is not running and will not run again.
    if (m_notice)
        m_notice();
}

void SingleInstance::setReceiver(std::function<void()> notice)
{
    const std::lock_guard<std::mutex> lock(m_lock);
    m_notice = std::move(notice);
}

std::vector<SingleInstance::HandOver> SingleInstance::takeHandOvers()
{
    const std::lock_guard<std::mutex> lock(m_lock);
    std::vector<HandOver> taken;
    taken.swap(m_received);
    return taken;
}
} // namespace Vextal
