// The app's client against the service host under the real service control manager.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "app/tunnel_helper_client.h"
#include "tests/pipe/pipe_test_support.h"

namespace {

using pipe_test::EchoRequestOfSize;
using pipe_test::Fingerprint;

constexpr char kUnavailable[] =
    "ZEQ VPN tunnel helper service is unavailable. Reinstall or repair ZEQ VPN and try again.";

class PipeExchangeTest : public pipe_test::HelperServiceTest {};

TEST_F(PipeExchangeTest, RequestsUpToTheLimitArriveByteForByte) {
  for (const std::size_t size : {std::size_t{40}, std::size_t{4096}, std::size_t{4097},
                                 std::size_t{10000}, std::size_t{65536}, std::size_t{73728}}) {
    const std::string request = EchoRequestOfSize(size, static_cast<unsigned>(size));
    ASSERT_EQ(request.size(), size);
    const app::HelperResponse response = app::SendHelperRequest(request);
    EXPECT_TRUE(response.ok) << size << ": " << response.message;
    EXPECT_EQ(response.message, Fingerprint(request)) << size;
  }
}

TEST_F(PipeExchangeTest, OversizedRequestsAreAnsweredAfterTheirRestIsRead) {
  for (const std::size_t size : {std::size_t{73729}, std::size_t{300000}}) {
    const app::HelperResponse response = app::SendHelperRequest(EchoRequestOfSize(size));
    EXPECT_FALSE(response.ok) << size;
    EXPECT_EQ(response.message, "Request exceeded the maximum supported size.") << size;
  }
  // The service goes on serving.
  const std::string request = EchoRequestOfSize(100);
  EXPECT_EQ(app::SendHelperRequest(request).message, Fingerprint(request));
}

TEST_F(PipeExchangeTest, EmptyRequestIsAnsweredNotLeftWaiting) {
  const app::HelperResponse response = app::SendHelperRequest("");
  EXPECT_FALSE(response.ok);
  EXPECT_EQ(response.message, "Received an empty request.");
}

TEST_F(PipeExchangeTest, ZeroLengthMessageFromARawClient) {
  common::UniqueFileHandle pipe = pipe_test::ConnectRawClient();
  ASSERT_TRUE(pipe);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(pipe.get(), "", 0, &written, nullptr));
  EXPECT_EQ(app::ReadPipeMessage(pipe.get(), 1000, nullptr),
            R"({"ok":false,"message":"Received an empty request."})");
}

// Only the first message is the request; what the client writes after it (a second message, or
// the rest of a request written in two pieces) is read and dropped, and the answer still arrives.
TEST_F(PipeExchangeTest, WhatFollowsTheRequestDoesNotCostTheAnswer) {
  const std::string request = EchoRequestOfSize(60, 1);
  const std::string first_piece = request.substr(0, 25);
  const struct {
    std::string first;
    std::string second;
    std::string answer;
  } cases[] = {
      {request, R"({"command":"fail"})",
       R"({"ok":true,"message":")" + Fingerprint(request) + "\"}"},
      {first_piece, request.substr(25),
       R"({"ok":true,"message":")" + Fingerprint(first_piece) + "\"}"},
  };
  for (int round = 0; round < 20; ++round) {
    for (const auto& c : cases) {
      common::UniqueFileHandle pipe = pipe_test::ConnectRawClient();
      ASSERT_TRUE(pipe);
      DWORD written = 0;
      ASSERT_TRUE(WriteFile(pipe.get(), c.first.data(), static_cast<DWORD>(c.first.size()),
                            &written, nullptr));
      ASSERT_TRUE(WriteFile(pipe.get(), c.second.data(), static_cast<DWORD>(c.second.size()),
                            &written, nullptr));
      std::string error;
      EXPECT_EQ(app::ReadPipeMessage(pipe.get(), 1000, &error).value_or(error), c.answer)
          << "round " << round;
    }
  }
}

TEST_F(PipeExchangeTest, ClientThatConnectsAndLeavesDoesNotDisturbTheNext) {
  for (int i = 0; i < 3; ++i) {
    common::UniqueFileHandle pipe = pipe_test::ConnectRawClient();
    ASSERT_TRUE(pipe);
  }
  const std::string request = EchoRequestOfSize(50);
  const app::HelperResponse response = app::SendHelperRequest(request);
  EXPECT_TRUE(response.ok) << response.message;
  EXPECT_EQ(response.message, Fingerprint(request));
}

TEST_F(PipeExchangeTest, SilentClientIsCutOffAndTheNextOneServed) {
  common::UniqueFileHandle silent = pipe_test::ConnectRawClient();
  ASSERT_TRUE(silent);
  // The next client waits for the instance within its own 5 s budget.
  const ULONGLONG started = GetTickCount64();
  const std::string request = EchoRequestOfSize(80);
  const app::HelperResponse response = app::SendHelperRequest(request);
  EXPECT_TRUE(response.ok) << response.message;
  EXPECT_EQ(response.message, Fingerprint(request));
  EXPECT_LT(GetTickCount64() - started, 5000u);
  // The silent client has been let go.
  std::string error;
  EXPECT_FALSE(app::ReadPipeMessage(silent.get(), 1000, &error).has_value());
  EXPECT_EQ(error.rfind("Failed to read from the tunnel helper pipe: ", 0), 0u) << error;
}

TEST_F(PipeExchangeTest, ResponsesUpToTheClientsLimit) {
  struct Case {
    std::size_t size;
    bool ok;
    std::string message_start;
  };
  const Case cases[] = {
      {5000, true, "xxxx"},
      {131072, true, "xxxx"},
      {131073, false, "Tunnel helper response exceeded the maximum supported size."},
  };
  for (const Case& c : cases) {
    const app::HelperResponse response =
        app::SendHelperRequest(common::EncodeHelperRequest("respond", std::to_string(c.size)));
    EXPECT_EQ(response.ok, c.ok) << c.size;
    EXPECT_EQ(response.message.rfind(c.message_start, 0), 0u) << c.size;
    if (c.ok) {
      EXPECT_EQ(response.message.size() + 24, c.size);
    }
  }
  // A client that gave up on an oversized answer does not block the next one.
  const std::string request = EchoRequestOfSize(40);
  EXPECT_EQ(app::SendHelperRequest(request).message, Fingerprint(request));
}

TEST_F(PipeExchangeTest, ServiceAnswersPassThrough) {
  const app::HelperResponse status =
      app::SendHelperRequest(common::EncodeHelperRequest("status", "3"));
  EXPECT_TRUE(status.ok);
  EXPECT_EQ(status.statusRaw, 3);
  const app::HelperResponse failed =
      app::SendHelperRequest(common::EncodeHelperRequest("fail", "Nope."));
  EXPECT_FALSE(failed.ok);
  EXPECT_EQ(failed.message, "Nope.");
  EXPECT_FALSE(failed.statusRaw.has_value());
  const app::HelperResponse bare = app::SendHelperRequest(common::EncodeHelperRequest("fail", ""));
  EXPECT_EQ(bare.message, "ZEQ VPN tunnel helper request failed.");
}

// Running out of memory in the handler or while encoding its answer costs that one request only.
TEST_F(PipeExchangeTest, RequestsThatRunOutOfMemoryAreAnsweredAndServiceGoesOn) {
  for (const char* request : {R"({"command":"throw"})", R"({"command":"fail-encode"})"}) {
    const app::HelperResponse thrown = app::SendHelperRequest(request);
    EXPECT_FALSE(thrown.ok);
    EXPECT_EQ(thrown.message, "The tunnel helper could not carry out the request.") << request;
  }
  const std::string request = EchoRequestOfSize(70);
  EXPECT_EQ(app::SendHelperRequest(request).message, Fingerprint(request));
}

// A client started right after the service (as the app at logon) waits while the service starts
// and is served once the pipe is there: RUNNING is reported only then.
TEST_F(PipeExchangeTest, AClientRightAfterTheServiceStartsIsServed) {
  for (unsigned round = 0; round < 20; ++round) {
    ASSERT_TRUE(test_support::StopServiceAndWait(common::kHelperServiceName));
    ASSERT_EQ(test_support::StartServiceWithoutWaiting(common::kHelperServiceName), 0u);
    const std::string request = EchoRequestOfSize(50, round);
    EXPECT_EQ(app::SendHelperRequest(request).message, Fingerprint(request)) << "round " << round;
  }
}

TEST_F(PipeExchangeTest, StoppedServiceIsUnavailable) {
  ASSERT_TRUE(test_support::StopServiceAndWait(common::kHelperServiceName));
  const app::HelperResponse response = app::SendHelperRequest(R"({"command":"status"})");
  EXPECT_FALSE(response.ok);
  EXPECT_EQ(response.message, kUnavailable);
  EXPECT_FALSE(response.statusRaw.has_value());
}

// Every request gets its own answer: nothing lost, nothing unavailable, nothing mixed up.
TEST_F(PipeExchangeTest, ThousandRequestsInARowAndFourClientsInParallel) {
  for (unsigned i = 0; i < 1000; ++i) {
    const std::string request = EchoRequestOfSize(40 + i % 300, i);
    const app::HelperResponse response = app::SendHelperRequest(request);
    ASSERT_EQ(response.message, Fingerprint(request)) << "request " << i;
  }
  std::atomic<int> answered{0};
  std::vector<std::string> failures(4);
  std::vector<std::thread> clients;
  for (unsigned client = 0; client < 4; ++client) {
    clients.emplace_back([client, &answered, &failures] {
      for (unsigned i = 0; i < 250; ++i) {
        const std::string request =
            EchoRequestOfSize(40 + (client * 250 + i) % 500, client * 1000 + i);
        const app::HelperResponse response = app::SendHelperRequest(request);
        if (!response.ok || response.message != Fingerprint(request)) {
          failures[client] = "client " + std::to_string(client) + " request " + std::to_string(i) +
                             ": " + response.message;
          return;
        }
        ++answered;
      }
    });
  }
  for (std::thread& t : clients) t.join();
  for (const std::string& failure : failures) EXPECT_EQ(failure, "");
  EXPECT_EQ(answered.load(), 1000);
}

}  // namespace
