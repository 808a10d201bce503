// Real release files, package lists and installation logs replayed through
// the script, then read by the agent: the distribution and its version, the
// installation time, and the packages with their versions and times.

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/script/ReplayFixture.h"

namespace {

using namespace scripttest;

// -------------------------------------------------------------- distribution

struct ReleaseCase {
    std::vector<std::pair<std::string, std::string>> files; // root path ← sample in linux/release
    std::string name, version;
};

// The samples, "+" between them: the same file alone or with others is another case.
void PrintTo(const ReleaseCase& c, std::ostream* out) {
    for (size_t i = 0; i < c.files.size(); ++i)
        *out << (i == 0 ? "" : "+") << c.files[i].second;
}

class ScriptReleaseReplay : public ScriptReplay,
                            public ::testing::WithParamInterface<ReleaseCase> {};

// Whatever files the distribution has, "os" is a text the agent's release
// parser reads to the distribution's name and version.
TEST_P(ScriptReleaseReplay, DistributionAndVersionAsTheReleaseFilesSayThem) {
    for (const auto& file : GetParam().files)
        rootCopy(file.first, sample("linux/release/" + file.second));
    const json os = replay().hardware["operatingSystem"];
    EXPECT_EQ(os["osName"], GetParam().name) << resultFile("os");
    EXPECT_EQ(os["osVersion"], GetParam().version) << resultFile("os");
}

INSTANTIATE_TEST_SUITE_P(
    Samples, ScriptReleaseReplay,
    ::testing::Values(
        ReleaseCase{{{"etc/lsb-release", "distro-ubuntu-14.04-lsb-release"}},
                    "Ubuntu 14.04.3 LTS",
                    "14.04.3"},
        ReleaseCase{{{"etc/lsb-release", "distro-ubuntu-16.04-lsb-release"}},
                    "Ubuntu 16.04.1 LTS",
                    "16.04.1"},
        ReleaseCase{{{"etc/lsb-release", "distro-ubuntu-24.04-lsb-release"},
                     {"etc/debian_version", "distro-debian-testing-debian_version"}},
                    "Ubuntu 24.04.3 LTS",
                    "24.04.3"},
        ReleaseCase{{{"etc/lsb-release", "distro-linuxmint-17.3-lsb-release"}},
                    "Linux Mint 17.3 Rosa",
                    "17.3"},
        ReleaseCase{
            {{"etc/debian_version", "distro-debian-8-debian_version"}}, "Debian 8.2", "8.2"},
        ReleaseCase{
            {{"etc/debian_version", "distro-debian-13-debian_version"}}, "Debian 13.1", "13.1"},
        ReleaseCase{
            {{"etc/debian_version", "glpi-debian-11.2-debian_version"}}, "Debian 11.2", "11.2"},
        ReleaseCase{{{"etc/debian_version", "distro-debian-testing-debian_version"}},
                    "Debian bookworm/sid",
                    "bookworm/sid"},
        ReleaseCase{{{"etc/centos-release", "distro-centos-5-centos-release"}},
                    "CentOS release 5.11 (Final)",
                    "5.11"},
        ReleaseCase{{{"etc/centos-release", "distro-centos-7-centos-release"},
                     {"etc/redhat-release", "distro-centos-7-centos-release"}},
                    "CentOS Linux release 7.1.1503 (Core)",
                    "7.1.1503"},
        ReleaseCase{{{"etc/centos-release", "glpi-centos-7.9-centos-release"}},
                    "CentOS Linux release 7.9.2009 (Core)",
                    "7.9.2009"},
        ReleaseCase{{{"etc/redhat-release", "distro-rhel-5-redhat-release"}},
                    "Red Hat Enterprise Linux Server release 5.11 (Tikanga)",
                    "5.11"},
        ReleaseCase{{{"etc/redhat-release", "distro-rhel-6-redhat-release"}},
                    "Red Hat Enterprise Linux Server release 6.5 (Santiago)",
                    "6.5"},
        ReleaseCase{{{"etc/redhat-release", "distro-rhel-7-redhat-release"}},
                    "Red Hat Enterprise Linux Server release 7.0 (Maipo)",
                    "7.0"},
        // The script keeps the name as it is; the record holds Shift_JIS, which has
        // no o with umlaut (written "?") but the closing quotation mark.
        ReleaseCase{{{"etc/fedora-release", "distro-fedora-19-fedora-release"}},
                    "Fedora release 19 (Schr?dinger\xE2\x80\x99s Cat)",
                    "19"},
        ReleaseCase{{{"etc/fedora-release", "distro-fedora-30-fedora-release"}},
                    "Fedora release 30 (Thirty)",
                    "30"},
        ReleaseCase{{{"etc/fedora-release", "distro-fedora-42-fedora-release"},
                     {"etc/os-release", "glpi-fedora-35-os-release"}},
                    "Fedora release 42 (Forty Two)",
                    "42"},
        ReleaseCase{{{"etc/os-release", "glpi-fedora-35-os-release"}},
                    "Fedora Linux 35 (Thirty Five)",
                    "35"},
        ReleaseCase{{{"etc/oracle-release", "distro-oracle-7-oracle-release"},
                     {"etc/redhat-release", "distro-rhel-7-redhat-release"}},
                    "Oracle Linux Server release 7.5",
                    "7.5"},
        ReleaseCase{{{"etc/rocky-release", "distro-rocky-9-rocky-release"}},
                    "Rocky Linux release 9.3 (Blue Onyx)",
                    "9.3"},
        ReleaseCase{{{"etc/redhat-release", "distro-scientific-7-redhat-release"}},
                    "Scientific Linux release 7.2 (Nitrogen)",
                    "7.2"},
        ReleaseCase{{{"etc/redhat-release", "distro-cloudlinux-7-redhat-release"}},
                    "CloudLinux release 7.3 (Yury Malyshev)",
                    "7.3"},
        ReleaseCase{{{"etc/system-release", "distro-amazon-2016.03-system-release"}},
                    "Amazon Linux AMI release 2016.03",
                    "2016.03"},
        ReleaseCase{{{"etc/gentoo-release", "distro-gentoo-gentoo-release"}},
                    "Gentoo Base System release 2.2",
                    "2.2"},
        ReleaseCase{{{"etc/slackware-version", "distro-slackware-14.1-slackware-version"}},
                    "Slackware 14.1",
                    "14.1"},
        ReleaseCase{{{"etc/arch-release", "distro-arch-arch-release-empty"},
                     {"usr/lib/os-release", "distro-arch-os-release"}},
                    "Arch Linux",
                    ""},
        ReleaseCase{{{"etc/arch-release", "distro-arch-arch-release-empty"}}, "", ""},
        ReleaseCase{{{"etc/mandriva-release", "distro-mandriva-2011-mandriva-release"}},
                    "Mandriva Linux release 2011.0 (Official)",
                    "Mandriva Linux release 2011.0 (Official)"},
        ReleaseCase{
            {{"etc/mageia-release", "distro-mageia-5-mageia-release-also-mandriva-release"},
             {"etc/mandriva-release", "distro-mageia-5-mageia-release-also-mandriva-release"}},
            "Mageia release 5 (Official)",
            "5"},
        ReleaseCase{{{"etc/SuSE-release", "distro-opensuse-42.1-SuSE-release"}},
                    "openSUSE 42.1 (x86_64)",
                    "42.1"},
        ReleaseCase{{{"etc/SuSE-release", "distro-sles-12-SuSE-release"},
                     {"etc/os-release", "distro-sles-12-os-release"}},
                    "SUSE Linux Enterprise Server 12 SP1",
                    "12.1"},
        ReleaseCase{{{"etc/SuSE-release", "distro-sles-12-SuSE-release"}},
                    "SUSE Linux Enterprise Server 12 (s390x)",
                    "12.1"},
        ReleaseCase{{{"etc/os-release", "distro-opensuse-leap-15.2-os-release"}},
                    "openSUSE Leap 15.2",
                    "15.2"}));

// Debian names its version only in debian_version; on its own that file
// names no distribution, so the version comes first and the name after it.
TEST_F(ScriptReplay, DebianVersionComesBeforeTheLineThatNamesDebian) {
    rootCopy("etc/debian_version", sample("linux/release/glpi-debian-11.2-debian_version"));
    rootFile("etc/os-release",
             "PRETTY_NAME=\"Debian GNU/Linux 11 (bullseye)\"\nNAME=\"Debian GNU/Linux\"\n"
             "VERSION_ID=\"11\"\nID=debian\n");
    replay();
    EXPECT_EQ(resultFile("os"), "11.2\nDebian GNU/Linux 11 (bullseye)\n");
}

// ------------------------------------------------------------------ packages

struct Package {
    std::string name, version;
    int64_t installTime;
};

std::vector<Package> packages(const json& software) {
    std::vector<Package> result;
    for (const json& application : software["applications"])
        result.push_back({application["name"], application["version"], application["installTime"]});
    return result;
}

// "YYYY-MM-DD hh:mm:ss" as seconds (the tests run in UTC).
int64_t seconds(const std::string& stamp) {
    std::tm when = {};
    strptime(stamp.c_str(), "%Y-%m-%d %H:%M:%S", &when);
    return timegm(&when);
}

// dpkg: the packages with their versions, each with the time of its latest
// installation in dpkg's log and its rotated, compressed copies; a log too
// old to name the architecture still counts; packages removed but for their
// configuration are no longer installed.
TEST_F(ScriptReplay, DpkgPackagesWithTheirInstallationTimesFromAllLogs) {
    std::string query = readFile(sample("linux/packages/glpi-debian-dpkg-query-tab-separated"));
    query += "apt\tamd64\t0.8.10.3+squeeze1\t5644\tadmin\tinstall ok installed\n"
             "base-passwd\tamd64\t3.5.33\t229\tadmin\tinstall ok installed\n"
             "oldtool\tamd64\t1.0-1\t10\tutils\tdeinstall ok config-files\n"
             "libfoo1\ti386\t2.0-1\t10\tlibs\tinstall ok installed\n"
             "libfoo1\tamd64\t2.0-1\t10\tlibs\tinstall ok installed\n";
    stubSays("dpkg-query", query);
    rootCopy("var/log/dpkg.log.2",
             sample("linux/packages/locp-ubuntu14.04-dpkg.log-first-300-lines"));
    ASSERT_EQ(std::system(("gzip " + quoted((root / "var/log/dpkg.log.2").string())).c_str()), 0);
    rootCopy("var/log/dpkg.log.1",
             sample("linux/packages/locp-ubuntu14.04-dpkg.log-last-300-lines"));
    rootFile("var/log/dpkg.log", "2018-01-02 03:04:05 install apt <none> 0.8.10.3+squeeze1\n"
                                 "2018-01-02 03:04:06 install libfoo1 <none> 2.0-1\n"
                                 "2018-02-02 03:04:05 upgrade apt 0.8.10.3 0.8.10.3+squeeze1\n");

    const std::vector<Package> listed = packages(replay().software);
    // The sample's vlc-nox and the added oldtool are left as configuration files only.
    ASSERT_EQ(listed.size(), lines(query).size() - 2);
    std::map<std::string, int64_t> times;
    for (const Package& p : listed)
        times[p.name] = p.installTime;
    EXPECT_EQ(listed[0].name, "adduser");
    EXPECT_EQ(listed[0].version, "3.112+nmu2");
    EXPECT_EQ(times.count("oldtool"), 0u);
    EXPECT_EQ(times.count("vlc-nox"), 0u);
    EXPECT_EQ(times.count("jcagent"), 1u);
    // From the compressed log: "2015-02-18 19:33:20 install base-passwd:amd64 <none> 3.5.33".
    EXPECT_EQ(times["base-passwd"], seconds("2015-02-18 19:33:20"));
    EXPECT_EQ(times["adduser"], seconds("2015-02-18 19:33:22"));
    // From a log that names no architecture; an upgrade is no installation.
    EXPECT_EQ(times["apt"], seconds("2018-01-02 03:04:05"));
    EXPECT_EQ(times["libfoo1"], seconds("2018-01-02 03:04:06"));
    EXPECT_EQ(times["apache2"], 0);
    // Keys match exactly: "app" names the package as the log does.
    EXPECT_NE(resultFile("app").find("\nbase-passwd 3.5.33 base-passwd:amd64\n"),
              std::string::npos);
    EXPECT_NE(resultFile("app_install").find("2018-01-02 03:04:06 install libfoo1:amd64\n"),
              std::string::npos);
    EXPECT_NE(resultFile("app_install").find("2018-01-02 03:04:06 install libfoo1:i386\n"),
              std::string::npos);

    // The oldest entry of all logs is the system's installation.
    EXPECT_EQ(resultFile("os_install_2"), "20150218193320\n");
    EXPECT_EQ(replay().hardware["operatingSystem"]["osInstallDate"], "20150218193320");
}

// A new system's log ("name:arch <none> version" on each install line):
// every package it installed, listed by dpkg-query as installed, has the
// time of its installation.
TEST_F(ScriptReplay, EveryPackageTheLogInstalledHasItsInstallationTime) {
    const fs::path log = sample("linux/packages/locp-ubuntu14.04-dpkg.log-first-300-lines");
    rootCopy("var/log/dpkg.log", log);
    std::string query;
    std::map<std::string, int64_t> installed;
    for (const std::string& line : lines(readFile(log))) {
        // 2015-02-18 19:33:20 install base-passwd:amd64 <none> 3.5.33
        std::istringstream fields(line);
        std::string date, time, action, key, none, version;
        if (!(fields >> date >> time >> action >> key >> none >> version) || action != "install")
            continue;
        const std::string name = key.substr(0, key.find(':'));
        query += name + "\t" + key.substr(key.find(':') + 1) + "\t" + version +
                 "\t1\tadmin\tinstall ok installed\n";
        installed[name] = seconds(date + " " + time);
    }
    ASSERT_EQ(installed.size(), 51u);
    stubSays("dpkg-query", query);

    const std::vector<Package> listed = packages(replay().software);
    ASSERT_EQ(listed.size(), installed.size());
    EXPECT_EQ(listed[0].name, "base-passwd");
    EXPECT_EQ(listed[0].version, "3.5.33");
    EXPECT_EQ(listed[0].installTime, 1424288000); // 2015-02-18 19:33:20
    for (const Package& p : listed)
        EXPECT_EQ(p.installTime, installed[p.name]) << p.name;
}

// rpm: the packages with version-release and the installation time rpm
// keeps; no installation log.
TEST_F(ScriptReplay, RpmPackagesWithTheirOwnInstallationTimes) {
    stubPrints("rpm", sample("linux/packages/glpi-mageia-rpm-qa-queryformat-tab-separated"));
    const Inventory inventory = replay();
    const std::vector<Package> listed = packages(inventory.software);
    ASSERT_EQ(listed.size(),
              lines(readFile(sample("linux/packages/glpi-mageia-rpm-qa-queryformat-tab-separated")))
                  .size());
    EXPECT_EQ(listed[0].name, "libpciaccess0");
    EXPECT_EQ(listed[0].version, "0.12.1-1.mga1");
    EXPECT_EQ(listed[0].installTime, 1311080703);
    EXPECT_EQ(listed[1].name, "firebird-devel");
    EXPECT_EQ(listed[1].installTime, 1326097440);
    EXPECT_FALSE(hasResult("app_install"));
    // The earliest package installed tells when the system was.
    int64_t earliest = INT64_MAX;
    for (const Package& p : listed)
        earliest = std::min(earliest, p.installTime);
    char stamp[20];
    const std::time_t t = earliest;
    std::strftime(stamp, sizeof stamp, "%Y%m%d%H%M%S", std::gmtime(&t));
    EXPECT_EQ(inventory.hardware["operatingSystem"]["osInstallDate"], stamp);
}

// The root file system's birth, where it has one, and the log's oldest
// entry: the earlier is the installation.
TEST_F(ScriptReplay, InstallationTimeIsTheEarlierOfRootBirthAndOldestLogEntry) {
    stubSays("dpkg-query", "bash\tamd64\t5.2.15-2+b2\t7163\tshells\tinstall ok installed\n");
    rootFile("var/log/dpkg.log", "2023-06-10 08:00:00 install bash:amd64 <none> 5.2.15-2+b2\n");
    for (const auto& birth :
         std::vector<std::pair<std::string, std::string>>{{"1686300000", "20230609084000"},
                                                          {"1700000000", "20230610080000"},
                                                          {"0", "20230610080000"}}) {
        stubSays("stat", birth.first + "\n");
        EXPECT_EQ(replay().hardware["operatingSystem"]["osInstallDate"], birth.second)
            << birth.first;
        EXPECT_EQ(hasResult("os_install_1"), birth.first != "0");
    }
}

} // namespace
