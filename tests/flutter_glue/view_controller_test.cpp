// The engine and view controller glue against the stand-in embedding under Wine: the engine
// starts with the project, the view is a real child window, the next-frame callback runs once on
// the window thread, refusals show as a missing view, and calls cross both ways through the
// glue's channels and the stand-in's own codec.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "flutter_glue/flutter_view_controller.h"
#include "flutter_glue/method_channel.h"
#include "flutter_glue/standard_method_codec.h"
#include "tests/flutter_glue/glue_test_support.h"
#include "tests/support/standin_control.h"

namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;
using test_support::PumpMessagesUntil;
using test_support::StandInRequest;

constexpr DWORD kBoundMs = 10000;

flutter::EngineProject BundleProject() { return flutter::EngineProject(L"data"); }

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

int FrameCount(const std::string& events) {
  int frames = 0;
  for (std::size_t at = events.find("frame "); at != std::string::npos;
       at = events.find("frame ", at + 1)) {
    ++frames;
  }
  return frames;
}

TEST(ViewController, StartsTheProjectInAChildWindowAndRunsTheNextFrameCallbackOnce) {
  flutter::EngineProject project = BundleProject();
  project.dart_entrypoint_arguments = {"--verbose", "daviza://signin?code=1"};
  flutter::FlutterViewController controller(320, 200, project);
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

  const std::string events = StandInRequest("events");
  EXPECT_EQ(events.rfind("started 2\narg --verbose\narg daviza://signin?code=1\nframe 1\n", 0), 0u)
      << events;
  // A later frame leaves the callback alone: it was emptied when it ran.
  const std::string later_frame = "\nframe " + std::to_string(FrameCount(events) + 1);
  controller.ForceRedraw();
  ASSERT_TRUE(
      PumpMessagesUntil([&] { return Contains(StandInRequest("events"), later_frame); }, kBoundMs));
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

TEST(ViewController, CallsCrossBetweenTheGlueChannelsAndTheDartSide) {
  flutter::FlutterViewController controller(320, 200, BundleProject());
  ASSERT_NE(controller.GetView(), nullptr);
  flutter::BinaryMessenger* messenger = controller.GetEngine()->GetMessenger();
  const auto& codec = flutter::StandardMethodCodec::GetInstance();
  const flutter::MethodChannel<> tunnel(messenger, "com.daviza.vpn/tunnel", &codec);
  const flutter::MethodChannel<> app(messenger, "com.daviza.vpn/app", &codec);
  DWORD handler_thread = 0;
  tunnel.SetMethodCallHandler(
      [&](const flutter::MethodCall<>& call, std::unique_ptr<flutter::MethodResult<>> result) {
        handler_thread = GetCurrentThreadId();
        if (call.method_name() == "status") return result->Success(EncodableValue(3));
        if (call.method_name() == "fail")
          return result->Error("start_failed", "Failed.\n\nDetail.");
        if (call.method_name() == "start") {
          const auto& arguments = std::get<EncodableMap>(*call.arguments());
          return result->Success(arguments.at(EncodableValue("config")));
        }
        result->NotImplemented();
      });

  const struct {
    const char* request;
    const char* response;
  } cases[] = {
      {"invoke com.daviza.vpn/tunnel status none", "success int 3"},
      {"invoke com.daviza.vpn/tunnel start config\n[Interface]\nKey = x",
       "success string [Interface]\nKey = x"},
      {"invoke com.daviza.vpn/tunnel fail none", "error start_failed\nFailed.\n\nDetail."},
      {"invoke com.daviza.vpn/tunnel other none", "notimplemented"},
      {"invoke com.daviza.vpn/app consumeAuthCallback none", "notimplemented"},
  };
  for (const auto& c : cases) EXPECT_EQ(StandInRequest(c.request), c.response) << c.request;
  EXPECT_EQ(handler_thread, GetCurrentThreadId());

  auto answers = std::make_shared<std::vector<glue_test::Answer>>();
  app.InvokeMethod("authCallback",
                   std::make_unique<EncodableValue>(
                       EncodableMap{{EncodableValue("url"), EncodableValue("daviza://x?y=1")}}),
                   std::make_unique<glue_test::RecordingResult>(answers));
  EXPECT_TRUE(answers->empty()) << "answered from inside the call";
  ASSERT_TRUE(PumpMessagesUntil([&] { return !answers->empty(); }, kBoundMs));
  EXPECT_EQ(answers->at(0).kind, glue_test::Answer::kSuccess);
  EXPECT_TRUE(
      Contains(StandInRequest("events"),
               "\nreceived com.daviza.vpn/app authCallback visible=0 {url: daviza://x?y=1}"));
  EXPECT_TRUE(Contains(StandInRequest("state"), "\nLink: daviza://x?y=1"));
}

}  // namespace
