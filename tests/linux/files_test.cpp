// The settings file's storage on Linux: exclusive opens, appends, and a
// replace that never leaves a half-written or stray file behind.
#include "platform/posix/files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace morsello::platform::posix {
namespace {

namespace fs = std::filesystem;

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string t = (fs::temp_directory_path() / "morsello-files-XXXXXX").string();
    ASSERT_TRUE(::mkdtemp(t.data()));
    dir = t;
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string content(const std::string& name) const {
    std::ifstream in(dir + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::size_t entries() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {}));
  }
  std::string dir;
};

TEST_F(Files, AppendCreatesAndExtendsAndReadGivesTheBytes) {
  PosixFiles files(dir);
  EXPECT_FALSE(files.read("taktell.cnf"));
  ASSERT_TRUE(files.append("taktell.cnf", "A\r\n"));
  ASSERT_TRUE(files.append("taktell.cnf", "\xC3\x85\r\n"));
  EXPECT_EQ(files.read("taktell.cnf"), std::string("A\r\n\xC3\x85\r\n"));
}

TEST_F(Files, ReplaceSwapsTheWholeFileAndLeavesNothingElse) {
  PosixFiles files(dir);
  ASSERT_TRUE(files.append("taktell.cnf", "old content that is longer\r\n"));
  ASSERT_TRUE(files.replace("taktell.cnf", "new\r\n"));
  EXPECT_EQ(content("taktell.cnf"), "new\r\n");
  EXPECT_EQ(entries(), 1u);
}

TEST_F(Files, AFileHeldByAnotherOpenerCanBeNeitherReadNorReplaced) {
  PosixFiles files(dir);
  ASSERT_TRUE(files.append("taktell.cnf", "kept\r\n"));
  const int other = ::open((dir + "/taktell.cnf").c_str(), O_RDONLY);
  ASSERT_GE(other, 0);
  ASSERT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0);
  EXPECT_FALSE(files.read("taktell.cnf"));
  EXPECT_FALSE(files.replace("taktell.cnf", "lost\r\n"));
  EXPECT_FALSE(files.append("taktell.cnf", "lost\r\n"));
  ::close(other);
  EXPECT_EQ(files.read("taktell.cnf"), std::string("kept\r\n"));
  EXPECT_EQ(entries(), 1u);
}

TEST_F(Files, AReadOnlyFileOrFolderRefusesTheReplaceAndKeepsTheOldFile) {
  PosixFiles files(dir);
  ASSERT_TRUE(files.append("taktell.cnf", "kept\r\n"));
  ::chmod((dir + "/taktell.cnf").c_str(), 0444);
  EXPECT_FALSE(files.replace("taktell.cnf", "lost\r\n"));  // also when run as root
  EXPECT_EQ(content("taktell.cnf"), "kept\r\n");
  EXPECT_EQ(entries(), 1u);

  PosixFiles nowhere(dir + "/no-such-folder");
  EXPECT_FALSE(nowhere.replace("taktell.cnf", "x"));
  EXPECT_FALSE(nowhere.append("taktell.cnf", "x"));
}

}  // namespace
}  // namespace morsello::platform::posix
