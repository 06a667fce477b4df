// The Linux folder source on a real temporary tree: listing, identities,
// and descriptor reads from extended attributes with their error codes.
#include "platform/posix/posix_folders.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "support/ntacl_samples.h"
#include "support/temp_dir.h"

namespace vzrm::platform::posix {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Paths(std::vector<FolderEntry> entries) {
    std::vector<std::string> paths;
    for (const FolderEntry& entry : entries) {
        paths.push_back(entry.path);
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

TEST(PosixFolders, ListsFoldersHiddenOnesAndLinksToFolders) {
    test::TempDir dir;
    const std::string root = dir.Path().string();
    fs::create_directories(root + "/.hidden");
    fs::create_directories(root + "/real/sub");
    std::ofstream(root + "/file") << "x";
    fs::create_directory_symlink(root + "/real", root + "/link");
    fs::create_symlink(root + "/file", root + "/filelink");
    fs::create_directory_symlink(root + "/gone", root + "/dangling");

    PosixFolderSource source;
    const auto entries = source.ListFolders(root);
    EXPECT_EQ(Paths(entries),
              (std::vector<std::string>{root + "/.hidden", root + "/link", root + "/real"}));
    FolderId real;
    ASSERT_TRUE(source.Identify(root + "/real", real));
    for (const FolderEntry& entry : entries) {
        EXPECT_TRUE(entry.idKnown);
        EXPECT_EQ(entry.id == real, entry.path.ends_with("link") || entry.path.ends_with("real"));
    }
    EXPECT_TRUE(source.ListFolders(root + "/file").empty());
    EXPECT_TRUE(source.ListFolders(root + "/none").empty());
    FolderId id;
    EXPECT_FALSE(source.Identify(root + "/file", id));
    // Below the root no separator is doubled.
    EXPECT_EQ(JoinPath("/", "etc"), "/etc");
    EXPECT_EQ(JoinPath("/srv", "etc"), "/srv/etc");
    EXPECT_EQ(JoinPath("/srv/", "etc"), "/srv/etc");
}

TEST(PosixFolders, DescriptorsFromSambaAttributeOrNone) {
    test::TempDir dir;
    const std::string plain = dir.File("plain");
    const std::string samba = dir.File("samba");
    fs::create_directory(plain);
    fs::create_directory(samba);
    const auto ntacl = test::FromHex(test::kNtaclAudited[3]);
    if (::setxattr(samba.c_str(), "security.NTACL", ntacl.data(), ntacl.size(), 0) != 0) {
        GTEST_SKIP() << "security.NTACL cannot be set here (needs root and xattrs): "
                     << std::strerror(errno);
    }
    PosixFolderSource source;
    FolderDescriptor descriptor;
    EXPECT_EQ(source.ReadDescriptor(plain, descriptor), 0);
    EXPECT_EQ(descriptor.form, DescriptorForm::none);
    EXPECT_TRUE(descriptor.bytes.empty());
    EXPECT_EQ(source.ReadDescriptor(samba, descriptor), 0);
    EXPECT_EQ(descriptor.form, DescriptorForm::sambaNtacl);
    EXPECT_EQ(descriptor.bytes, ntacl);
}

TEST(PosixFolders, ReadErrorsBecomeTheirWindowsCodes) {
    test::TempDir dir;
    PosixFolderSource source;
    FolderDescriptor descriptor;
    EXPECT_EQ(source.ReadDescriptor(dir.File("missing"), descriptor), 2);
    const std::string badName = dir.File("bad\xff\xfe");
    fs::create_directory(badName);
    EXPECT_EQ(source.ReadDescriptor(badName, descriptor), 123);
    std::ofstream(dir.File("file")) << "x";
    EXPECT_EQ(source.ReadDescriptor(dir.File("file/below"), descriptor), 3);

    EXPECT_TRUE(IsValidUtf8("Zeta/\xc3\xa4/\xe2\x82\xac/\xf0\x9f\x8e\x99"));
    for (const char* bad : {"\x80", "\xc0\xaf", "\xe0\x80\xaf", "\xed\xa0\x80", "\xf4\x90\x80\x80",
                            "\xc3", "\xe2\x82", "\xf5\x80\x80\x80"}) {
        EXPECT_FALSE(IsValidUtf8(bad)) << bad;
    }
}

TEST(PosixFolders, WithoutTheRightToLookTheReadIsAPrivilegeError) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to switch to nobody";
    }
    const passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    test::TempDir dir;
    const std::string closed = dir.File("closed");
    fs::create_directories(closed + "/inside");
    ::chmod(dir.Path().c_str(), 0755);
    ::chmod(closed.c_str(), 0700);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0) {
            ::_exit(100);
        }
        FolderDescriptor descriptor;
        const std::int32_t code =
            PosixFolderSource().ReadDescriptor(closed + "/inside", descriptor);
        ::_exit(code == 1314 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace vzrm::platform::posix
