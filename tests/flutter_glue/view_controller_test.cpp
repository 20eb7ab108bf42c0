// The engine and view controller glue against the stand-in embedding under Wine: the view is a
// real child window, the next-frame callback runs once on the window thread, and refusals show as
// a missing view. Calls through the channels are tested with the app whole (tests/app).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "flutter_glue/flutter_view_controller.h"
#include "tests/flutter_glue/glue_test_support.h"
#include "tests/support/standin_control.h"

namespace {

using test_support::PumpMessagesUntil;

constexpr DWORD kBoundMs = 10000;

flutter::EngineProject BundleProject() { return flutter::EngineProject(L"data"); }

TEST(ViewController, StartsTheProjectInAChildWindowAndRunsTheNextFrameCallbackOnce) {
  flutter::FlutterViewController controller(320, 200, BundleProject());
  ASSERT_NE(controller.GetView(), nullptr);
  const HWND view = controller.GetView()->GetNativeWindow();
  ASSERT_TRUE(IsWindow(view));
  EXPECT_NE(GetWindowLongPtrW(view, GWL_STYLE) & WS_CHILD, 0);
  RECT client = {};
  GetClientRect(view, &client);
  EXPECT_EQ(client.right, 320);
  EXPECT_EQ(client.bottom, 200);

  int runs = 0;
  DWORD thread = 0;
  flutter::FlutterEngine& engine = *controller.GetEngine();
  engine.SetNextFrameCallback([] { ADD_FAILURE() << "a replaced callback ran"; });
  auto held = std::make_shared<int>(0);
  const std::weak_ptr<int> held_by_callback = held;
  engine.SetNextFrameCallback([&, held = std::move(held)] {
    ++runs;
    thread = GetCurrentThreadId();
  });
  controller.ForceRedraw();
  ASSERT_TRUE(PumpMessagesUntil([&] { return runs > 0; }, kBoundMs));
  EXPECT_EQ(thread, GetCurrentThreadId());
  EXPECT_TRUE(held_by_callback.expired()) << "the callback was not emptied after it ran";
  EXPECT_EQ(runs, 1);
}

TEST(ViewController, RefusedEngineOrViewLeavesNoViewAndLogs) {
  const struct {
    const wchar_t* bundle;
    const wchar_t* refuse_view;
  } cases[] = {{L"no_such_bundle", nullptr}, {L"data", L"1"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.refuse_view == nullptr ? "refused engine" : "refused view");
    ASSERT_TRUE(SetEnvironmentVariableW(L"ZEQ_FLUTTER_STANDIN_REFUSE_VIEW", c.refuse_view));
    std::unique_ptr<flutter::FlutterViewController> controller;
    EXPECT_EQ(glue_test::StderrOf([&] {
                controller = std::make_unique<flutter::FlutterViewController>(
                    100, 100, flutter::EngineProject(c.bundle));
              }),
              "Failed to create view controller.\n");
    EXPECT_EQ(controller->GetView(), nullptr);
    ASSERT_NE(controller->GetEngine(), nullptr);
    // The refused engine is gone: nothing reaches it through the engine object any more.
    EXPECT_EQ(glue_test::StderrOf([&] {
                EXPECT_EQ(controller->GetEngine()->GetRegistrarForPlugin("UrlLauncherWindows"),
                          nullptr);
              }),
              "Cannot get plugin registrar on an engine that isn't running; call Run first.\n");
  }
  SetEnvironmentVariableW(L"ZEQ_FLUTTER_STANDIN_REFUSE_VIEW", nullptr);
}

}  // namespace
