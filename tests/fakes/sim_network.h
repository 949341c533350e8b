#pragma once
// A network namespace of its own for the node simulator, joined to the test's namespace
// by a veth pair: "vc<n>" 10.214.<n>.1/24 here (the console's side), "vs<n>" 10.214.<n>.2/24
// there (the simulator's). The console owns the node port exclusively, so the simulator,
// which listens on the same port number, must live in another namespace, as a real
// gateway lives on another machine. Needs the rights of the private namespace ./test makes.
#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace velmaro::test {

class SimNetwork {
public:
    explicit SimNetwork(int n) : n_(n) {
        const int home = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
        if (home < 0) return;
        if (::unshare(CLONE_NEWNET) == 0) {
            fd_ = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
            run("ip link set lo up");
            ok_ = ::setns(home, CLONE_NEWNET) == 0 && fd_ >= 0;
        }
        ::close(home);
        if (!ok_) return;
        const std::string n4 = std::to_string(n_);
        ok_ = run("ip link add vc" + n4 + " type veth peer name vs" + n4 + " netns " + path()) &&
              run("ip addr add " + consoleAddress() + "/24 dev vc" + n4) && run("ip link set vc" + n4 + " up") &&
              run("nsenter --net=" + path() + " sh -c 'ip addr add " + simAddress() + "/24 dev vs" + n4 +
                  " && ip link set vs" + n4 + " up'");
    }
    ~SimNetwork() {
        if (fd_ < 0) return;
        run("ip link del vc" + std::to_string(n_) + " 2>/dev/null");
        ::close(fd_);
    }
    SimNetwork(const SimNetwork&) = delete;
    SimNetwork& operator=(const SimNetwork&) = delete;

    bool ok() const { return ok_; }
    // The namespace, for SimOptions::networkNamespace.
    std::string path() const { return "/proc/" + std::to_string(::getpid()) + "/fd/" + std::to_string(fd_); }
    std::string consoleInterface() const { return "vc" + std::to_string(n_); }
    std::string consoleAddress() const { return "10.214." + std::to_string(n_) + ".1"; }
    std::string simAddress() const { return "10.214." + std::to_string(n_) + ".2"; }
    std::string broadcast() const { return "10.214." + std::to_string(n_) + ".255"; }
    std::uint32_t simIp() const { return 0x0AD60002u | (static_cast<std::uint32_t>(n_) << 8); }

private:
    static bool run(const std::string& command) { return std::system(command.c_str()) == 0; }

    int n_;
    int fd_ = -1;
    bool ok_ = false;
};

} // namespace velmaro::test
