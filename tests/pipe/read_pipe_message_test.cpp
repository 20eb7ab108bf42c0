// The client's reader and its reading of answers, against pipes this test serves itself.
#include <gtest/gtest.h>

#include <string>

#include "app/tunnel_helper_client.h"
#include "common/unique_handle.h"
#include "tests/pipe/pipe_test_support.h"

namespace {

// A message pipe of this test's own: the server end writes, the client end reads in message
// mode, as the app's does.
struct PipePair {
  common::UniqueFileHandle server;
  common::UniqueFileHandle client;
};

PipePair MakePipePair() {
  const std::wstring name = L"\\\\.\\pipe\\zeq-test-" + std::to_wstring(GetCurrentProcessId());
  PipePair pair;
  pair.server.reset(CreateNamedPipeW(name.c_str(), PIPE_ACCESS_DUPLEX,
                                     PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1,
                                     1 << 20, 1 << 20, 0, nullptr));
  pair.client.reset(CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr));
  DWORD mode = PIPE_READMODE_MESSAGE;
  SetNamedPipeHandleState(pair.client.get(), &mode, nullptr, nullptr);
  return pair;
}

TEST(ReadPipeMessage, ReadsOneWholeMessageUpToTheLimit) {
  const std::string too_long = "Tunnel helper response exceeded the maximum supported size.";
  const struct {
    std::size_t size;
    std::size_t limit;
    bool read;
  } cases[] = {
      {1, 131072, true},       {4096, 131072, true}, {10000, 131072, true}, {131072, 131072, true},
      {131073, 131072, false}, {5000, 4999, false},  // the limit falls inside the last 4096-byte
                                                     // piece
  };
  for (const auto& c : cases) {
    const PipePair pipes = MakePipePair();
    std::string message(c.size, '\0');
    for (std::size_t i = 0; i < c.size; ++i) message[i] = static_cast<char>(i * 7 + 3);
    ASSERT_TRUE(pipe_test::WriteMessages(pipes.server.get(), {message, "next"}));
    std::string error = "untouched";
    EXPECT_EQ(app::ReadPipeMessage(pipes.client.get(), c.limit, &error),
              c.read ? std::optional<std::string>(message) : std::nullopt)
        << c.size;
    EXPECT_EQ(error, c.read ? "untouched" : too_long);
    if (c.read) {
      EXPECT_EQ(app::ReadPipeMessage(pipes.client.get(), c.limit, nullptr), "next");
    }
  }
}

TEST(ReadPipeMessage, EmptyMessageAndBrokenPipeAreFailures) {
  PipePair pipes = MakePipePair();
  ASSERT_TRUE(pipe_test::WriteMessages(pipes.server.get(), {""}));
  std::string error;
  EXPECT_FALSE(app::ReadPipeMessage(pipes.client.get(), 100, &error).has_value());
  EXPECT_EQ(error, "Tunnel helper returned an empty response.");

  pipes.server.reset();  // The service goes away without answering.
  EXPECT_FALSE(app::ReadPipeMessage(pipes.client.get(), 100, &error).has_value());
  const std::string prefix = "Failed to read from the tunnel helper pipe: ";
  ASSERT_EQ(error.rfind(prefix, 0), 0u) << error;
  EXPECT_GT(error.size(), prefix.size()) << "the system's text follows";
  EXPECT_NE(error.back(), '\n');
}

TEST(InterpretHelperResponse, FoldsEveryAnswerIntoOneShape) {
  constexpr char kInvalid[] = "Received an invalid response from the tunnel helper.";
  constexpr char kFailed[] = "ZEQ VPN tunnel helper request failed.";
  const struct {
    std::string answer;
    bool ok;
    std::string message;
    std::optional<std::int32_t> status;
  } cases[] = {
      {R"({"ok":true,"statusRaw":3})", true, "", 3},
      {R"({"ok":true,"message":"note"})", true, "note", std::nullopt},
      {R"({"ok":false})", false, kFailed, std::nullopt},
      {R"({"ok":false,"message":""})", false, kFailed, std::nullopt},
      {R"({"ok":false,"message":"a\nb\"c\\"})", false, "a\nb\"c\\", std::nullopt},
      {R"({"ok":"true","statusRaw":3})", false, kInvalid, std::nullopt},
      {R"({"ok":true,"statusRaw":-1})", true, "", -1},
  };
  for (const auto& c : cases) {
    const common::ReceivedHelperResponse response = app::InterpretHelperResponse(c.answer);
    EXPECT_EQ(response.ok, c.ok) << c.answer;
    EXPECT_EQ(response.message, c.message) << c.answer;
    EXPECT_EQ(response.statusRaw, c.status) << c.answer;
  }
}

}  // namespace
