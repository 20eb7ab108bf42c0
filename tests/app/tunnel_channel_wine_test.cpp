// The Tunnel channel's handler over the real pipe client, under Wine, with the tunnel helper
// service stopped: every method reports the service as unavailable under its own error code.
#include <gtest/gtest.h>

#include <memory>

#include "app/tunnel_channel.h"
#include "common/helper_names.h"
#include "tests/flutter_glue/recording_result.h"
#include "tests/support/windows_service.h"

namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;
using glue_test::Answer;
using glue_test::AnswerRecord;
using glue_test::RecordingResult;

constexpr char kUnavailable[] =
    "ZEQ VPN tunnel helper service is unavailable. Reinstall or repair ZEQ VPN and try again.";

TEST(TunnelChannelUnderWine, EveryMethodFailsAsUnavailableWhileTheServiceIsStopped) {
  // Other tests of this prefix may have left the service registered; stopped is what this test
  // is about.
  ASSERT_TRUE(test_support::StopServiceAndWait(common::kHelperServiceName));
  ASSERT_FALSE(WaitNamedPipeW(common::kHelperPipeName, 0));
  ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << "no pipe is served";

  const struct {
    const char* method;
    const char* code;
  } cases[] = {{"status", "status_failed"}, {"start", "start_failed"}, {"stop", "stop_failed"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.method);
    std::shared_ptr<AnswerRecord> record;
    app::HandleTunnelMethodCall(
        flutter::MethodCall<>(
            c.method, std::make_unique<EncodableValue>(
                          EncodableMap{{EncodableValue("config"), EncodableValue("[Interface]")}})),
        RecordingResult::Make(record));
    ASSERT_EQ(record->answers.size(), 1u);
    EXPECT_EQ(record->answers[0].kind, Answer::kError);
    EXPECT_EQ(record->answers[0].code, c.code);
    EXPECT_EQ(record->answers[0].message, kUnavailable);
    EXPECT_FALSE(record->answers[0].value.has_value());
  }
}

}  // namespace
