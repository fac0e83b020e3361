// tunlink: a shaped point-to-point link between two network namespaces, in user space.
//
//   tunlink NS_A NS_B [--rate-mbit R] [--delay-ms D] [--loss P] [--queue-bytes Q] [--dev NAME]
//
// Makes a TUN device NAME (default "tzlink") in each of the two named namespaces (as made by
// "ip netns add") and forwards every packet from one to the other the way a bottleneck link
// would: each direction sends at R Mbit/s (default 100) through a drop-tail queue of Q bytes
// (default one bandwidth-delay product), the packet arrives D ms (default 25, one way) after it
// left, and a packet is lost with probability P (default 0). Prints "ready" once both devices
// exist; the caller then gives them addresses and brings them up. Runs until SIGINT/SIGTERM or
// until its parent ends. This kernel has no netem; this stands in for it in the benchmarks.
#include <fcntl.h>
#include <linux/if.h>
#include <linux/if_tun.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

volatile sig_atomic_t gStop = 0;
void OnStop(int) { gStop = 1; }

// Opens a TUN device named inDev inside the namespace inNs; the device lives while the
// descriptor is open.
int OpenTunIn(const std::string& inNs, const std::string& inDev) {
    const int self = open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
    const int target = open(("/var/run/netns/" + inNs).c_str(), O_RDONLY | O_CLOEXEC);
    if (self < 0 || target < 0 || setns(target, CLONE_NEWNET) != 0) {
        std::perror(("tunlink: namespace " + inNs).c_str());
        return -1;
    }
    int fd = open("/dev/net/tun", O_RDWR | O_NONBLOCK | O_CLOEXEC);
    ifreq request{};
    request.ifr_flags = IFF_TUN | IFF_NO_PI;
    std::strncpy(request.ifr_name, inDev.c_str(), IFNAMSIZ - 1);
    if (fd < 0 || ioctl(fd, TUNSETIFF, &request) != 0) {
        std::perror("tunlink: TUN device");
        fd = -1;
    }
    if (setns(self, CLONE_NEWNET) != 0) std::perror("tunlink: back to own namespace");
    close(self);
    close(target);
    return fd;
}

struct Packet {
    Clock::time_point arrival;
    std::vector<char> bytes;
};

// One direction of the link.
struct Direction {
    int from = -1;
    int to = -1;
    Clock::time_point linkFree{};
    std::deque<Packet> inFlight;  // in arrival order: departures are serial, the delay fixed
    unsigned long long forwarded = 0, lost = 0, queueDrops = 0, writeFailures = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: tunlink NS_A NS_B [--rate-mbit R] [--delay-ms D] [--loss P] "
                             "[--queue-bytes Q] [--dev NAME]\n");
        return 2;
    }
    double rateMbit = 100, delayMs = 25, loss = 0, queueBytes = -1;
    std::string dev = "tzlink";
    for (int i = 3; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--rate-mbit") rateMbit = std::atof(argv[i + 1]);
        else if (option == "--delay-ms") delayMs = std::atof(argv[i + 1]);
        else if (option == "--loss") loss = std::atof(argv[i + 1]);
        else if (option == "--queue-bytes") queueBytes = std::atof(argv[i + 1]);
        else if (option == "--dev") dev = argv[i + 1];
        else return 2;
    }
    const double bytesPerSecond = rateMbit * 1e6 / 8;
    if (queueBytes < 0) queueBytes = bytesPerSecond * 2 * delayMs / 1000;
    const auto delay = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double, std::milli>(delayMs));

    prctl(PR_SET_PDEATHSIG, SIGTERM);
    signal(SIGINT, OnStop);
    signal(SIGTERM, OnStop);

    const int a = OpenTunIn(argv[1], dev);
    const int b = OpenTunIn(argv[2], dev);
    if (a < 0 || b < 0) return 1;
    std::printf("ready\n");
    std::fflush(stdout);

    Direction dirs[2];
    dirs[0].from = a;
    dirs[0].to = b;
    dirs[1].from = b;
    dirs[1].to = a;
    std::mt19937_64 rng(12345);
    std::uniform_real_distribution<double> uniform(0, 1);
    std::vector<char> buffer(65536);

    while (!gStop) {
        // Sleep until a packet can be read or the earliest packet in flight arrives.
        Clock::time_point wake = Clock::now() + std::chrono::milliseconds(200);
        for (const Direction& d : dirs)
            if (!d.inFlight.empty() && d.inFlight.front().arrival < wake)
                wake = d.inFlight.front().arrival;
        const auto wait = std::max(Clock::duration::zero(), wake - Clock::now());
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
        timespec timeout{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        pollfd fds[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
        if (ppoll(fds, 2, &timeout, nullptr) < 0 && !gStop) continue;

        const Clock::time_point now = Clock::now();
        for (int i = 0; i < 2; ++i) {
            if (!(fds[i].revents & POLLIN)) continue;
            Direction& d = dirs[i];
            for (;;) {
                const ssize_t n = read(d.from, buffer.data(), buffer.size());
                if (n <= 0) break;
                const double backlog =
                    std::chrono::duration<double>(std::max(Clock::duration::zero(), d.linkFree - now))
                        .count() *
                    bytesPerSecond;
                if (uniform(rng) < loss) {
                    ++d.lost;
                    continue;
                }
                if (backlog + static_cast<double>(n) > queueBytes) {
                    ++d.queueDrops;
                    continue;
                }
                const auto send = std::chrono::duration_cast<Clock::duration>(
                    std::chrono::duration<double>(static_cast<double>(n) / bytesPerSecond));
                d.linkFree = std::max(d.linkFree, now) + send;
                d.inFlight.push_back({d.linkFree + delay, std::vector<char>(buffer.data(), buffer.data() + n)});
            }
        }
        for (Direction& d : dirs) {
            while (!d.inFlight.empty() && d.inFlight.front().arrival <= Clock::now()) {
                const Packet& p = d.inFlight.front();
                if (write(d.to, p.bytes.data(), p.bytes.size()) < 0)
                    ++d.writeFailures;
                else
                    ++d.forwarded;
                d.inFlight.pop_front();
            }
        }
    }
    for (const Direction& d : dirs)
        std::fprintf(stderr, "tunlink: %s: %llu forwarded, %llu lost, %llu queue drops, %llu write "
                             "failures\n",
                     &d == dirs ? "a to b" : "b to a", d.forwarded, d.lost, d.queueDrops,
                     d.writeFailures);
    close(a);
    close(b);
    return 0;
}
