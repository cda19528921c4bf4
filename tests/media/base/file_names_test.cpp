#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <fstream>

#include "media/base/bindings.h"
#include "media/base/ff_utils.h"
#include "media/base/file_names.h"
#include "media/base/unicode_io.h"
#include "test_support.h"

namespace vidora {
namespace {

// Switches the character set of file names for one test.
class TLocaleScope {
 public:
  explicit TLocaleScope(const char* locale) : FOld(std::setlocale(LC_CTYPE, nullptr)) {
    FActive = std::setlocale(LC_CTYPE, locale) != nullptr;
  }
  ~TLocaleScope() { std::setlocale(LC_CTYPE, FOld.c_str()); }
  bool Active() const { return FActive; }

 private:
  std::string FOld;
  bool FActive = false;
};

TEST(FileNames, ASCIINamesAreHandedOverUnchanged) {
  TLocaleScope locale("C");
  EXPECT_FALSE(NeedsUnicodeName("/home/user/clip 01.avi"));
  EXPECT_EQ(LibraryFileName("/home/user/clip 01.avi"), "/home/user/clip 01.avi");
  EXPECT_EQ(LibraryFileName(""), "");
}

TEST(FileNames, NamesOutsideTheCharacterSetBecomeUnicodeNames) {
  TLocaleScope locale("C");
  const std::string name = "/tmp/caf\xC3\xA9 \xE2\x98\x83.mp4";  // "café ☃.mp4"
  EXPECT_TRUE(NeedsUnicodeName(name));
  std::string converted = LibraryFileName(name);
  EXPECT_EQ(converted, "unicode:utf8:" + name);
  EXPECT_EQ(WideFileName(converted), name);
  // A drive-like prefix is not a protocol: the name is still examined.
  EXPECT_TRUE(NeedsUnicodeName("c:\\caf\xC3\xA9.avi"));
}

TEST(FileNames, KnownProtocolsAreNeverConverted) {
  TLocaleScope locale("C");
  EXPECT_FALSE(NeedsUnicodeName("http://example.invalid/caf\xC3\xA9.mp4"));
  EXPECT_FALSE(NeedsUnicodeName("udp://239.0.0.1:1234"));
  EXPECT_TRUE(NeedsUnicodeName("ftp://example.invalid/caf\xC3\xA9.mp4")) << "not in the known list";
  // A colon in a file name is not a protocol unless the prefix is a known one.
  EXPECT_TRUE(NeedsUnicodeName("clip:01.mp4"));
  EXPECT_EQ(LibraryFileName("clip:01.mp4"), std::string(UnicodeNamePrefix) + "clip:01.mp4");
  EXPECT_FALSE(NeedsUnicodeName("./clip:01.mp4"));
  EXPECT_FALSE(NeedsUnicodeName(":clip.mp4"));
}

TEST(FileNames, UTF8LocaleNeedsNoConversion) {
  TLocaleScope locale("C.UTF-8");
  if (!locale.Active()) GTEST_SKIP() << "no C.UTF-8 locale";
  EXPECT_FALSE(NeedsUnicodeName("/tmp/caf\xC3\xA9.mp4"));
  EXPECT_EQ(LibraryFileName("/tmp/caf\xC3\xA9.mp4"), "/tmp/caf\xC3\xA9.mp4");
}

class UnicodeIOTest : public ::testing::Test {
 protected:
  void SetUp() override { test::LoadMediaLibraries(); }
};

TEST_F(UnicodeIOTest, ALocalFileNamedLikeAProtocolIsThatFile) {
  TLocaleScope locale("C");
  test::TTempFolder folder;
  std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(folder.Path());
  for (const std::string name : {"http:clip.mp4", "pipe:1.mp4"}) {
    EXPECT_TRUE(IsProtocolName(name)) << "no such file: " << name;
    std::ofstream(name) << "bytes";
    EXPECT_FALSE(IsProtocolName(name)) << name;
    EXPECT_EQ(LibraryFileName(name), std::string(UnicodeNamePrefix) + name);
    AVIOContext* io = nullptr;
    ASSERT_EQ(OpenIO(&io, LibraryFileName(name), AVIO_FLAG_READ), 0) << name;
    EXPECT_EQ(avformat.avio_size(io), 5);
    CloseIO(&io);
  }
  std::filesystem::current_path(previous);
}

TEST_F(UnicodeIOTest, WritesReadsAndSeeksANonASCIIName) {
  TLocaleScope locale("C");
  test::TTempFolder folder;
  std::string path = (folder.Path() / "\xC5\xBC\xC3\xB3\xC5\x82w.bin").string();  // "żółw.bin"
  std::string url = LibraryFileName(path);
  ASSERT_TRUE(IsUnicodeName(url));

  AVIOContext* pb = nullptr;
  ASSERT_EQ(OpenIO(&pb, url, AVIO_FLAG_WRITE), 0);
  std::string payload(100000, '\0');
  for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>(i * 7);
  avformat.avio_write(pb, reinterpret_cast<const unsigned char*>(payload.data()), static_cast<int>(payload.size()));
  ASSERT_EQ(CloseIO(&pb), 0);
  EXPECT_EQ(pb, nullptr);
  EXPECT_EQ(FileSizeOf(path), static_cast<int64_t>(payload.size()));

  ASSERT_EQ(OpenIO(&pb, url, AVIO_FLAG_READ), 0);
  EXPECT_EQ(avformat.avio_size(pb), static_cast<int64_t>(payload.size()));
  std::string back(payload.size(), '\0');
  EXPECT_EQ(avformat.avio_read(pb, reinterpret_cast<unsigned char*>(back.data()), static_cast<int>(back.size())),
            static_cast<int>(back.size()));
  EXPECT_EQ(back, payload);
  EXPECT_EQ(avformat.avio_seek(pb, 70000, SEEK_SET), 70000);
  unsigned char byte = 0;
  EXPECT_EQ(avformat.avio_read(pb, &byte, 1), 1);
  EXPECT_EQ(byte, static_cast<unsigned char>(70000 * 7));
  avformat.avio_seek(pb, static_cast<int64_t>(payload.size()), SEEK_SET);
  EXPECT_EQ(avformat.avio_read(pb, &byte, 1), AVERROR_EOF);
  EXPECT_EQ(CloseIO(&pb), 0);
}

TEST_F(UnicodeIOTest, MissingFileReportsNoSuchFile) {
  AVIOContext* pb = nullptr;
  test::TTempFolder folder;
  std::string url = std::string(UnicodeNamePrefix) + (folder.Path() / "nothing-here.avi").string();
  int code = OpenIO(&pb, url, AVIO_FLAG_READ);
  EXPECT_EQ(code, -2);
  EXPECT_EQ(pb, nullptr);
  EXPECT_EQ(ErrorText("clip.avi", code), "clip.avi: No such file or directory");
  // Other failures keep their own reason.
  url = std::string(UnicodeNamePrefix) + (folder.Path() / std::string(300, 'x')).string();
  EXPECT_EQ(ErrorText("long", OpenIO(&pb, url, AVIO_FLAG_WRITE)), "long: File name too long");
}

TEST_F(UnicodeIOTest, OrdinaryNamesGoThroughTheLibrary) {
  test::TTempFolder folder;
  std::string path = (folder.Path() / "plain.bin").string();
  AVIOContext* pb = nullptr;
  ASSERT_EQ(OpenIO(&pb, path, AVIO_FLAG_WRITE), 0);
  avformat.avio_write(pb, reinterpret_cast<const unsigned char*>("hello"), 5);
  EXPECT_EQ(CloseIO(&pb), 0);
  EXPECT_EQ(FileSizeOf(path), 5);
}

}  // namespace
}  // namespace vidora
