#include "platform/atomicfile.h"
#include "platform/registry.h"

#include "support/TempDir.h"

#include <QDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>

using platform::WriteFileAtomically;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

mode_t modeOf(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

QStringList filesIn(const TempDir& dir)
{
    return QDir(QString::fromStdString(dir.path())).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// Files written by this process may grow to `bytes` only, as on a full disk.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN); // the write fails with EFBIG instead
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }

  private:
    rlimit previous_{};
    void (*previousHandler_)(int);
};

} // namespace

TEST(AtomicFile, NewFilesFollowTheUmaskAndReplacedFilesKeepTheirMode)
{
    TempDir dir;
    const mode_t umask = ::umask(027);
    const bool created = WriteFileAtomically(dir.file("new.txt"), "first", 0666);
    ::umask(umask);
    ASSERT_TRUE(created);
    EXPECT_EQ(ReadFile(dir.file("new.txt")), "first");
    EXPECT_EQ(modeOf(dir.file("new.txt")), 0640u);

    ASSERT_EQ(::chmod(dir.file("new.txt").c_str(), 0604), 0);
    ASSERT_TRUE(WriteFileAtomically(dir.file("new.txt"), "second, longer", 0600));
    EXPECT_EQ(ReadFile(dir.file("new.txt")), "second, longer");
    EXPECT_EQ(modeOf(dir.file("new.txt")), 0604u);

    ASSERT_TRUE(WriteFileAtomically(dir.file("new.txt"), ""));
    EXPECT_EQ(ReadFile(dir.file("new.txt")), "");
    EXPECT_EQ(filesIn(dir), QStringList{"new.txt"}) << "no temporary file stays behind";
}

TEST(AtomicFile, AFailedWriteLeavesTheOldFileWholeAndNothingBesideIt)
{
    TempDir dir;
    const std::string file = dir.file("list.m3u");
    WriteFile(file, "the old list\n");
    const std::string large(256 * 1024, 'x');
    bool written;
    int error;
    {
        FileSizeLimit limit(4096);
        written = WriteFileAtomically(file, large);
        error = errno;
    }
    EXPECT_FALSE(written);
    EXPECT_EQ(error, EFBIG);
    EXPECT_EQ(ReadFile(file), "the old list\n");
    EXPECT_EQ(filesIn(dir), QStringList{"list.m3u"});

    EXPECT_FALSE(WriteFileAtomically(dir.file("missing/x.txt"), "text"));
    EXPECT_EQ(errno, ENOENT);
}

TEST(AtomicFile, ARelativeNameIsWrittenInTheCurrentFolder)
{
    TempDir dir;
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const bool plain = WriteFileAtomically("plain.txt", "here");
    const bool below = std::filesystem::create_directory("sub") && WriteFileAtomically("sub/below.txt", "there");
    std::filesystem::current_path(before);
    EXPECT_TRUE(plain);
    EXPECT_TRUE(below);
    EXPECT_EQ(ReadFile(dir.file("plain.txt")), "here");
    EXPECT_EQ(ReadFile(dir.file("sub/below.txt")), "there");
}

TEST(Registry, ANewStoreIsReadableByItsUserOnly)
{
    TempDir dir;
    platform::Registry reg(dir.file("registry"));
    ASSERT_TRUE(reg.writeString(platform::RegistryRoot::ClassesRoot, ".WAV", "", "Orvella Audio File"));
    EXPECT_EQ(modeOf(dir.file("registry")), 0600u);
}
