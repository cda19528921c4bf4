#include <vector>

#include "engine_fixture.h"

namespace vidora::test {
namespace {

using FrameHookTest = EngineTest;

TEST_F(FrameHookTest, APluginProcessesPicturesInChainOrder) {
  FEngine.ParseOption("vhook", std::string(INVERT_HOOK_PATH) + " 1 1 2 2");
  FEngine.ParseOption("vhook", std::string(INVERT_HOOK_PATH) + "|0|0|2|1");
  EXPECT_TRUE(FEngine.S().Fusing_vhook);
  ASSERT_EQ(FEngine.FrameHooks().Count(), 2u);

  // A 4x3 picture; the rectangles do not overlap.
  std::vector<uint8_t> luma(4 * 3, 0x10);
  uint8_t* data[4] = {luma.data(), nullptr, nullptr, nullptr};
  int linesize[4] = {4, 0, 0, 0};
  const_cast<TFrameHookChain&>(FEngine.FrameHooks()).Process(data, linesize, AV_PIX_FMT_YUV420P, 4, 3, 0);
  std::vector<uint8_t> expected = {0xEF, 0xEF, 0x10, 0x10,   // second hook: (0,0) and (1,0)
                                   0x10, 0xEF, 0xEF, 0x10,   // first hook: (1,1), (2,1)
                                   0x10, 0xEF, 0xEF, 0x10};  // first hook: (1,2), (2,2)
  EXPECT_EQ(luma, expected);
  FEngine.Cleanup();
  EXPECT_EQ(FEngine.FrameHooks().Count(), 0u);
}

TEST_F(FrameHookTest, APluginMayKeepItsArgumentsUntilItIsReleased) {
  FEngine.ParseOption("vhook", std::string(KEEP_ARGS_HOOK_PATH) + " 77");
  FEngine.ParseOption("vhook", std::string(KEEP_ARGS_HOOK_PATH) + " 99");  // the chain grows after the first
  std::vector<std::string> churn(64, std::string(48, '5'));                 // reuses whatever was freed

  std::vector<uint8_t> luma(4, 0);
  uint8_t* data[4] = {luma.data(), nullptr, nullptr, nullptr};
  int linesize[4] = {4, 0, 0, 0};
  auto& hooks = const_cast<TFrameHookChain&>(FEngine.FrameHooks());
  hooks.Process(data, linesize, AV_PIX_FMT_GRAY8, 4, 1, 0);
  EXPECT_EQ(luma, std::vector<uint8_t>(4, 99)) << "both ran, the second last";
}

TEST_F(FrameHookTest, BrokenPluginsAreRefused) {
  std::string hook = INVERT_HOOK_PATH;
  EXPECT_EQ(Raised([&] { FEngine.ParseOption("vhook", hook + " 1 2"); }),
            "Failed to add video hook function: " + hook + " 1 2");
  EXPECT_TRUE(Logged("Failed to Configure " + hook));

  std::string noProcess = NO_PROCESS_HOOK_PATH;
  EXPECT_NE(Raised([&] { FEngine.ParseOption("vhook", noProcess); }), "");
  EXPECT_TRUE(Logged("Failed to find Process entrypoint in " + noProcess));

  EXPECT_NE(Raised([&] { FEngine.ParseOption("vhook", Out("no-such-hook.so")); }), "");
  EXPECT_TRUE(Logged("no-such-hook.so"));

  std::string tooMany = hook;
  for (int i = 0; i < MaxFrameHookWords; ++i) tooMany += " 1";
  EXPECT_NE(Raised([&] { FEngine.ParseOption("vhook", tooMany); }), "");
  EXPECT_EQ(FEngine.FrameHooks().Count(), 0u);
  EXPECT_FALSE(FEngine.S().Fusing_vhook);
}

}  // namespace
}  // namespace vidora::test
