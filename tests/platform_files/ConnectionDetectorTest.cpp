#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "XTZInternetConnectionDetector.h"
#include "platform/ITZInternetConnectionDetector.h"
#include "platform/SystemUtils.h"

namespace {

// Route tables as this kernel writes them.
const char kIpv4Header[] =
    "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
const char kIpv4Default[] = "eth0\t00000000\t010200C0\t0003\t0\t0\t0\t00000000\t0\t0\t0\n";
const char kIpv4Subnet[] = "eth0\t000200C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n";
const char kIpv4DefaultDown[] = "eth0\t00000000\t010200C0\t0002\t0\t0\t0\t00000000\t0\t0\t0\n";
const char kIpv6Default[] =
    "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
    "fd000000000000000000000000000001 "
    "00000400 00000002 00000000 00000003     eth0\n";
const char kIpv6Subnet[] =
    "fd000000000000000000000000000000 40 00000000000000000000000000000000 00 "
    "00000000000000000000000000000000 "
    "00000100 00000001 00000000 00000001     eth0\n";
// The kernel's unreachable default route on loopback: a reject route.
const char kIpv6LoopbackReject[] =
    "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
    "00000000000000000000000000000000 "
    "ffffffff 00000001 00000000 00200200       lo\n";
const char kIpv6RejectOnEth[] =
    "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
    "00000000000000000000000000000000 "
    "ffffffff 00000001 00000000 00200201     eth0\n";

TEST(ConnectionDetector, DefaultRouteThroughAnInterfaceThatIsUp) {
  struct Row {
    const char* name;
    std::set<std::string> up;
    std::string ipv4;
    std::string ipv6;
    bool connected;
  };
  const std::string header = kIpv4Header;
  const Row rows[] = {
      {"IPv4 default route", {"eth0"}, header + kIpv4Subnet + kIpv4Default, kIpv6LoopbackReject, true},
      {"IPv6 default route", {"eth0"}, header + kIpv4Subnet, std::string(kIpv6Subnet) + kIpv6Default, true},
      {"interface of the route is down", {"wlan0"}, header + kIpv4Default, kIpv6Default, false},
      {"no interface up", {}, header + kIpv4Default, kIpv6Default, false},
      {"only subnet routes", {"eth0"}, header + kIpv4Subnet, kIpv6Subnet, false},
      {"default route not up", {"eth0"}, header + kIpv4DefaultDown, "", false},
      {"only the loopback reject route", {"eth0", "lo"}, header, kIpv6LoopbackReject, false},
      {"reject route on an interface", {"eth0"}, header, kIpv6RejectOnEth, false},
      {"empty tables", {"eth0"}, "", "", false},
      {"a default route only in the header position", {"eth0"}, kIpv4Default, "", false},
      {"malformed lines",
       {"eth0"},
       header + "eth0 00000000\n" + "eth0\tXYZ\t0\t0003\t0\t0\t0\t00000000\n",
       "0000 00 eth0\n",
       false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(row.connected, XTZInternetConnectionDetector::HasDefaultRoute(row.up, row.ipv4, row.ipv6))
        << row.name;
  }
}

class ForcedConnection : public ::testing::Test {
 protected:
  void TearDown() override { unsetenv("TZ_FORCE_CONNECTED"); }
};

TEST_F(ForcedConnection, EnvironmentForcesEitherAnswer) {
  ITZInternetConnectionDetector& detector = ITZInternetConnectionDetector::Instance();
  setenv("TZ_FORCE_CONNECTED", "1", 1);
  EXPECT_TRUE(detector.IsConnected());
  setenv("TZ_FORCE_CONNECTED", "0", 1);
  EXPECT_FALSE(detector.IsConnected());
  setenv("TZ_FORCE_CONNECTED", "1", 1);
  EXPECT_TRUE(detector.IsConnected()) << "read on every call";
}

TEST_F(ForcedConnection, SameThreadMayHoldTheProcessMutexAndAskAgain) {
  setenv("TZ_FORCE_CONNECTED", "1", 1);
  TZRecursiveLock outer(TZProcessRecursiveMutex());
  ITZInternetConnectionDetector& detector = ITZInternetConnectionDetector::Instance();
  EXPECT_TRUE(detector.IsConnected());
}

TEST(ConnectionDetector, ThreadsGetOneInstance) {
  std::atomic<bool> go(false);
  std::vector<ITZInternetConnectionDetector*> seen(8, nullptr);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < seen.size(); ++i) {
    threads.emplace_back([&, i] {
      while (!go) std::this_thread::yield();
      seen[i] = &ITZInternetConnectionDetector::Instance();
      seen[i]->IsConnected();
    });
  }
  go = true;
  for (std::thread& thread : threads) thread.join();
  for (ITZInternetConnectionDetector* detector : seen) EXPECT_EQ(seen[0], detector);
  EXPECT_NE(nullptr, seen[0]);
}

// A new network namespace holds only a loopback interface that is down: not connected, unless
// the environment forces the answer.
TEST(ConnectionDetector, EmptyNetworkNamespaceIsNotConnected) {
  unsetenv("TZ_FORCE_CONNECTED");
  uint32_t code = 12345;
  if (SystemUtils::RunProcessAndWait({TZString("unshare"), TZString("-n"), TZString("true")}, code) ||
      code != 0) {
    GTEST_SKIP() << "network namespaces cannot be made here";
  }
  const TZString probe(TZ_BINARY_DIR "/tests/platform_files/tz_connection_probe");
  EXPECT_FALSE(SystemUtils::RunProcessAndWait({TZString("unshare"), TZString("-n"), probe}, code));
  EXPECT_EQ(1u, code);
  EXPECT_FALSE(SystemUtils::RunProcessAndWait(
      {TZString("env"), TZString("TZ_FORCE_CONNECTED=1"), TZString("unshare"), TZString("-n"), probe}, code));
  EXPECT_EQ(0u, code);
}

}  // namespace
