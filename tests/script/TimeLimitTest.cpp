// A small made-up machine whose tools are stubs: every input in the form the
// agent reads, and, with any one tool (or all of them) never ending, a
// script that still ends within its bound with every other input complete
// and no stopped tool left running. What shows a bound at work is the
// script's own doing (the stopped tool's output absent, the tools it started
// at all), never how long the run took: on a busy machine that says nothing.

#include <algorithm>
#include <chrono>
#include <csignal>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <sched.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include "tests/script/ScriptHarness.h"

namespace {

using namespace scripttest;
using Files = std::map<std::string, std::string>;

// Seconds one tool may run in the tests of hanging tools (KX_TOOL_LIMIT),
// and all tools together (KX_RUN_LIMIT): a stub that does end needs a few
// milliseconds, so these leave room for a very busy machine.
constexpr int kLimit = 8;
constexpr int kRunLimit = 90;

const Files kLinuxTools = {
    {"uname", "case \"$1\" in -m) echo aarch64 ;; *) echo Linux ;; esac"},
    {"hostname", "case \"$1\" in -d) echo example.org ;; *) echo host1 ;; esac"},
    {"dmidecode",
     "printf 'Handle 0x0001, DMI type 1, 27 bytes\\nSystem Information\\n\\tManufacturer: ACME\\n"
     "\\tProduct Name: Box 1\\n\\tSerial Number: SN1\\n\\tUUID: "
     "11111111-2222-3333-4444-555555555555\\n\\n"
     "Handle 0x0002, DMI type 2, 15 bytes\\nBase Board Information\\n\\tManufacturer: Board "
     "Co\\n'"},
    {"lscpu", "printf 'Architecture:        aarch64\\nModel name:          Cortex-A72\\n'"},
    {"lsblk", "printf 'TYPE=\"disk\" MODEL=\"ACME SSD \" SIZE=\"1000204886016\" KNAME=\"sda\"\\n'"},
    {"df", "printf 'Filesystem     Type 1024-blocks  Used Available Capacity Mounted on\\n"
           "/dev/sda1      ext4        1000   500       400      56%% /\\n'"},
    {"lspci", "printf '00:00.0 Host bridge: ACME Bridge\\n00:02.0 VGA compatible controller: ACME "
              "Graphics\\n'"},
    {"ip",
     "case \"$*\" in *route*) echo 'default via 10.0.0.1 dev eth0 proto static' ; exit ;; esac\n"
     "printf '1: lo: <LOOPBACK,UP,LOWER_UP> mtu 65536\\n    link/loopback 00:00:00:00:00:00 brd "
     "00:00:00:00:00:00\\n"
     "    inet 127.0.0.1/8 scope host lo\\n2: eth0: <BROADCAST,MULTICAST,UP,LOWER_UP> mtu 1500\\n"
     "    link/ether 02:00:00:00:00:01 brd ff:ff:ff:ff:ff:ff\\n"
     "    inet 10.0.0.5/24 brd 10.0.0.255 scope global eth0\\n'"},
    {"ifconfig", "printf 'eth0: flags=4163<UP,BROADCAST,RUNNING,MULTICAST>  mtu 1500\\n"
                 "        inet 10.0.0.5  netmask 255.255.255.0  broadcast 10.0.0.255\\n"
                 "        ether 02:00:00:00:00:01  txqueuelen 1000  (Ethernet)\\n\\n'"},
    {"udevadm", "printf 'ID_VENDOR_FROM_DATABASE=ACME\\nID_MODEL_FROM_DATABASE=NIC 1\\n'"},
    {"dpkg-query", "printf 'bash\\tarm64\\t5.2-1\\t100\\tshells\\tinstall ok installed\\n'"},
    {"rpm", "printf 'bash\\taarch64\\t5.2-1.el9\\t1600000000\\t100\\tACME\\tshell\\tSystem\\n'"},
    {"stat", "echo 1600000000"}};

const Files kLinuxFiles = {
    {"proc/cpuinfo", "processor\t: 0\nBogoMIPS\t: 108.00\n\nprocessor\t: 1\nBogoMIPS\t: 108.00\n"},
    {"proc/meminfo", "MemTotal:        1000 kB\nMemFree:          500 kB\n"},
    {"etc/debian_version", "12.1\n"},
    {"etc/os-release",
     "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nVERSION_ID=\"12\"\nID=debian\n"},
    {"var/log/dpkg.log", "2023-01-01 00:00:00 startup archives install\n"
                         "2023-01-01 00:00:00 install bash:arm64 <none> 5.2-1\n"},
    {"sys/devices/virtual/dmi/id/sys_vendor", "ACME\n"},
    {"etc/machine-id", "0123456789abcdef0123456789abcdef\n"},
    {"etc/resolv.conf", "nameserver 10.0.0.53\n"},
    {"proc/net/route",
     "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
     "eth0\t00000000\t0100000A\t0003\t0\t0\t0\t00000000\t0\t0\t0\n"}};

// What the script leaves on that machine.
const Files kLinuxResult = {
    {"hostname", "host1\n"},
    {"domainname", "example.org\n"},
    {"arch", "aarch64\n"},
    {"dmidecode",
     "System Information\n\tManufacturer: ACME\n\tProduct Name: Box 1\n\tSerial Number: SN1\n"
     "\tUUID: 11111111-2222-3333-4444-555555555555\n"},
    {"cpu", "processor\t: 0\nmodel name\t: Cortex-A72\nBogoMIPS\t: 108.00\n\n"
            "processor\t: 1\nmodel name\t: Cortex-A72\nBogoMIPS\t: 108.00\n"},
    {"mem", "MemTotal:        1000 kB\nMemFree:          500 kB\n"},
    {"physical_disk", "TYPE=\"disk\" MODEL=\"ACME SSD\" SIZE=\"1000204886016\" KNAME=\"sda\"\n"},
    {"logical_disk", "Mounted Type Bytes Used Available Capacity Filesystem\n/ ext4 1024000 512000 "
                     "409600 56% /dev/sda1\n"},
    {"video", "00:02.0 VGA compatible controller: ACME Graphics\n"},
    {"ip_eth0",
     "    link/ether 02:00:00:00:00:01 brd ff:ff:ff:ff:ff:ff\n    inet 10.0.0.5/24 scope global\n"},
    {"nic_eth0", "ID_VENDOR_FROM_DATABASE=ACME\nID_MODEL_FROM_DATABASE=NIC 1\n"},
    {"net_eth0", "GATEWAY=10.0.0.1\nDNS=10.0.0.53\nDHCP=0\nWIRELESS=0\n"},
    {"machine_id", "0123456789abcdef0123456789abcdef\n"},
    {"app", "bash 5.2-1 bash:arm64\n"},
    {"app_install", "2023-01-01 00:00:00 install bash:arm64\n"},
    {"os", "12.1\nDebian GNU/Linux 12 (bookworm)\n"},
    {"os_install_1", "1600000000\n"},
    {"os_install_2", "20230101000000\n"}};

const std::string kIfconfigForm = "eth0: flags=4163<UP,BROADCAST,RUNNING,MULTICAST> mtu 1500\n"
                                  " inet 10.0.0.5 netmask 255.255.255.0 broadcast 10.0.0.255\n"
                                  " ether 02:00:00:00:00:01 txqueuelen 1000 (Ethernet)\n";

const std::string kPlist =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<array><dict>"
    "<key>_dataType</key><string>TYPE</string><key>_items</key><array/></dict></array>\n"
    "</plist>\n";

const Files kMacTools = {
    {"uname", "echo Darwin"},
    {"hostname", "echo mac1.example.org"},
    {"sw_vers",
     "printf 'ProductName:\\tmacOS\\nProductVersion:\\t14.0\\nBuildVersion:\\t23A344\\n'"},
    {"system_profiler",
     "case \"$1\" in -xml) printf '%s' '" + kPlist +
         "' | sed \"s/TYPE/$4/\" ;;"
         " *) printf 'Graphics/Displays:\\n\\n    Chipset Model: ACME\\n' ;; esac"}};

Files macResult() {
    Files result = {{"hostname", "mac1.example.org\n"},
                    {"os", "ProductName:\tmacOS\nProductVersion:\t14.0\n"},
                    {"video", "Graphics/Displays:\n\n    Chipset Model: ACME\n"}};
    for (const auto& type : macReportTypes()) {
        std::string plist = kPlist;
        plist.replace(plist.find("TYPE"), 4, type.second);
        result[type.first] = plist;
    }
    return result;
}

// File by file, so that a difference reads as one.
void expectFiles(const Files& actual, const Files& expected) {
    for (const auto& file : expected)
        EXPECT_EQ(actual.count(file.first) ? actual.at(file.first) : "(absent)", file.second)
            << file.first;
    for (const auto& file : actual)
        EXPECT_TRUE(expected.count(file.first))
            << "unexpected " << file.first << ": " << file.second;
}

class ScriptOnMadeUpMachine : public ScriptTest {
protected:
    void SetUp() override {
        ScriptTest::SetUp();
        linkUtilities();
        sleeper = "sleep " + std::to_string(100000 + getpid());
    }

    void build(bool mac) {
        for (const auto& tool : mac ? kMacTools : kLinuxTools)
            stub(tool.first, tool.second);
        if (!mac)
            for (const auto& file : kLinuxFiles)
                rootFile(file.first, file.second);
    }

    // A stub that never ends by itself: it notes that it started, then its
    // child sleeps, and with `ignoresTerm` neither minds TERM.
    void hang(const std::string& tool, bool ignoresTerm = false) {
        stub(tool, std::string(ignoresTerm ? "trap '' TERM\n" : "") + "echo " + tool + " >>" +
                       quoted((base / "started").string()) + "\n" + sleeper + "\necho never");
    }

    // The hanging stubs the script started, one line each time.
    std::vector<std::string> started() const { return lines(readFile(base / "started")); }
    bool wasStarted(const std::string& tool) const {
        const std::vector<std::string> names = started();
        return std::find(names.begin(), names.end(), tool) != names.end();
    }

    Files resultFiles() const {
        Files files;
        for (const std::string& name : tree(result()))
            files[name] = readFile(result() / name);
        return files;
    }

    // No hanging stub still running once the run has ended.
    void expectNoLeftovers(const Outcome& outcome) const {
        for (const std::string& process : outcome.leftovers)
            EXPECT_TRUE(process.find(sleeper) == std::string::npos &&
                        process.find(bin.string()) == std::string::npos)
                << "stopped tool still running: " << process;
    }

    std::string sleeper;
};

TEST_F(ScriptOnMadeUpMachine, EveryLinuxInputIsInTheFormTheAgentReads) {
    build(false);
    const Outcome outcome = runScript(true);
    EXPECT_EQ(outcome.status, 0);
    expectFiles(resultFiles(), kLinuxResult);
    EXPECT_EQ(readFile(base / "out") + readFile(base / "err"), "");
}

TEST_F(ScriptOnMadeUpMachine, EveryMacInputIsLeftAsTheToolsGaveIt) {
    build(true);
    const Outcome outcome = runScript(true, "bash --posix");
    EXPECT_EQ(outcome.status, 0);
    expectFiles(resultFiles(), macResult());
}

// Stale inputs of an earlier run never reach a new inventory.
TEST_F(ScriptOnMadeUpMachine, ThePreviousRunsFilesAreRemovedFirst) {
    build(false);
    writeFile(result() / "nic_wlan9", "");
    writeFile(result() / "ip_wlan9", "    inet 10.9.9.9/8 scope global\n");
    writeFile(result() / "hardware.xml", "<plist/>");
    writeFile(result() / ".work" / "lscpu", "Model name: stale\n");
    EXPECT_EQ(runScript(true).status, 0);
    expectFiles(resultFiles(), kLinuxResult);
}

// Tools print in the C locale, whose texts the agent's patterns know
// (a French ifconfig says "inet adr:").
TEST_F(ScriptOnMadeUpMachine, ToolsRunInTheCLocale) {
    build(false);
    stub("lspci", "echo \"00:02.0 VGA compatible controller: locale $LC_ALL $LANG\"");
    EXPECT_EQ(runScript(true).status, 0);
    EXPECT_EQ(resultFile("video"), "00:02.0 VGA compatible controller: locale C C\n");
}

struct HangCase {
    std::string tool;
    bool mac = false;
    std::vector<std::string> without; // tools this machine does not have
    std::vector<std::string> absent;  // files the hanging tool leaves absent or empty
    Files instead;                    // what takes the place of the tool's output
    bool ignoresTerm = false;
};

void PrintTo(const HangCase& c, std::ostream* out) { *out << c.tool; }

class ScriptToolHangs : public ScriptOnMadeUpMachine,
                        public ::testing::WithParamInterface<HangCase> {};

TEST_P(ScriptToolHangs, TheRunEndsInItsBoundWithEveryOtherInputComplete) {
    const HangCase& c = GetParam();
    build(c.mac);
    Files expected = c.mac ? macResult() : kLinuxResult;
    for (const std::string& tool : c.without)
        fs::remove(bin / tool);
    if (std::find(c.without.begin(), c.without.end(), "ip") != c.without.end())
        expected["ip_eth0"] = kIfconfigForm;
    if (std::find(c.without.begin(), c.without.end(), "dpkg-query") != c.without.end()) {
        expected["app"] = "bash 5.2-1.el9 1600000000\n";
        expected["os_install_2"] = "20200913122640\n";
        expected.erase("app_install");
    }
    hang(c.tool, c.ignoresTerm);

    const Outcome outcome = runScript(true, c.mac ? "bash --posix" : "dash", kLimit, kRunLimit);
    // The stub, started, would sleep for a day: the run ended since the
    // script stopped it.
    EXPECT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(wasStarted(c.tool));

    Files files = resultFiles();
    for (const std::string& name : c.absent) {
        EXPECT_TRUE(files[name].empty()) << name << ": " << files[name];
        files.erase(name);
        expected.erase(name);
    }
    for (const auto& file : c.instead)
        expected[file.first] = file.second;
    expectFiles(files, expected);
    expectNoLeftovers(outcome);
}

const std::vector<std::string> kMacReports = {"hardware.xml",  "mem.xml",       "physical_disk.xml",
                                              "nvme_disk.xml", "pata_disk.xml", "logical_disk.xml",
                                              "nics",          "app",           "video"};

INSTANTIATE_TEST_SUITE_P(
    Tools, ScriptToolHangs,
    ::testing::Values(
        HangCase{"hostname", false, {}, {"hostname", "domainname"}, {}},
        HangCase{"uname", false, {}, {"arch"}, {}},
        HangCase{"dmidecode",
                 false,
                 {},
                 {"dmidecode"},
                 {{"grep_sys_devices", "/sys/devices/virtual/dmi/id/sys_vendor:ACME\n"}},
                 true},
        HangCase{"lscpu",
                 false,
                 {},
                 {},
                 {{"cpu", "processor\t: 0\nmodel name\t: aarch64\nBogoMIPS\t: 108.00\n\n"
                          "processor\t: 1\nmodel name\t: aarch64\nBogoMIPS\t: 108.00\n"}}},
        HangCase{"lsblk", false, {}, {"physical_disk"}, {}},
        HangCase{"df", false, {}, {"logical_disk"}, {}, true},
        HangCase{"lspci", false, {}, {"video"}, {}},
        HangCase{"ip", false, {}, {}, {{"ip_eth0", kIfconfigForm}}},
        HangCase{"ifconfig", false, {"ip"}, {"ip_eth0", "nic_eth0", "net_eth0"}, {}},
        HangCase{"udevadm", false, {}, {"nic_eth0"}, {}},
        HangCase{"dpkg-query", false, {"rpm"}, {"app", "app_install", "os_install_2"}, {}},
        HangCase{"rpm", false, {"dpkg-query"}, {"app", "os_install_2"}, {}},
        HangCase{"stat", false, {}, {"os_install_1"}, {}},
        HangCase{"system_profiler", true, {}, kMacReports, {}, true},
        HangCase{"sw_vers", true, {}, {"os"}, {}}, HangCase{"hostname", true, {}, {"hostname"}, {}},
        // A Mac all the same: uname's silence is no reason to run the Linux tools.
        HangCase{"uname", true, {}, {}, {}}),
    [](const ::testing::TestParamInfo<HangCase>& test) {
        std::string name = (test.param.mac ? "Mac_" : "Linux_") + test.param.tool;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

// Every tool never ends: the run still ends within its own budget (here
// four tool limits, as by default), with what the files under /proc and /etc
// give. Each hanging tool it starts takes a full tool limit, so within the
// budget it starts four at most, where a run without one would start them
// all.
TEST_F(ScriptOnMadeUpMachine, WhenEveryToolHangsTheRunEndsWithinItsBudget) {
    const int budget = 4 * kLimit;
    for (const std::string shell : {"dash", "bash --posix"}) {
        build(false);
        for (const auto& tool : kLinuxTools)
            hang(tool.first);
        fs::remove(base / "started");
        const Outcome outcome = runScript(true, shell, kLimit, budget);
        EXPECT_TRUE(outcome.finished) << shell;
        EXPECT_EQ(outcome.status, 0) << shell;
        EXPECT_FALSE(started().empty()) << shell;
        EXPECT_LE(started().size(), static_cast<size_t>(budget / kLimit)) << shell;
        const Files files = resultFiles();
        for (const char* name : {"mem", "os"})
            EXPECT_EQ(files.count(name) ? files.at(name) : "", kLinuxResult.at(name))
                << shell << " " << name;
        EXPECT_NE(files.count("cpu") ? files.at("cpu") : "", "") << shell;
        expectNoLeftovers(outcome);
    }
    build(true);
    for (const auto& tool : kMacTools)
        hang(tool.first);
    fs::remove(base / "started");
    const Outcome outcome = runScript(true, "bash --posix", kLimit, budget);
    EXPECT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(wasStarted("system_profiler"));
    expectNoLeftovers(outcome);
}

// A watchdog stops its tool even where it cannot leave its mark (here the
// tool took the work folder): it never leaves the run waiting for a tool
// that never ends.
TEST_F(ScriptOnMadeUpMachine, AWatchdogStopsItsToolWithoutItsWorkFolder) {
    build(true);
    stub("sw_vers", "rm -rf result/.work\n" + sleeper + "\necho never");
    const Outcome outcome = runScript(true, "bash --posix", kLimit, kRunLimit);
    EXPECT_TRUE(outcome.finished);
    EXPECT_EQ(outcome.status, 0);
    // Without its mark a stopped tool that ends by itself once its child is
    // gone looks finished: its output may be left, here empty.
    Files files = resultFiles();
    EXPECT_EQ(files["os"], "");
    files.erase("os");
    Files expected = macResult();
    expected.erase("os");
    expectFiles(files, expected);
    expectNoLeftovers(outcome);
}

// Stopped as the agent stops it, TERM to its process group, while a tool
// hangs: the script ends at once, its work folder removed. "At once" is what
// the script did, not how long it took: the inputs gathered before the
// hanging tool are complete, and nothing after it was gathered (had the stop
// been lost, the run would go on once the tool's own limit had passed).
TEST_F(ScriptOnMadeUpMachine, StoppedByTermTheRunEndsWithoutItsWorkFolder) {
    Files before;
    for (const char* name : {"hostname", "domainname", "arch", "os", "dmidecode", "machine_id",
                             "cpu", "mem", "physical_disk", "logical_disk"})
        before[name] = kLinuxResult.at(name);
    for (const std::string shell : {"dash", "bash --posix"}) {
        build(false);
        hang("lspci");
        fs::remove(base / "started");
        const Outcome outcome = runScript(true, shell, 0, 0, [this](pid_t group) {
            // Only a guard: the stubs before lspci take milliseconds.
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
            while (!wasStarted("lspci") && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            ::kill(-group, SIGTERM);
        });
        EXPECT_TRUE(wasStarted("lspci")) << shell;
        EXPECT_TRUE(outcome.finished) << shell;
        EXPECT_EQ(outcome.status, 0) << shell;
        EXPECT_TRUE(fs::exists(result())) << shell;
        EXPECT_FALSE(fs::exists(result() / ".work")) << shell;
        expectFiles(resultFiles(), before);
        expectNoLeftovers(outcome);
    }
}

// This process and what it starts kept to one processor, which a busy loop
// of the lowest priority shares: a new process there often runs only after
// the one that started it has gone on, as on a loaded machine.
class BusyProcessor {
public:
    BusyProcessor() {
        CPU_ZERO(&previous);
        if (::sched_getaffinity(0, sizeof previous, &previous) != 0)
            return;
        int cpu = 0;
        while (cpu < CPU_SETSIZE && !CPU_ISSET(cpu, &previous))
            ++cpu;
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu, &one);
        pinned = ::sched_setaffinity(0, sizeof one, &one) == 0;
        loop = ::fork();
        if (loop == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            ::setpriority(PRIO_PROCESS, 0, 19);
            ::execl("/bin/sh", "sh", "-c", "while :; do :; done", static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~BusyProcessor() {
        if (loop > 0) {
            ::kill(loop, SIGKILL);
            ::waitpid(loop, nullptr, 0);
        }
        if (pinned)
            ::sched_setaffinity(0, sizeof previous, &previous);
    }
    BusyProcessor(const BusyProcessor&) = delete;
    BusyProcessor& operator=(const BusyProcessor&) = delete;

private:
    cpu_set_t previous;
    bool pinned = false;
    pid_t loop = -1;
};

// A tool that ends at once has often ended before the subshell of its
// watchdog has dropped the traps it inherited, and the watchdog is stopped
// in that instant. Nothing of the run may go with it: every run of the Mac
// (whose sh is bash) takes the macOS path and leaves every input.
TEST_F(ScriptOnMadeUpMachine, WatchdogsStoppedAtOnceLoseNothingOnABusyProcessor) {
    build(true);
    BusyProcessor busy;
    for (int run = 1; run <= 10; ++run) {
        const Outcome outcome = runScript(true, "bash --posix");
        EXPECT_EQ(outcome.status, 0) << "run " << run;
        const Files files = resultFiles();
        if (files != macResult()) {
            expectFiles(files, macResult());
            FAIL() << "run " << run << ": " << readFile(base / "err");
        }
    }
}

} // namespace
