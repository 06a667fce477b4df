// `vzrmlog folders` as a process: over folders with Samba's attribute on this
// machine's file system, and end to end over a real NTFS volume (ntfs-3g).
#include <gtest/gtest.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/posix/posix_folders.h"
#include "support/ntacl_samples.h"
#include "support/temp_dir.h"

namespace vzrm {
namespace {

namespace fs = std::filesystem;

// O:BA G:SY D:(A;;FA;;;WD) S:(AU;SA;FA;;;WD), self-relative.
const char kAuditedDescriptor[] =
    "010014801400000024000000300000004c0000000102000000000005200000002002000001010000000000051200"
    "000004001c000100000002401400ff01000001010000000000010000000004001c000100000000001400ff010000"
    "010100000000000100000000";

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

test::CommandResult Folders(const std::string& arguments) {
    return test::RunCommand(std::string(VZRMLOG_PATH) + " folders " + arguments + " 2>&1");
}

// The lines between the start and the stop line; empty when the frame is wrong.
std::string Body(const std::string& list) {
    const std::size_t first = list.find("\r\n");
    const std::size_t last = list.rfind("Stop of processing: ");
    if (list.rfind("Start of processing: ", 0) != 0 || first == std::string::npos ||
        last == std::string::npos || !list.ends_with("\r\n")) {
        return "(not a list: " + list + ")";
    }
    return list.substr(first + 2, last - first - 2);
}

bool SetNtacl(const std::string& path, const char* hex) {
    const auto bytes = test::FromHex(hex);
    return ::setxattr(path.c_str(), "security.NTACL", bytes.data(), bytes.size(), 0) == 0;
}

class FoldersCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* folder : {"Rec/inner", "Rec/plain", "Zeta", "alpha/deep"}) {
            fs::create_directories(T(folder));
        }
        if (!SetNtacl(T("Rec"), test::kNtaclAudited[3])) {
            GTEST_SKIP() << "security.NTACL cannot be set here (needs root): "
                         << std::strerror(errno);
        }
        ASSERT_TRUE(SetNtacl(T("Rec/inner"), test::kNtaclAudited[0]));
        ASSERT_TRUE(SetNtacl(T("alpha"), test::kNtaclV4WithoutSacl));
        ASSERT_TRUE(SetNtacl(T("alpha/deep"), test::kNtaclAudited[1]));
    }
    std::string T(const std::string& relative) const { return dir.File("tree/" + relative); }

    test::TempDir dir;
};

TEST_F(FoldersCommand, WritesTheListToAFileAndToStandardOutput) {
    const std::string list = dir.File("list.txt");
    const auto toFile = Folders("--output " + list + " " + T(""));
    EXPECT_EQ(toFile.status, 0) << toFile.output;
    EXPECT_EQ(toFile.output,
              "Reading of list was finished successfully. The report is stored in the file: " +
                  list + "\n");
    const std::string expected =
        T("Rec") + "\r\n" + T("Rec/inner") + "\r\n" + T("alpha/deep") + "\r\n";
    EXPECT_EQ(Body(ReadText(list)), expected);

    const auto toStdout = Folders(T("Zeta") + " " + T("alpha"));
    EXPECT_EQ(toStdout.status, 0);
    EXPECT_EQ(Body(toStdout.output), T("alpha/deep") + "\r\n");
}

TEST_F(FoldersCommand, NothingAuditedDeletesTheFile) {
    const std::string list = dir.File("list.txt");
    const auto result = Folders("--output " + list + " " + T("Rec/plain") + " " + T("Zeta"));
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, "There are no folders for audit.\n");
    EXPECT_FALSE(fs::exists(list));
}

// A damaged descriptor (here a one-byte Samba attribute and a cut one) is
// named in the list and the walk goes on; the status says the list is not
// sure of every folder.
TEST_F(FoldersCommand, DamageIsMarkedInTheListAndTheWalkGoesOn) {
    auto broken = test::FromHex(test::kNtaclAudited[2]);
    broken.resize(100);
    ASSERT_EQ(::setxattr(T("Zeta").c_str(), "security.NTACL", broken.data(), broken.size(), 0), 0);
    ASSERT_EQ(::setxattr(T("Rec/plain").c_str(), "security.NTACL", "\x04", 1, 0), 0);
    const std::string list = dir.File("list.txt");
    const auto result = Folders("--output " + list + " " + T(""));
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.output.find("The security descriptors of 2 folders could not be read"),
              std::string::npos)
        << result.output;
    const std::string body = Body(ReadText(list));
    EXPECT_EQ(body.rfind(T("Rec") + "\r\n" + T("Rec/inner") + "\r\n" + T("Rec/plain") +
                             " [descriptor unreadable: ",
                         0),
              0u)
        << body;
    EXPECT_NE(body.find(T("Zeta") + " [descriptor unreadable: "), std::string::npos) << body;
    EXPECT_NE(body.find(T("alpha/deep") + "\r\n"), std::string::npos) << "the walk went on";
}

TEST_F(FoldersCommand, AnOutputThatCannotBeWrittenIsAFailure) {
    const auto full =
        test::RunCommand(std::string(VZRMLOG_PATH) + " folders " + T("") + " 2>&1 >/dev/full");
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.output.find("MTTXZKBOCPOTCRL"), std::string::npos) << full.output;
    EXPECT_NE(full.output.find("(standard output)"), std::string::npos);

    const auto unwritable = Folders("--output " + T("Rec") + " " + T(""));
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.output.find("DHIJEEFYHHOSYDI"), std::string::npos) << unwritable.output;
    EXPECT_TRUE(fs::is_directory(T("Rec")));
}

TEST_F(FoldersCommand, WrongCommandLines) {
    EXPECT_EQ(Folders("--bogus").status, 2);
    EXPECT_EQ(Folders("--output").status, 2);
    const auto missing = Folders(T("missing"));
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.output, "vzrmlog: " + T("missing") + ": not a folder\n");
}

// Unmounts what the test mounted, whatever happens.
struct Mount {
    std::string point;
    bool mounted = false;
    ~Mount() {
        if (mounted) {
            test::RunCommand("umount " + point + " 2>&1");
        }
    }
};

TEST(FoldersOnNtfs, ListsTheAuditedFoldersOfAnNtfs3gVolume) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to mount an NTFS volume";
    }
    if (!fs::exists("/dev/fuse") || !test::HaveProgram("mkntfs") || !test::HaveProgram("ntfs-3g") ||
        !test::HaveProgram("setfattr")) {
        GTEST_SKIP() << "needs /dev/fuse and the ntfs-3g and attr packages";
    }
    test::TempDir dir;
    const std::string image = dir.File("volume.img");
    std::ofstream(image).close();
    fs::resize_file(image, 8 << 20);
    ASSERT_EQ(test::RunCommand("mkntfs -F -q -Q " + image + " >/dev/null 2>&1").status, 0);
    Mount mount{dir.File("tree/ntfs")};
    fs::create_directories(mount.point);
    const auto mounted = test::RunCommand("ntfs-3g " + image + " " + mount.point + " 2>&1");
    if (mounted.status != 0) {
        GTEST_SKIP() << "ntfs-3g cannot mount here: " << mounted.output;
    }
    mount.mounted = true;
    const std::string m = mount.point;
    for (const char* folder : {"Records/2026", "Records/.cache", "Other/Audited", "Other/Plain"}) {
        fs::create_directories(m + "/" + folder);
    }
    for (const char* folder : {"Records", "Records/.cache", "Other/Audited"}) {
        const auto set =
            test::RunCommand("setfattr -n system.ntfs_acl -v 0x" + std::string(kAuditedDescriptor) +
                             " " + m + "/" + folder + " 2>&1");
        ASSERT_EQ(set.status, 0) << set.output;
    }

    const std::string list = dir.File("list.txt");
    const auto result = Folders("--output " + list + " " + m);
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(Body(ReadText(list)),
              m + "/Other/Audited\r\n" + m + "/Records\r\n" + m + "/Records/.cache\r\n");

    // The folder holding the mount point is walked without crossing into it.
    const auto outer = Folders(dir.File("tree"));
    EXPECT_EQ(outer.status, 0);
    EXPECT_EQ(outer.output.find("/ntfs/"), std::string::npos) << outer.output;

    // An ntfs-3g volume on an image file counts as a fixed drive.
    const auto drives = platform::posix::PosixFolderSource().FixedDrives();
    EXPECT_NE(std::find(drives.begin(), drives.end(), fs::canonical(m).string()), drives.end());
}

}  // namespace
}  // namespace vzrm
