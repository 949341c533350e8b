// The POSIX UDP socket of the node link and the default link environment
// (wall clock, random source, interface list).
#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

#include "core/link/system_interface.h"
#include "core/platform/numbers.h"
#include "core/platform/random.h"

namespace velmaro {

int openUdpSocket(std::uint32_t ip, std::uint16_t port, PortSharing sharing) {
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (s < 0) return -errno;
    const int one = 1;
    if (sharing == PortSharing::Shared) ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    ::setsockopt(s, SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
    // Room for a burst of hits: several thousand small datagrams.
    const int size = 4 << 20;
    if (::setsockopt(s, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0)
        ::setsockopt(s, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(ip);
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        const int error = errno;
        ::close(s);
        return -error;
    }
    return s;
}

std::string portStatusText(const LinkPortStatus& status, int retryMs) {
    const std::string port = std::to_string(status.port);
    const std::string retry = ", повторная попытка каждые " + std::to_string((retryMs + 999) / 1000) + " с.";
    switch (status.state) {
    case PortState::Open: return "Порт узлов " + port + " открыт: отметки принимаются.";
    case PortState::Taken: return "Порт узлов " + port + " занят другой программой: отметки не принимаются" + retry;
    case PortState::Failed:
        return "Порт узлов " + port + " не открыт (" + std::strerror(status.error) + "): отметки не принимаются" +
               retry;
    case PortState::Closed: break;
    }
    return {};
}

std::string NodeAddress::toString() const {
    return std::to_string((ip >> 24) & 0xFF) + "." + std::to_string((ip >> 16) & 0xFF) + "." +
           std::to_string((ip >> 8) & 0xFF) + "." + std::to_string(ip & 0xFF) + ":" + std::to_string(port);
}

NodeAddress NodeAddress::fromString(const std::string& dotted, std::uint16_t port) {
    in_addr a{};
    if (inet_pton(AF_INET, dotted.c_str(), &a) != 1) return {};
    return NodeAddress{ntohl(a.s_addr), port};
}

std::uint64_t LinkEnvironment::nowMs() {
    using namespace std::chrono;
    const auto utcMs = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(utcMs / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    return static_cast<std::uint64_t>(utcMs + static_cast<long long>(local.tm_gmtoff) * 1000);
}

int LinkEnvironment::randomInt(int maxInclusive) { return velmaro::randomInt(maxInclusive); }

std::vector<BroadcastInterface> LinkEnvironment::interfaces() {
    std::vector<BroadcastInterface> out;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return out;
    for (ifaddrs* p = list; p && out.size() < 64; p = p->ifa_next) {
        if (!p->ifa_addr || p->ifa_addr->sa_family != AF_INET) continue;
        BroadcastInterface i;
        i.name = p->ifa_name ? p->ifa_name : "";
        i.address = ntohl(reinterpret_cast<const sockaddr_in*>(p->ifa_addr)->sin_addr.s_addr);
        if (p->ifa_netmask) i.netmask = ntohl(reinterpret_cast<const sockaddr_in*>(p->ifa_netmask)->sin_addr.s_addr);
        i.up = (p->ifa_flags & IFF_UP) != 0;
        i.broadcast = (p->ifa_flags & IFF_BROADCAST) != 0;
        out.push_back(i);
    }
    freeifaddrs(list);
    return out;
}

namespace {

class UdpTransport final : public LinkTransport {
public:
    ~UdpTransport() override { close(); }

    PortState open(std::uint16_t port, int& error) override {
        close();
        // The node port has one owner: a second console on it would take hits from this one.
        const int s = openUdpSocket(INADDR_ANY, port, PortSharing::Exclusive);
        if (s < 0) {
            error = -s;
            return error == EADDRINUSE ? PortState::Taken : PortState::Failed;
        }
        error = 0;
        fd_ = s;
        return PortState::Open;
    }

    void close() override {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

    bool send(const NodeAddress& to, const std::uint8_t* data, std::size_t length) override {
        if (fd_ < 0 || !to.known()) return false;
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(to.port);
        a.sin_addr.s_addr = htonl(to.ip);
        return ::sendto(fd_, data, length, 0, reinterpret_cast<sockaddr*>(&a), sizeof a) ==
               static_cast<ssize_t>(length);
    }

    long receive(std::uint8_t* buffer, std::size_t capacity, NodeAddress& from) override {
        if (fd_ < 0) return -1;
        sockaddr_in a{};
        socklen_t len = sizeof a;
        const ssize_t n = ::recvfrom(fd_, buffer, capacity, 0, reinterpret_cast<sockaddr*>(&a), &len);
        if (n < 0) return -1;
        from.ip = ntohl(a.sin_addr.s_addr);
        from.port = ntohs(a.sin_port);
        return static_cast<long>(n);
    }

    bool waitReadable(int timeoutMs) override {
        if (fd_ < 0) {
            if (timeoutMs > 0) ::usleep(static_cast<useconds_t>(timeoutMs) * 1000);
            return false;
        }
        pollfd p{fd_, POLLIN, 0};
        return ::poll(&p, 1, timeoutMs) > 0 && (p.revents & POLLIN);
    }

private:
    int fd_ = -1;
};

} // namespace

std::unique_ptr<LinkTransport> makeUdpTransport() { return std::make_unique<UdpTransport>(); }

LinkOptions LinkOptions::fromEnvironment() {
    LinkOptions o;
    if (const char* v = std::getenv("VELMARO_LINK_INTERFACES")) {
        std::string s = v, item;
        for (char c : s + ",") {
            if (c == ',') {
                if (!item.empty()) o.interfaces.push_back(item);
                item.clear();
            } else if (c != ' ') {
                item += c;
            }
        }
    }
    // Tests run several consoles side by side, each on a port of its own.
    if (const char* v = std::getenv("VELMARO_NODE_PORT")) {
        const std::optional<long long> port = parseIntegerInRange(v, 1, 65535);
        if (port) o.port = static_cast<std::uint16_t>(*port);
    }
    return o;
}

} // namespace velmaro
