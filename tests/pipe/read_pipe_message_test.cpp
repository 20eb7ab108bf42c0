// The client's reader and response interpretation, against pipes this test serves itself.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "app/tunnel_helper_client.h"
#include "common/unique_handle.h"

namespace {

// A message pipe pair with a name of this test's own. The server end writes; the client end is in
// message read mode, as the app's is.
struct PipePair {
  common::UniqueFileHandle server;
  common::UniqueFileHandle client;
};

PipePair MakePipePair() {
  const std::wstring name = L"\\\\.\\pipe\\zeq-test-" + std::to_wstring(GetCurrentProcessId()) +
                            L"-" + std::to_wstring(GetTickCount64());
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

void WriteMessage(HANDLE pipe, const std::string& bytes) {
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(pipe, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
  ASSERT_EQ(written, bytes.size());
}

TEST(ReadPipeMessage, ReadsWholeMessagesUpToTheLimit) {
  constexpr std::size_t kLimit = 131072;
  for (const std::size_t size : {std::size_t{1}, std::size_t{4095}, std::size_t{4096},
                                 std::size_t{4097}, std::size_t{10000}, kLimit}) {
    PipePair pipes = MakePipePair();
    ASSERT_TRUE(pipes.server && pipes.client);
    std::string message(size, '\0');
    for (std::size_t i = 0; i < size; ++i) message[i] = static_cast<char>(i * 7 + 3);
    WriteMessage(pipes.server.get(), message);
    WriteMessage(pipes.server.get(), "next");  // Not part of the first message.
    std::string error = "untouched";
    const std::optional<std::string> read =
        app::ReadPipeMessage(pipes.client.get(), kLimit, &error);
    ASSERT_TRUE(read.has_value()) << size << ": " << error;
    EXPECT_EQ(*read, message) << size;
    EXPECT_EQ(error, "untouched");
    EXPECT_EQ(app::ReadPipeMessage(pipes.client.get(), kLimit, nullptr), "next");
  }
}

TEST(ReadPipeMessage, RefusesOneByteOverTheLimitEvenInTheLastPiece) {
  for (const std::size_t size : {std::size_t{131073}, std::size_t{200000}}) {
    PipePair pipes = MakePipePair();
    WriteMessage(pipes.server.get(), std::string(size, 'r'));
    std::string error;
    EXPECT_FALSE(app::ReadPipeMessage(pipes.client.get(), 131072, &error).has_value());
    EXPECT_EQ(error, "Tunnel helper response exceeded the maximum supported size.");
  }
  // A limit that falls inside the last 4096-byte piece.
  PipePair pipes = MakePipePair();
  WriteMessage(pipes.server.get(), std::string(5000, 'r'));
  std::string error;
  EXPECT_FALSE(app::ReadPipeMessage(pipes.client.get(), 4999, &error).has_value());
  EXPECT_EQ(error, "Tunnel helper response exceeded the maximum supported size.");
}

TEST(ReadPipeMessage, EmptyMessageAndBrokenPipeAreFailures) {
  PipePair pipes = MakePipePair();
  WriteMessage(pipes.server.get(), "");
  std::string error;
  EXPECT_FALSE(app::ReadPipeMessage(pipes.client.get(), 100, &error).has_value());
  EXPECT_EQ(error, "Tunnel helper returned an empty response.");

  pipes.server.reset();  // The service goes away without answering.
  error.clear();
  EXPECT_FALSE(app::ReadPipeMessage(pipes.client.get(), 100, &error).has_value());
  const std::string prefix = "Failed to read from the tunnel helper pipe: ";
  ASSERT_EQ(error.rfind(prefix, 0), 0u) << error;
  EXPECT_GT(error.size(), prefix.size()) << "the system's text follows";
  EXPECT_NE(error.back(), '\n');
}

TEST(InterpretHelperResponse, FoldsEveryAnswerIntoOneShape) {
  struct Case {
    std::string answer;
    bool ok;
    std::string message;
    std::optional<std::int32_t> status;
  };
  const Case cases[] = {
      {R"({"ok":true,"statusRaw":3})", true, "", 3},
      {R"({"ok":true})", true, "", std::nullopt},
      {R"({"ok":true,"message":"note"})", true, "note", std::nullopt},
      {R"({"ok":false})", false, "ZEQ VPN tunnel helper request failed.", std::nullopt},
      {R"({"ok":false,"message":""})", false, "ZEQ VPN tunnel helper request failed.",
       std::nullopt},
      {R"({"ok":false,"message":"a\nb\"c\\"})", false, "a\nb\"c\\", std::nullopt},
      {R"({"ok":"true","statusRaw":3})", false,
       "Received an invalid response from the tunnel helper.", std::nullopt},
      {R"({"ok":1})", false, "Received an invalid response from the tunnel helper.", std::nullopt},
      {R"({"ok":true,"statusRaw":-1})", true, "", -1},
  };
  for (const Case& c : cases) {
    const app::HelperResponse response = app::InterpretHelperResponse(c.answer);
    EXPECT_EQ(response.ok, c.ok) << c.answer;
    EXPECT_EQ(response.message, c.message) << c.answer;
    EXPECT_EQ(response.statusRaw, c.status) << c.answer;
  }
}

}  // namespace
