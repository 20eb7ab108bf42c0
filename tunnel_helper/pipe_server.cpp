#include "tunnel_helper/pipe_server.h"

#include <sddl.h>

#include <array>
#include <optional>
#include <string>
#include <utility>

#include "common/helper_names.h"
#include "common/pipe_io.h"
#include "common/windows_error.h"

namespace tunnel_helper {
namespace {

// Creates the one instance of the pipe under its security descriptor. The service must not join a
// pipe another process created first, which would then receive some of the clients' requests (and
// their private keys): FILE_FLAG_FIRST_PIPE_INSTANCE refuses that, and the count of instances
// confirms it (Wine ignores the flag).
std::optional<common::PipeInstance> CreatePipeInstance() {
  common::UniqueLocalMemory descriptor;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kHelperPipeSddl, SDDL_REVISION_1,
                                                            descriptor.receive(), nullptr) ||
      !descriptor) {
    return std::nullopt;
  }
  SECURITY_ATTRIBUTES attributes{};
  attributes.nLength = sizeof(attributes);
  attributes.lpSecurityDescriptor = descriptor.get();
  attributes.bInheritHandle = FALSE;

  common::UniqueFileHandle pipe(CreateNamedPipeW(
      common::kHelperPipeName,
      PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
      PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1,
      kPipeBufferBytes, kPipeBufferBytes, 0, &attributes));
  DWORD instances = 0;
  if (!pipe || !GetNamedPipeHandleStateW(pipe.get(), nullptr, &instances, nullptr, nullptr,
                                         nullptr, 0) ||
      instances != 1) {
    return std::nullopt;
  }
  common::UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!event) {
    return std::nullopt;
  }
  return common::PipeInstance(std::move(pipe), std::move(event));
}

bool IsSet(HANDLE event) { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

// Reads the first message on the connection: its beginning within kFirstRequestBytesTimeoutMs, all
// of it within kClientIoTimeoutMs. A message over `limit` bytes is read to its end and thrown
// away. When a read fails, `read_error` receives its Windows error, ERROR_TIMEOUT for a client
// that sent nothing in its time.
std::optional<std::string> ReadHelperRequest(common::PipeInstance& instance, std::size_t limit,
                                             std::string* error_text, DWORD* read_error) {
  const common::Deadline first_bytes(kFirstRequestBytesTimeoutMs);
  const common::Deadline whole(kClientIoTimeoutMs);
  std::array<char, common::kPipeReadChunkBytes> buffer{};
  std::string request;
  bool oversized = false;
  for (bool first = true;; first = false) {
    const common::PipeIoResult read = instance.Read(
        buffer.data(), static_cast<DWORD>(buffer.size()), first ? first_bytes : whole);
    if (!oversized && read.bytes > 0) {
      request.append(buffer.data(), read.bytes);
      if (request.size() > limit) {
        // Keep reading to the end of the message, so that a client still writing it is not
        // left waiting for a service that waits for it to take the answer.
        oversized = true;
        request.clear();
        request.shrink_to_fit();
      }
    }
    if (read.ok || read.error != ERROR_MORE_DATA) {
      if (oversized) {
        if (error_text) *error_text = "Request exceeded the maximum supported size.";
        return std::nullopt;
      }
      if (!read.ok) {
        if (read_error) *read_error = read.error;
        if (error_text) {
          *error_text = "Failed to read request from the tunnel helper pipe: " +
                        common::DescribeWindowsError(read.error);
        }
        return std::nullopt;
      }
      if (request.empty()) {
        if (error_text) *error_text = "Received an empty request.";
        return std::nullopt;
      }
      return request;
    }
  }
}

constexpr char kRequestNotCarriedOut[] = "The tunnel helper could not carry out the request.";

// The encoded response to the request on the connection. No exception leaves it: a request that
// cannot be read, carried out or answered for want of memory (in practice a command with an
// enormous output) is answered with a short failure, and the service goes on serving.
// `client_silent` tells whether the client sent nothing within the time it had.
std::string RespondTo(common::PipeInstance& instance, RequestHandler handler,
                      bool& client_silent) noexcept {
  try {
    std::string error_text;
    DWORD read_error = ERROR_SUCCESS;
    const std::optional<std::string> text =
        ReadHelperRequest(instance, common::kMaxHelperRequestBytes, &error_text, &read_error);
    client_silent = read_error == ERROR_TIMEOUT;
    if (!text) return common::EncodeHelperResponse(common::MakeFailureResponse(error_text));
    const std::optional<common::HelperRequest> request = common::DecodeHelperRequest(*text);
    return common::EncodeHelperResponse(
        request ? handler(*request)
                : common::MakeFailureResponse("Missing command for the tunnel helper."));
  } catch (...) {
  }
  try {
    return common::EncodeHelperResponse(common::MakeFailureResponse(kRequestNotCarriedOut));
  } catch (...) {
    return {};  // Not even that: the client is disconnected without an answer.
  }
}

// Reads the request, has it carried out, writes the response and waits, within
// kClientIoTimeoutMs, for the client to take it. True when the client sent nothing in its time.
bool ServeConnection(common::PipeInstance& instance, RequestHandler handler) noexcept {
  bool client_silent = false;
  const std::string text = RespondTo(instance, handler, client_silent);
  // Nor are these waits cut short by a stop: the request has been carried out, and disconnecting
  // now would throw away the part of its answer the client has not read yet.
  const common::Deadline deadline(kClientIoTimeoutMs);
  std::size_t written = 0;
  while (written < text.size()) {
    const common::PipeIoResult write =
        instance.Write(text.data() + written, static_cast<DWORD>(text.size() - written), deadline);
    if (!write.ok) {
      return client_silent;
    }
    written += write.bytes;
  }
  // A client that sent nothing in its time is not waited for a second time.
  if (!client_silent) instance.WaitForClientToClose(deadline);
  return client_silent;
}

}  // namespace

void RunPipeServer(HANDLE stop_event, HANDLE listening_event, RequestHandler handler) noexcept {
  std::optional<common::PipeInstance> instance;
  while (!IsSet(stop_event)) {
    if (!instance) {
      instance = CreatePipeInstance();
      if (!instance) {
        // Another process may hold the name: the service still counts as started, and tries
        // again, but leaves at once on a stop.
        SetEvent(listening_event);
        WaitForSingleObject(stop_event, kPipeRetryDelayMs);
        continue;
      }
    }
    const common::PipeIoResult connect = instance->Connect(stop_event, listening_event);
    bool client_silent = false;
    if (connect.ok) {
      client_silent = ServeConnection(*instance, handler);
    } else if (IsSet(stop_event)) {
      return;
    } else if (connect.error != ERROR_NO_DATA) {
      instance.reset();  // A client that came and went leaves ERROR_NO_DATA; anything else is a
      continue;          // broken instance.
    }
    // The same instance waits for the next client, so that there is never a moment without a
    // pipe in which a client would find none (or another process could create the name).
    if (!instance->Disconnect()) {
      instance.reset();
    }
    // A client cut off for its silence would otherwise connect again at once, before the clients
    // waiting for the instance have woken: it waits with them instead.
    if (client_silent) WaitForSingleObject(stop_event, kSilentClientPauseMs);
  }
}

}  // namespace tunnel_helper
