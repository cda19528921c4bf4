#include <gtest/gtest.h>
#include <link.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "media/base/bindings.h"
#include "media/base/loader.h"
#include "test_support.h"

namespace vidora {
namespace {

namespace fs = std::filesystem;
using test::TTempFolder;

class LoaderTest : public ::testing::Test {
 protected:
  void TearDown() override {
    FFLoader().Unload(ShutdownLibraries);
    FFLoader().SetLibraryPath("");
  }

  // Puts `source` into the folder under the name the loader asks for.
  static void Place(const TTempFolder& folder, TLibrary lib, const fs::path& source) {
    fs::copy_file(source, folder.Path() / TFFLoader::FileName(lib));
  }

  // The loader, pointed at `folder` holding `source` as the file of `lib`.
  static TFFLoader& LoaderOver(const TTempFolder& folder, TLibrary lib, const fs::path& source) {
    Place(folder, lib, source);
    FFLoader().SetLibraryPath(folder.Str());
    return FFLoader();
  }

  static void PlaceText(const TTempFolder& folder, TLibrary lib) {
    std::ofstream(folder.Path() / TFFLoader::FileName(lib)) << "this is not a shared object\n";
  }
};

// Every loaded object whose file name is `fileName`.
std::vector<std::string> LoadedObjects(const std::string& fileName) {
  std::pair<std::string, std::vector<std::string>> search{fileName, {}};
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) {
        auto* s = static_cast<std::pair<std::string, std::vector<std::string>>*>(data);
        if (info->dlpi_name && fs::path(info->dlpi_name).filename() == s->first) s->second.push_back(info->dlpi_name);
        return 0;
      },
      &search);
  return search.second;
}

TEST_F(LoaderTest, SystemSearchOrderBindsEveryComponentSet) {
  TFFLoader& loader = FFLoader();
  ASSERT_TRUE(loader.Load(PlayerLibraries)) << loader.LastErrMsg();
  EXPECT_TRUE(loader.Loaded(EncoderLibraries));
  EXPECT_TRUE(loader.Loaded(DecoderLibraries));
  EXPECT_FALSE(loader.Loaded(TLibrary::avDevice));
  EXPECT_NE(avcodec.avcodec_version, nullptr);
  EXPECT_EQ(avcodec.avcodec_version() >> 16, static_cast<unsigned>(LIBAVCODEC_VERSION_MAJOR));

  loader.Unload(PlayerLibraries);
  EXPECT_FALSE(loader.Loaded(TLibrary::avCodec));
  EXPECT_EQ(avcodec.avcodec_version, nullptr) << "unloading clears the table";
  EXPECT_TRUE(loader.Loaded(TLibraries{})) << "the empty set counts as loaded";
}

TEST_F(LoaderTest, FolderCopiesWinAndTheirDependenciesResolveToTheFolder) {
  fs::path avutilFile = test::SystemLibraryPath(TFFLoader::FileName(TLibrary::avUtil));
  fs::path swrFile = test::SystemLibraryPath(TFFLoader::FileName(TLibrary::avCore));
  if (avutilFile.empty() || swrFile.empty()) GTEST_SKIP() << "system libraries not found";
  if (!LoadedObjects(TFFLoader::FileName(TLibrary::avUtil)).empty())
    GTEST_SKIP() << "libavutil is already in this process";

  TTempFolder folder;
  Place(folder, TLibrary::avUtil, avutilFile);
  Place(folder, TLibrary::avCore, swrFile);
  TFFLoader& loader = FFLoader();
  loader.SetLibraryPath(folder.Str());

  ASSERT_TRUE(loader.Load(TLibrary::avCore)) << loader.LastErrMsg();
  EXPECT_EQ(fs::path(loader.LoadedFrom(TLibrary::avCore)).parent_path(), folder.Path());
  // libswresample needs libavutil: the folder's copy must serve it, not the system's.
  for (const std::string& object : LoadedObjects(TFFLoader::FileName(TLibrary::avUtil)))
    EXPECT_EQ(fs::path(object).parent_path(), folder.Path()) << object;

  ASSERT_TRUE(loader.Load(TLibrary::avUtil)) << loader.LastErrMsg();
  EXPECT_EQ(fs::path(loader.LoadedFrom(TLibrary::avUtil)).parent_path(), folder.Path());
}

// A folder with only some libraries: those loaded before its copies (the
// system's libavcodec needs libavutil) must not bring in the system's copy too.
TEST_F(LoaderTest, APartialFolderNeverGivesTwoCopiesOfALibrary) {
  fs::path avutilFile = test::SystemLibraryPath(TFFLoader::FileName(TLibrary::avUtil));
  if (avutilFile.empty()) GTEST_SKIP() << "system libavutil not found";
  if (!LoadedObjects(TFFLoader::FileName(TLibrary::avUtil)).empty())
    GTEST_SKIP() << "libavutil is already in this process";

  TTempFolder folder;
  Place(folder, TLibrary::avUtil, avutilFile);
  TFFLoader& loader = FFLoader();
  loader.SetLibraryPath(folder.Str());
  ASSERT_TRUE(loader.Load(EncoderLibraries)) << loader.LastErrMsg();
  std::vector<std::string> copies = LoadedObjects(TFFLoader::FileName(TLibrary::avUtil));
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(fs::path(copies[0]).parent_path(), folder.Path());
  EXPECT_NE(fs::path(loader.LoadedFrom(TLibrary::avCodec)).parent_path(), folder.Path());
}

TEST_F(LoaderTest, AFolderCopyOfALibraryAlreadyLoadedElsewhereIsRefused) {
  fs::path avutilFile = test::SystemLibraryPath(TFFLoader::FileName(TLibrary::avUtil));
  if (avutilFile.empty()) GTEST_SKIP() << "system libavutil not found";
  TFFLoader& loader = FFLoader();
  ASSERT_TRUE(loader.Load(TLibrary::avCodec)) << loader.LastErrMsg();  // the system's libavutil comes along

  TTempFolder folder;
  Place(folder, TLibrary::avUtil, avutilFile);
  loader.SetLibraryPath(folder.Str());
  EXPECT_FALSE(loader.Load(TLibrary::swScale));
  std::string fileName = TFFLoader::FileName(TLibrary::avUtil);
  EXPECT_NE(loader.LastErrMsg().find(fileName + " is already loaded from "), std::string::npos) << loader.LastErrMsg();
  EXPECT_EQ(loader.LastFailure(), TLoadFailure::lfDuplicateCopy);
  EXPECT_EQ(LoadedObjects(fileName).size(), 1u);
}

TEST_F(LoaderTest, FolderWithoutTheFileFallsBackToTheSystem) {
  TTempFolder folder;
  TFFLoader& loader = FFLoader();
  loader.SetLibraryPath(folder.Str() + "/");
  ASSERT_TRUE(loader.Load(TLibrary::swScale)) << loader.LastErrMsg();
  EXPECT_NE(fs::path(loader.LoadedFrom(TLibrary::swScale)).parent_path(), folder.Path());

  loader.SetLibraryPath(folder.Str() + "/does-not-exist");
  EXPECT_TRUE(loader.Load(TLibrary::avFilter)) << loader.LastErrMsg();
}

TEST_F(LoaderTest, MissingEntryPointNamesItAndUnbindsTheLibrary) {
  TTempFolder folder;
  TFFLoader& loader = LoaderOver(folder, TLibrary::avUtil, FAKE_LIBRARY_PATH);

  EXPECT_FALSE(loader.Load(TLibrary::avUtil));
  std::string expected = "Load function av_log_set_callback@" + TFFLoader::FileName(TLibrary::avUtil) + " error: ";
  EXPECT_EQ(loader.LastErrMsg().rfind(expected, 0), 0u) << loader.LastErrMsg();
  EXPECT_NE(loader.LastErrMsg().find("undefined symbol"), std::string::npos) << loader.LastErrMsg();
  EXPECT_EQ(loader.LastFailure(), TLoadFailure::lfMissingSymbol);
  EXPECT_FALSE(loader.Loaded(TLibrary::avUtil));
  EXPECT_EQ(avutil.avutil_version, nullptr) << "the entry bound before the missing one is cleared too";
  EXPECT_TRUE(loader.LoadedFrom(TLibrary::avUtil).empty());
}

TEST_F(LoaderTest, BrokenFilesGiveTheLoadLibraryMessage) {
  TTempFolder folder;
  TFFLoader& loader = FFLoader();
  loader.SetLibraryPath(folder.Str());

  PlaceText(folder, TLibrary::swScale);
  EXPECT_FALSE(loader.Load(TLibrary::swScale));
  std::string path = (folder.Path() / TFFLoader::FileName(TLibrary::swScale)).string();
  EXPECT_EQ(loader.LastErrMsg().rfind("Load library " + path + " error: ", 0), 0u) << loader.LastErrMsg();
  EXPECT_EQ(loader.LastFailure(), TLoadFailure::lfMissingFile);
  EXPECT_FALSE(loader.Loaded(TLibrary::swScale));

  // A library whose own dependency is missing.
  Place(folder, TLibrary::avUtil, FAKE_NEEDS_GONE_PATH);
  EXPECT_FALSE(loader.Load(TLibrary::avUtil));
  EXPECT_NE(loader.LastErrMsg().find("libvidora_test_gone.so"), std::string::npos) << loader.LastErrMsg();
  EXPECT_FALSE(loader.Loaded(TLibrary::avUtil));
}

TEST_F(LoaderTest, BrokenFolderDependencyFailsTheLibraryThatNeedsIt) {
  fs::path swsFile = test::SystemLibraryPath(TFFLoader::FileName(TLibrary::swScale));
  if (swsFile.empty()) GTEST_SKIP() << "system libswscale not found";
  TTempFolder folder;
  PlaceText(folder, TLibrary::avUtil);
  Place(folder, TLibrary::swScale, swsFile);
  TFFLoader& loader = FFLoader();
  loader.SetLibraryPath(folder.Str());
  EXPECT_FALSE(loader.Load(TLibrary::swScale));
  EXPECT_NE(loader.LastErrMsg().find(TFFLoader::FileName(TLibrary::avUtil)), std::string::npos)
      << loader.LastErrMsg();
}

TEST_F(LoaderTest, ALibraryOfAnotherMajorIsRefusedBeforeBinding) {
  TTempFolder folder;
  TFFLoader& loader = LoaderOver(folder, TLibrary::avUtil, FAKE_WRONG_MAJOR_PATH);

  EXPECT_FALSE(loader.Load(TLibrary::avUtil));
  EXPECT_EQ(loader.LastFailure(), TLoadFailure::lfWrongVersion);
  std::string expected = "Load library " + TFFLoader::FileName(TLibrary::avUtil) + " error: version " +
                         std::to_string(LIBAVUTIL_VERSION_MAJOR + 1) + ".0.0, expected major " +
                         std::to_string(LIBAVUTIL_VERSION_MAJOR);
  EXPECT_EQ(loader.LastErrMsg(), expected);
  EXPECT_FALSE(loader.Loaded(TLibrary::avUtil));
  EXPECT_TRUE(loader.LoadedFrom(TLibrary::avUtil).empty());
}

// The encoder's and the player's sets share most libraries: giving one hold
// back must leave every table the other still uses.
TEST_F(LoaderTest, ReleasingASetKeepsWhatAnotherHolderUses) {
  TFFLoader& loader = FFLoader();
  ASSERT_TRUE(loader.Acquire(EncoderLibraries)) << loader.LastErrMsg();
  ASSERT_TRUE(loader.Acquire(PlayerLibraries)) << loader.LastErrMsg();

  loader.Release(EncoderLibraries);
  EXPECT_TRUE(loader.Loaded(PlayerLibraries));
  EXPECT_NE(avcodec.avcodec_version, nullptr);

  ASSERT_TRUE(loader.Acquire(EncoderLibraries));
  loader.Release(PlayerLibraries);
  EXPECT_TRUE(loader.Loaded(EncoderLibraries));
  EXPECT_FALSE(loader.Loaded(TLibrary::lbSDL)) << "only the player held SDL";
  EXPECT_EQ(sdl.SDL_Init, nullptr);

  loader.Release(EncoderLibraries);
  EXPECT_FALSE(loader.Loaded(TLibrary::avCodec)) << "the last hold unloads";
}

TEST_F(LoaderTest, AFailedSetLeavesLibrariesAnotherHolderUses) {
  TFFLoader& loader = FFLoader();
  ASSERT_TRUE(loader.Acquire(TLibraries{TLibrary::avUtil})) << loader.LastErrMsg();

  TTempFolder folder;
  PlaceText(folder, TLibrary::swScale);
  loader.SetLibraryPath(folder.Str());
  EXPECT_FALSE(loader.Acquire(EncoderLibraries));
  EXPECT_TRUE(loader.Loaded(TLibrary::avUtil));
  EXPECT_FALSE(loader.Loaded(TLibrary::avCodec));
}

TEST_F(LoaderTest, FailureInASetUnloadsTheWholeSet) {
  TFFLoader& loader = FFLoader();
  ASSERT_TRUE(loader.Load(TLibrary::avUtil));

  // swScale is the sixth member of the encoder set.
  TTempFolder folder;
  PlaceText(folder, TLibrary::swScale);
  loader.SetLibraryPath(folder.Str());
  EXPECT_FALSE(loader.Load(EncoderLibraries));
  for (TLibrary lib : AllLibraries) {
    if (EncoderLibraries.Contains(lib)) {
      EXPECT_FALSE(loader.Loaded(lib)) << TFFLoader::Name(lib);
    }
  }
  EXPECT_EQ(avutil.av_malloc, nullptr);
}

TEST_F(LoaderTest, LoadingALoadedLibraryTouchesNothing) {
  TFFLoader& loader = FFLoader();
  ASSERT_TRUE(loader.Load(TLibrary::avFormat));
  std::string from = loader.LoadedFrom(TLibrary::avFormat);

  TTempFolder folder;
  PlaceText(folder, TLibrary::avFormat);
  loader.SetLibraryPath(folder.Str());
  EXPECT_TRUE(loader.Load(TLibrary::avFormat));
  EXPECT_EQ(loader.LoadedFrom(TLibrary::avFormat), from);
}

TEST(LoaderNames, FileNamesCarryTheHeaderMajors) {
  EXPECT_EQ(TFFLoader::FileName(TLibrary::avCodec), "libavcodec.so." + std::to_string(LIBAVCODEC_VERSION_MAJOR));
  EXPECT_EQ(TFFLoader::FileName(TLibrary::avCore),
            "libswresample.so." + std::to_string(LIBSWRESAMPLE_VERSION_MAJOR));
  EXPECT_EQ(TFFLoader::FileName(TLibrary::myUtil), "libc.so.6");
  EXPECT_EQ(TFFLoader::FileName(TLibrary::lbSDL), "libSDL2-2.0.so.0");
  EXPECT_EQ(TFFLoader::FileName(TLibrary::amrNb), "libopencore-amrnb.so.0");
}

}  // namespace
}  // namespace vidora
