// The collection script on this machine, its result read by the agent's
// managers: the data files agree with what the machine says directly
// (/proc, lsblk, the mounts, the interfaces, dpkg), and the agent itself runs
// the script in an installation folder.

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ctime>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netpacket/packet.h>
#include <arpa/inet.h>
#include <sys/statvfs.h>
#include <sys/utsname.h>
#include <unistd.h>

#include "tests/script/ScriptHarness.h"

namespace {

using namespace scripttest;

// "key : value" of the first line beginning with `key`, trimmed.
std::string procValue(const std::string& text, const std::string& key) {
    for (const std::string& line : lines(text))
        if (line.compare(0, key.size(), key) == 0 && line.find(':') != std::string::npos) {
            std::string value = line.substr(line.find(':') + 1);
            value.erase(0, value.find_first_not_of(" \t"));
            value.erase(value.find_last_not_of(" \t\r") + 1);
            return value;
        }
    return "";
}

// The standard output of a command run through the shell, which is stopped
// after two minutes: a tool of this machine that hangs fails the test rather
// than holding it.
std::string output(const std::string& command) {
    std::string text;
    if (FILE* pipe = popen(("timeout -k 5 120 sh -c " + quoted(command)).c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            text.append(buffer, n);
        pclose(pipe);
    }
    return text;
}

class ScriptOnThisMachine : public ScriptTest {
protected:
    void SetUp() override {
        ScriptTest::SetUp();
        const Outcome outcome = runScript(false);
        ASSERT_TRUE(outcome.finished);
        ASSERT_EQ(outcome.status, 0) << readFile(base / "err");
        inventory = collect();
    }

    const json& hardware() const { return inventory.hardware; }

    Inventory inventory;
};

TEST_F(ScriptOnThisMachine, WritesOnlyIntoResultAndLeavesNoWorkFiles) {
    for (const std::string& name : tree(home))
        EXPECT_TRUE(name == "macInventory.sh" || name.rfind("result/", 0) == 0) << name;
    for (const std::string& name : tree(result()))
        EXPECT_NE(name[0], '.') << name;
    for (const char* name : {"cpu", "mem", "hostname", "arch", "os"})
        EXPECT_TRUE(hasResult(name)) << name;
    EXPECT_TRUE(readFile(base / "out").empty());
}

TEST_F(ScriptOnThisMachine, ProcessorsAreThePackagesOfCpuinfoWithItsModelName) {
    const std::string cpuinfo = readFile("/proc/cpuinfo");
    std::set<std::string> packages;
    for (const std::string& line : lines(cpuinfo))
        if (line.rfind("physical id", 0) == 0)
            packages.insert(line);
    const size_t expected = std::max<size_t>(packages.size(), 1);
    ASSERT_EQ(hardware()["cpus"].size(), expected);
    const std::string model = procValue(cpuinfo, "model name");
    for (const json& cpu : hardware()["cpus"]) {
        if (!model.empty())
            EXPECT_EQ(cpu["name"], model);
        else
            EXPECT_NE(cpu["name"], ""); // a name from lscpu or the device tree
    }
}

TEST_F(ScriptOnThisMachine, MemoryIsMemTotal) {
    const std::string total = procValue(readFile("/proc/meminfo"), "MemTotal");
    ASSERT_EQ(hardware()["memorySlots"].size(), 1u);
    EXPECT_EQ(hardware()["memorySlots"][0]["sizeKb"], std::stoul(total));
}

TEST_F(ScriptOnThisMachine, DisksAreLsblksDisksWithTheirSizes) {
    if (which("lsblk").empty())
        GTEST_SKIP() << "no lsblk";
    // KNAME="vda" TYPE="disk" SIZE="274877906944" MODEL=""
    const std::regex pair(
        "KNAME=\"([^\"]*)\" TYPE=\"([^\"]*)\" SIZE=\"([^\"]*)\" MODEL=\"([^\"]*)\"");
    std::multiset<std::pair<std::string, int64_t>> disks;
    std::multiset<std::string> drives;
    for (const std::string& line :
         lines(output("lsblk -P -b -d -o KNAME,TYPE,SIZE,MODEL 2>/dev/null"))) {
        std::smatch m;
        if (!std::regex_search(line, m, pair))
            continue;
        std::string model = m.str(4);
        model.erase(model.find_last_not_of(' ') + 1);
        if (m.str(2) == "disk" && !std::regex_match(m.str(1), std::regex("z?ram[0-9]+")))
            disks.insert({model, std::stoll(m.str(3))});
        if (m.str(2) == "rom")
            drives.insert(m.str(1));
    }
    // A disk without a model is named all the same (vendor and transport, or its kernel name).
    std::multiset<std::pair<std::string, int64_t>> recorded;
    for (const json& disk : hardware()["disks"]) {
        const std::string name = disk["name"];
        EXPECT_NE(name, "");
        const int64_t size = disk["sizeBytes"];
        recorded.insert({disks.count({name, size}) ? name : "", size});
    }
    EXPECT_EQ(recorded, disks);
    std::multiset<std::string> recordedDrives;
    for (const json& drive : hardware()["cdDrives"])
        recordedDrives.insert(drive["name"].get<std::string>());
    EXPECT_EQ(recordedDrives, drives);
}

TEST_F(ScriptOnThisMachine, VolumesAreRealMountsWithTheirSizes) {
    const std::set<std::string> pseudo = {
        "tmpfs",   "devtmpfs", "overlay",    "proc",    "sysfs",    "devpts",      "cgroup",
        "cgroup2", "squashfs", "mqueue",     "nsfs",    "autofs",   "binfmt_misc", "securityfs",
        "pstore",  "bpf",      "tracefs",    "debugfs", "configfs", "fusectl",     "hugetlbfs",
        "ramfs",   "efivarfs", "rpc_pipefs", "nfs",     "nfs4",     "cifs",        "9p"};
    // Mount point → (type, device) of every local, real file system.
    std::map<std::string, std::pair<std::string, std::string>> mounts;
    for (const std::string& line : lines(readFile("/proc/self/mounts"))) {
        std::istringstream fields(line);
        std::string device, point, type;
        fields >> device >> point >> type;
        if (pseudo.count(type) || point.find("\\040") != std::string::npos)
            continue;
        struct statvfs vfs;
        if (statvfs(point.c_str(), &vfs) != 0 || vfs.f_blocks == 0)
            continue;
        mounts[point] = {type, device};
    }
    std::set<std::string> listedDevices;
    for (const json& volume : hardware()["partitions"]) {
        const std::string point = volume["name"];
        ASSERT_TRUE(mounts.count(point)) << point << " is no real mounted volume";
        listedDevices.insert(mounts[point].second);
        struct statvfs vfs;
        ASSERT_EQ(statvfs(point.c_str(), &vfs), 0);
        const int64_t size = static_cast<int64_t>(vfs.f_blocks) * vfs.f_frsize;
        const int64_t free = static_cast<int64_t>(vfs.f_bavail) * vfs.f_frsize;
        EXPECT_NEAR(volume["sizeBytes"].get<int64_t>(), size, 1024) << point;
        // Other tests write while this one runs.
        EXPECT_NEAR(volume["freeBytes"].get<int64_t>(), free, 2e9) << point;
        EXPECT_EQ(volume["driveType"], 3);
    }
    // df shows a device mounted more than once at one of its mount points.
    for (const auto& mount : mounts)
        EXPECT_TRUE(listedDevices.count(mount.second.second)) << mount.first << " is not listed";
}

TEST_F(ScriptOnThisMachine, NetworkAdaptersAreTheInterfacesWithTheirPrimaryAddresses) {
    struct Interface {
        std::string mac, ip, mask;
    };
    std::map<std::string, Interface> interfaces;
    ifaddrs* list = nullptr;
    ASSERT_EQ(getifaddrs(&list), 0);
    for (ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || (a->ifa_flags & IFF_LOOPBACK) ||
            std::strchr(a->ifa_name, ':'))
            continue;
        Interface& entry = interfaces[a->ifa_name];
        if (a->ifa_addr->sa_family == AF_PACKET) {
            const auto* link = reinterpret_cast<const sockaddr_ll*>(a->ifa_addr);
            if (link->sll_halen == 6 && link->sll_hatype == 1 /* ARPHRD_ETHER */) {
                char mac[18];
                std::snprintf(mac, sizeof mac, "%02x:%02x:%02x:%02x:%02x:%02x", link->sll_addr[0],
                              link->sll_addr[1], link->sll_addr[2], link->sll_addr[3],
                              link->sll_addr[4], link->sll_addr[5]);
                entry.mac = mac;
            }
        } else if (a->ifa_addr->sa_family == AF_INET && entry.ip.empty()) {
            char text[INET_ADDRSTRLEN];
            inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(a->ifa_addr)->sin_addr, text,
                      sizeof text);
            entry.ip = text;
            inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(a->ifa_netmask)->sin_addr,
                      text, sizeof text);
            entry.mask = text;
        }
    }
    freeifaddrs(list);
    if (which("ip").empty() && which("ifconfig").empty())
        GTEST_SKIP() << "neither ip nor ifconfig";

    std::map<std::string, Interface> recorded;
    const std::regex named(".*\\(([^()]+)\\)$");
    for (const json& nic : hardware()["nics"]) {
        std::smatch m;
        const std::string description = nic["description"];
        ASSERT_TRUE(std::regex_match(description, m, named)) << description;
        recorded[m.str(1)] = {nic["macAddress"], nic["ipAddress"], nic["subnetMask"]};
        EXPECT_EQ(nic["adapterState"], 1);
    }
    ASSERT_EQ(recorded.size(), interfaces.size());
    for (const auto& interface : interfaces) {
        ASSERT_TRUE(recorded.count(interface.first)) << interface.first;
        const Interface& r = recorded[interface.first];
        EXPECT_EQ(r.mac, interface.second.mac) << interface.first;
        EXPECT_EQ(r.ip, interface.second.ip) << interface.first;
        EXPECT_EQ(r.mask, interface.second.mask) << interface.first;
    }
}

// Without DMI tables (this virtual machine) the UUID is the machine id in
// dmidecode's form; with them it is never empty either.
TEST_F(ScriptOnThisMachine, SystemUuidFromDmiOrTheMachineId) {
    const std::string uuid = hardware()["system"]["uuid"];
    EXPECT_TRUE(
        std::regex_match(uuid, std::regex("[0-9A-Fa-f]{8}(-[0-9A-Fa-f]{4}){3}-[0-9A-Fa-f]{12}")))
        << uuid;
    if (fs::exists("/sys/class/dmi/id") || fs::exists("/sys/devices/virtual/dmi/id"))
        return;
    const std::string id = lines(readFile("/etc/machine-id")).at(0);
    std::string expected;
    for (size_t i = 0; i < id.size(); ++i)
        expected += std::string(i == 8 || i == 12 || i == 16 || i == 20 ? "-" : "") +
                    static_cast<char>(std::toupper(static_cast<unsigned char>(id[i])));
    EXPECT_EQ(uuid, expected);
}

// Each adapter's gateway is its first default route; every adapter with an
// address names the first server of resolv.conf (unless that is
// systemd-resolved's stub, whose servers lie behind it); wireless ones are
// those sysfs says are.
TEST_F(ScriptOnThisMachine, AdaptersCarryTheirGatewayNameServerAndKind) {
    if (which("ip").empty())
        GTEST_SKIP() << "no ip";
    std::map<std::string, std::string> gateways;
    for (const std::string& line : lines(output("ip -4 route show 2>/dev/null"))) {
        std::smatch m;
        if (std::regex_search(line, m, std::regex("^default via (\\S+) .*dev (\\S+)")) &&
            !gateways.count(m.str(2)))
            gateways[m.str(2)] = m.str(1);
    }
    std::string nameServer;
    for (const std::string& line : lines(readFile("/etc/resolv.conf"))) {
        std::istringstream words(line);
        std::string key, value;
        if (words >> key >> value && key == "nameserver") {
            nameServer = value;
            break;
        }
    }
    const std::regex named(".*\\(([^()]+)\\)$");
    for (const json& nic : hardware()["nics"]) {
        std::smatch m;
        const std::string description = nic["description"];
        ASSERT_TRUE(std::regex_match(description, m, named)) << description;
        const std::string name = m.str(1);
        EXPECT_EQ(nic["defaultGateway"], gateways.count(name) ? gateways[name] : "") << name;
        if (nic["ipAddress"] != "" && nameServer != "127.0.0.53") {
            EXPECT_EQ(nic["dnsServer1"], nameServer) << name;
        }
        const fs::path sys = fs::path("/sys/class/net") / name;
        EXPECT_EQ(nic["wireless"],
                  fs::exists(sys / "wireless") || fs::exists(sys / "phy80211") ? 1 : 0)
            << name;
        EXPECT_TRUE(hasResult("net_" + name)) << name;
    }
}

TEST_F(ScriptOnThisMachine, SystemNamesTheHostItsArchitectureAndDebianRelease) {
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    const std::string host = name;
    const json& system = hardware()["system"];
    EXPECT_EQ(system["computerName"], host.substr(0, host.find('.')));
    utsname uts;
    uname(&uts);
    EXPECT_EQ(hardware()["operatingSystem"]["architecture"], uts.machine);
    EXPECT_EQ(inventory.software["header"]["computerName"], system["computerName"]);

    const std::vector<std::string> debian = lines(readFile("/etc/debian_version"));
    if (debian.empty() || readFile("/etc/os-release").find("\nID=debian") == std::string::npos)
        GTEST_SKIP() << "not Debian";
    const std::string version = debian[0];
    EXPECT_EQ(hardware()["operatingSystem"]["osName"], "Debian " + version);
    EXPECT_EQ(hardware()["operatingSystem"]["osVersion"], version);
    // Installed by the oldest entry of dpkg's log, or by the root file system's birth.
    EXPECT_NE(hardware()["operatingSystem"]["osInstallDate"], "19700101000000");
}

TEST_F(ScriptOnThisMachine, SoftwareIsTheInstalledDebianPackagesWithTheirVersions) {
    if (which("dpkg-query").empty())
        GTEST_SKIP() << "no dpkg";
    std::multiset<std::pair<std::string, std::string>> installed;
    for (const std::string& line :
         lines(output("dpkg-query -W -f '${Status}\\t${Package}\\t${Version}\\n' 2>/dev/null"))) {
        std::istringstream fields(line);
        std::string status, package, version;
        std::getline(fields, status, '\t');
        std::getline(fields, package, '\t');
        std::getline(fields, version, '\t');
        if (status == "install ok installed")
            installed.insert({package, version});
    }
    std::multiset<std::pair<std::string, std::string>> recorded;
    for (const json& application : inventory.software["applications"])
        recorded.insert(
            {application["name"].get<std::string>(), application["version"].get<std::string>()});
    EXPECT_EQ(recorded, installed);

    // The latest "install" of dpkg's current log of a package still installed
    // (one installed and removed later is not listed) gives that package's time.
    std::set<std::string> names;
    for (const auto& entry : installed)
        names.insert(entry.first);
    std::string last, package;
    for (const std::string& line : lines(readFile("/var/log/dpkg.log")))
        if (line.size() > 20 && line.compare(19, 9, " install ") == 0) {
            const std::string name = line.substr(28, line.find_first_of(": ", 28) - 28);
            if (names.count(name)) {
                last = line;
                package = name;
            }
        }
    if (last.empty())
        return;
    std::tm when = {};
    ASSERT_TRUE(strptime(last.c_str(), "%Y-%m-%d %H:%M:%S", &when));
    when.tm_isdst = -1;
    bool found = false;
    for (const json& application : inventory.software["applications"])
        if (application["name"] == package) {
            found = true;
            EXPECT_EQ(application["installTime"], static_cast<uint32_t>(mktime(&when))) << package;
        }
    EXPECT_TRUE(found) << package << " installed by the log's last entry is not listed";
}

// The agent in an installation folder of its own: it runs the script, reads
// what it left and ends its run as usual.
TEST_F(ScriptTest, TheAgentRunsTheScriptAndCollectsItsResult) {
    const fs::path program = fs::path(KX_BINARY_DIR) / "KX_InventoryAGT";
    if (!fs::exists(program))
        GTEST_SKIP() << "KX_InventoryAGT is not built";
    fs::copy_file(program, home / "KX_InventoryAGT");
    fs::permissions(home / "macInventory.sh", fs::owner_all | fs::group_read | fs::others_read);
    const std::string command = "cd " + quoted(home.string()) +
                                " && timeout 300 ./KX_InventoryAGT a > " +
                                quoted((base / "out").string()) + " 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::vector<std::string> out = lines(readFile(base / "out"));
    ASSERT_GE(out.size(), 2u) << readFile(base / "out");
    EXPECT_EQ(out.front(), "start");
    EXPECT_EQ(out.back(), "end");
    for (const char* name : {"cpu", "mem", "os", "hostname"})
        EXPECT_TRUE(hasResult(name)) << name;
    // The data files are gone after the run; nothing else was left.
    for (const std::string& name : tree(home))
        EXPECT_TRUE(name == "KX_InventoryAGT" || name == "macInventory.sh" ||
                    name.rfind("result", 0) == 0 || name.rfind("kxinv_", 0) == 0 ||
                    name == "last_run.json")
            << name;
}

} // namespace
