// The app's client against the service host under the real service control manager.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "app/tunnel_helper_client.h"
#include "tests/support/pipes.h"
#include "tests/support/process.h"
#include "tests/support/test_helper_service.h"
#include "tests/support/wait.h"

namespace {

using common::kHelperServiceName;
using test_support::EchoOf;
using test_support::EchoRequestOfSize;
using test_support::Fingerprint;

class PipeExchangeTest : public test_support::HelperServiceTest {};

// Requests up to the limit arrive byte for byte, across several reads; longer ones are read to
// their end and refused, and the service serves on.
TEST_F(PipeExchangeTest, RequestsUpToTheLimitAndOneByteMore) {
  for (const std::size_t size : {40u, 4097u, 10000u, 73728u, 73729u, 300000u}) {
    const std::string request = EchoRequestOfSize(size, static_cast<unsigned>(size));
    EXPECT_EQ(app::SendHelperMessage(request).message,
              size <= 73728 ? Fingerprint(request) : "Request exceeded the maximum supported size.")
        << size;
  }
  // An empty request goes out as one empty message and is answered, not left waiting.
  EXPECT_EQ(app::SendHelperMessage("").message, "Received an empty request.");
  EXPECT_EQ(app::SendHelperMessage(R"({"config":"x"})").message,
            "Missing command for the tunnel helper.");
}

// Only the first message is the request; what the client writes after it (a second message, or
// the rest of a request written in two pieces) is read and dropped, and the answer still arrives.
TEST_F(PipeExchangeTest, WhatFollowsTheRequestDoesNotCostTheAnswer) {
  const std::string request = EchoRequestOfSize(60, 1);
  const std::string first_piece = request.substr(0, 25);
  for (const auto& [first, second] : {std::pair<std::string, std::string>{request, R"({"x":1})"},
                                      {first_piece, request.substr(25)}}) {
    const common::UniqueFileHandle pipe = test_support::ConnectRawClient();
    ASSERT_TRUE(pipe);
    ASSERT_TRUE(test_support::WriteMessages(pipe.get(), {first, second}));
    // The service has time to read what followed; letting go of the client then would throw
    // the unread answer away.
    EXPECT_FALSE(test_support::PollUntil(
        [&] { return !PeekNamedPipe(pipe.get(), nullptr, 0, nullptr, nullptr, nullptr); }, 200));
    std::string error;
    EXPECT_EQ(app::ReadPipeMessage(pipe.get(), 1000, &error).value_or(error), EchoOf(first));
  }
}

// Clients that come and go do not keep the next client from its answer within its own 5 s; nor
// does one that gave up on an oversized answer. (Clients that say nothing: see below.)
TEST_F(PipeExchangeTest, MisbehavingClientsDoNotHoldUpTheNext) {
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(test_support::ConnectRawClient());
  const std::string request = EchoRequestOfSize(80);
  EXPECT_EQ(app::SendHelperMessage(request).message, Fingerprint(request));
  EXPECT_EQ(app::SendHelperRequest({.command = "respond", .config = "131073"}).message,
            "Tunnel helper response exceeded the maximum supported size.");
  EXPECT_EQ(app::SendHelperMessage(request).message, Fingerprint(request));
}

// Clients that connect and say nothing, again and again, each lose the one instance within a
// fraction of a second: four of them at once keep a client that writes its request at once from
// hardly any answer. (Cut off after 2 s, they kept it from every one.)
TEST_F(PipeExchangeTest, SilentClientsReconnectingAtOnceDoNotDenyThePipe) {
  std::atomic<bool> stop = false;
  std::vector<std::thread> hogs;
  for (int i = 0; i < 4; ++i) {
    hogs.emplace_back([&stop] {
      while (!stop) {
        const common::UniqueFileHandle pipe(CreateFileW(common::kHelperPipeName,
                                                        GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                                        OPEN_EXISTING, 0, nullptr));
        char answer[512];
        DWORD read = 0;
        if (!pipe)
          WaitNamedPipeW(common::kHelperPipeName, 1000);
        else
          ReadFile(pipe.get(), answer, sizeof(answer), &read, nullptr);  // Until cut off.
      }
    });
  }
  std::string failures;
  for (unsigned i = 0; i < 20; ++i) {
    const std::string request = EchoRequestOfSize(60, i);
    const std::string message = app::SendHelperMessage(request).message;
    if (message != Fingerprint(request)) failures += message + "\n";
  }
  stop = true;
  for (std::thread& hog : hogs) hog.join();
  EXPECT_LE(std::count(failures.begin(), failures.end(), '\n'), 1) << failures;
}

// Running out of memory in the handler or while encoding its answer costs that one request only.
TEST_F(PipeExchangeTest, RequestsThatRunOutOfMemoryAreAnsweredAndServiceGoesOn) {
  for (const char* request : {R"({"command":"throw"})", R"({"command":"fail-encode"})"}) {
    EXPECT_EQ(app::SendHelperMessage(request).message,
              "The tunnel helper could not carry out the request.")
        << request;
  }
  const std::string request = EchoRequestOfSize(70);
  EXPECT_EQ(app::SendHelperMessage(request).message, Fingerprint(request));
}

// A client started right after the service (as the app at logon) waits while the service starts
// and is served once the pipe is there: RUNNING is reported only then. A stopped service is
// unavailable.
TEST_F(PipeExchangeTest, AClientRightAfterTheServiceStartsIsServed) {
  for (unsigned round = 0; round < 20; ++round) {
    ASSERT_TRUE(test_support::StopServiceAndWait(kHelperServiceName));
    ASSERT_TRUE(test_support::StartServiceWithoutWaiting(kHelperServiceName));
    const std::string request = EchoRequestOfSize(50, round);
    EXPECT_EQ(app::SendHelperMessage(request).message, Fingerprint(request)) << "round " << round;
  }
  ASSERT_TRUE(test_support::StopServiceAndWait(kHelperServiceName));
  EXPECT_EQ(
      app::SendHelperMessage(R"({"command":"status"})").message,
      "ZEQ VPN tunnel helper service is unavailable. Reinstall or repair ZEQ VPN and try again.");
}

// Every request gets its own answer: nothing lost, nothing unavailable, nothing mixed up, also
// with clients racing for the one instance.
TEST_F(PipeExchangeTest, RequestsInARowAndFromFourClientsAtOnce) {
  for (unsigned i = 0; i < 300; ++i) {
    const std::string request = EchoRequestOfSize(40 + i % 300, i);
    ASSERT_EQ(app::SendHelperMessage(request).message, Fingerprint(request)) << "request " << i;
  }
  // Processes of their own, as starts of the app are: threads of one process would meet a fault of
  // Wine's, a service look-up that fails now and then with ERROR_INVALID_HANDLE.
  std::vector<std::future<test_support::ProcessRun>> clients;
  for (unsigned client = 0; client < 4; ++client) {
    clients.push_back(std::async(std::launch::async, [client] {
      return test_support::RunProcess(test_support::BuiltProgram(L"echo_client.exe") + L" " +
                                      std::to_wstring(client));
    }));
  }
  for (std::future<test_support::ProcessRun>& client : clients) {
    const test_support::ProcessRun run = client.get();
    EXPECT_EQ(run.exit_code, 0u) << run.output;
  }
}

}  // namespace
