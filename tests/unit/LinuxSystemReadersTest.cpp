#include "platform/linux/AccountFiles.h"
#include "platform/linux/DiskVolumes.h"
#include "platform/linux/MachineFacts.h"
#include "platform/linux/Paths.h"
#include "platform/Native.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using namespace platform::linux_layer;
using Paths = std::vector<std::string>;

// A sysfs tree with the block devices the canned mounts name.
class FakeSysfs {
public:
    FakeSysfs() {
        disk("254:0", "devices/pci0000:00/virtio1/block/vda");
        disk("259:1", "devices/pci0000:00/nvme/nvme0/nvme0n1/nvme0n1p2", true);
        disk("8:17", "devices/pci0000:00/ata1/block/sdb/sdb1", true);
        disk("253:0", "devices/virtual/block/dm-0");
        disk("9:0", "devices/virtual/block/md0");
        disk("7:0", "devices/virtual/block/loop0");
        disk("259:0", "devices/virtual/block/loop0/loop0p1", true);
        disk("11:0", "devices/pci0000:00/ata2/block/sr0");
        disk("8:32", "devices/pci0000:00/usb1/block/sdc");
        write("devices/pci0000:00/usb1/block/sdc/removable", "1\n");
        disk("8:48", "devices/pci0000:00/ata3/block/sdd");
        write("devices/pci0000:00/ata3/block/sdd/device/type", "5\n");
        write("devices/pci0000:00/virtio1/block/vda/removable", "0\n");
    }
    ~FakeSysfs() { fs::remove_all(root); }

    const std::string root = (fs::temp_directory_path() / ("tavisk-sysfs-" + std::to_string(getpid()))).string();

private:
    void disk(const std::string& number, const std::string& path, bool partition = false) {
        fs::create_directories(root + "/" + path);
        fs::create_directories(root + "/dev/block");
        fs::create_symlink("../../" + path, root + "/dev/block/" + number);
        if (partition) write(path + "/partition", "1\n");
    }
    void write(const std::string& path, const std::string& text) {
        fs::create_directories(fs::path(root + "/" + path).parent_path());
        std::ofstream(root + "/" + path) << text;
    }
};

std::string mount(const std::string& device, const std::string& root, const std::string& path, const std::string& type,
                  const std::string& source) {
    return "30 1 " + device + " " + root + " " + path + " rw,relatime shared:1 - " + type + " " + source + " rw\n";
}

}  // namespace

TEST(LinuxDiskVolumes, OneVolumePerDiskBackedDeviceWithEveryPathItIsMountedAt) {
    const FakeSysfs sysfs;
    std::istringstream mountinfo(
        mount("254:0", "/", "/", "ext4", "/dev/vda") + mount("0:22", "/", "/proc", "proc", "proc") +
        mount("259:1", "/", "/home", "ext4", "/dev/nvme0n1p2") +
        mount("0:40", "/", "/srv/btrfs", "btrfs", "/dev/sdb1") +
        mount("7:0", "/", "/snap/core", "squashfs", "/dev/loop0") +
        mount("259:0", "/", "/mnt/image", "ext4", "/dev/loop0p1") +
        mount("11:0", "/", "/media/cdrom", "iso9660", "/dev/sr0") +
        mount("8:32", "/", "/media/usb", "vfat", "/dev/sdc") + mount("8:48", "/", "/media/dvd", "udf", "/dev/sdd") +
        mount("0:30", "/", "/dev/shm", "tmpfs", "tmpfs") + mount("0:31", "/", "/dev/shm", "tmpfs", "tmpfs") +
        mount("0:50", "/", "/net/share", "nfs4", "server:/export") +
        mount("253:0", "/", "/var/lib/data", "xfs", "/dev/mapper/vg-data") +
        mount("9:0", "/", "/raid", "ext4", "/dev/md0") +
        mount("254:0", "/srv", "/mnt/bind\\040with\\040blank\\134and\\011tab", "ext4", "/dev/vda") +
        mount("259:1", "/", "/home", "ext4", "/dev/nvme0n1p2") +
        mount("0:60", "/", "/mnt/gone", "btrfs", "/dev/nothing") + "garbage line\n\n");
    const auto volumes =
        diskVolumes(mountinfo, sysfs.root, [](const std::string& source) -> std::optional<std::string> {
            if (source == "/dev/sdb1") return "8:17";
            return std::nullopt;
        });
    ASSERT_EQ(volumes.size(), 5u);
    EXPECT_EQ(volumes[0].device, "254:0");
    EXPECT_EQ(volumes[0].mountPaths, (Paths{"/", "/mnt/bind with blank\\and\ttab/"}));
    EXPECT_EQ(volumes[1].mountPaths, (Paths{"/home/"}));
    EXPECT_EQ(volumes[2].device, "8:17");
    EXPECT_EQ(volumes[2].mountPaths, (Paths{"/srv/btrfs/"}));
    EXPECT_EQ(volumes[3].mountPaths, (Paths{"/var/lib/data/"}));
    EXPECT_EQ(volumes[4].mountPaths, (Paths{"/raid/"}));
}

TEST(LinuxDiskVolumes, TheRootOfThisMachineIsListedWithItsSize) {
    auto& volumes = platform::nativeVolumes();
    std::uint32_t limit = 0;
    ASSERT_EQ(volumes.visitLimit(limit), 0u);
    std::wstring volume;
    bool rootListed = false;
    for (auto found = volumes.firstVolume(volume); found == 0; found = volumes.nextVolume(volume)) {
        std::vector<std::wstring> paths;
        ASSERT_EQ(volumes.mountPaths(volume, paths), 0u);
        for (const auto& path : paths) {
            platform::SpaceFigures figures;
            if (path == L"/" && volumes.space(path, figures) == 0) rootListed = figures.total > 0;
        }
    }
    volumes.endVolumes();
    EXPECT_TRUE(rootListed);
}

TEST(LinuxMachineFacts, MemoryAndProcessorTimesFromProc) {
    std::istringstream meminfo("MemTotal:       16760832 kB\nMemFree:  100 kB\nMemAvailable:    8380416 kB\n");
    const auto memory = memoryFromMeminfo(meminfo);
    ASSERT_TRUE(memory);
    EXPECT_EQ(memory->totalBytes, 16760832ull * 1024);
    EXPECT_EQ(memory->availableBytes, 8380416ull * 1024);
    EXPECT_EQ(memory->loadPercent, 50u);
    std::istringstream noAvailable("MemTotal: 100 kB\n");
    EXPECT_FALSE(memoryFromMeminfo(noAvailable));

    std::istringstream stat("cpu  44803 7 19557 75821 658 3 140 247 0 0\ncpu0 1 2 3 4\n");
    const auto times = timesFromStat(stat, 100);
    ASSERT_TRUE(times);
    EXPECT_EQ(times->idle, (75821ull + 658) * 100000);
    EXPECT_EQ(times->kernel, (19557ull + 3 + 140 + 247 + 75821 + 658) * 100000);
    EXPECT_EQ(times->user, (44803ull + 7) * 100000);
    std::istringstream wrong("intr 1 2 3 4\n");
    EXPECT_FALSE(timesFromStat(wrong, 100));
}

TEST(LinuxMachineFacts, LocaleTagFromTheFirstSetVariable) {
    const std::tuple<const char*, const char*, const char*, std::optional<std::wstring>> cases[] = {
        {"de_DE.UTF-8", "fr_FR.UTF-8", "it_IT.UTF-8", L"de-DE"},
        {"", "fr_FR@euro", "it_IT", L"fr-FR"},
        {nullptr, nullptr, "pt_BR", L"pt-BR"},
        {nullptr, nullptr, "de", L"de"},
        {nullptr, nullptr, "C.UTF-8", L"en-US"},
        {"POSIX", nullptr, "de_DE", L"en-US"},
        {nullptr, nullptr, nullptr, L"en-US"},
        {nullptr, nullptr, "/usr/share/i18n/x", std::nullopt},
    };
    for (const auto& [all, messages, lang, expected] : cases) {
        EXPECT_EQ(localeTag(all, messages, lang), expected) << (lang ? lang : "-");
    }
    EXPECT_TRUE(is64BitArchitecture("x86_64"));
    EXPECT_TRUE(is64BitArchitecture("aarch64"));
    EXPECT_FALSE(is64BitArchitecture("i686"));
    EXPECT_FALSE(is64BitArchitecture("armv7l"));
}

TEST(LinuxAccountFiles, PrivilegeFromUidAdministratorGroupsAndTheOverflowAccount) {
    std::istringstream passwd(
        "root:x:0:0:root:/root:/bin/bash\n# comment\n"
        "daemon:x:1:1::/usr/sbin:/usr/sbin/nologin\n"
        "alice:x:1000:1000::/home/alice:/bin/bash\n"
        "bob:x:1001:10::/home/bob:/bin/bash\n"
        "nobody:x:65534:65534::/nonexistent:/usr/sbin/nologin\n"
        "+nisuser::::::\nbroken line\n"
        "carol:x:1002:1002::/home/carol:/bin/sh\n");
    std::istringstream group("sudo:x:27:alice,dave\nwheel:x:10:\nusers:x:100:carol\nadmin:x:115\n");
    const auto accounts = accountsFromFiles(passwd, group);
    const std::vector<std::pair<std::wstring, std::uint32_t>> expected = {{L"root", 2}, {L"daemon", 1}, {L"alice", 2},
                                                                          {L"bob", 2},  {L"nobody", 0}, {L"carol", 1}};
    ASSERT_EQ(accounts.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(accounts[i].name, expected[i].first);
        EXPECT_EQ(accounts[i].privilege, expected[i].second) << accounts[i].name;
    }
}

// A name with a line feed could otherwise spell whole lines of the unescaped report.
TEST(LinuxNames, ControlCharactersAndBrokenUtf8BecomeReplacementCharacters) {
    const struct {
        std::string native;
        std::wstring reported;
    } cases[] = {
        {"a\n</properties>\r\t\x7f", L"a\uFFFD</properties>\uFFFD\uFFFD\uFFFD"},
        {std::string("nul\0x", 5), L"nul\uFFFDx"},
        {"bad\xff\xfe", L"bad\uFFFD\uFFFD"},
        {"Grüße & <x>\"|", L"Grüße & <x>\"|"},
    };
    for (const auto& [native, reported] : cases) EXPECT_EQ(nameFromNative(native), reported);
}
