#include "tunnel_helper/pipe_server.h"

#include <sddl.h>

#include <array>
#include <utility>

#include "common/helper_names.h"
#include "common/windows_error.h"

namespace tunnel_helper {
namespace {

// Creates the one instance of the pipe under its security descriptor. FILE_FLAG_FIRST_PIPE_INSTANCE
// keeps the service from joining a pipe another process created first, which would then receive
// some of the clients' requests (and their private keys).
std::optional<PipeInstance> CreatePipeInstance() {
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
  if (!pipe) {
    return std::nullopt;
  }
  common::UniqueHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!event) {
    return std::nullopt;
  }
  return PipeInstance(std::move(pipe), std::move(event));
}

bool IsSet(HANDLE event) { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

constexpr char kRequestNotCarriedOut[] = "The tunnel helper could not carry out the request.";

// The encoded response to the request on the connection. No exception leaves it: a request that
// cannot be read, carried out or answered for want of memory (in practice a command with an
// enormous output) is answered with a short failure, and the service goes on serving.
// `client_silent` tells whether the client sent nothing within the time it had.
std::string RespondTo(PipeInstance& instance, RequestHandler handler,
                      bool& client_silent) noexcept {
  try {
    std::string error_text;
    DWORD read_error = ERROR_SUCCESS;
    const std::optional<std::string> request =
        ReadHelperRequest(instance, common::kMaxHelperRequestBytes, &error_text, &read_error);
    client_silent = read_error == ERROR_TIMEOUT;
    return common::EncodeHelperResponse(request ? handler(*request)
                                                : common::MakeFailureResponse(error_text));
  } catch (...) {
  }
  try {
    return common::EncodeHelperResponse(common::MakeFailureResponse(kRequestNotCarriedOut));
  } catch (...) {
    return {};  // Not even that: the client is disconnected without an answer.
  }
}

}  // namespace

std::optional<std::string> ReadHelperRequest(PipeInstance& instance, std::size_t limit,
                                             std::string* error_text, DWORD* read_error) {
  const Deadline first_bytes(kFirstRequestBytesTimeoutMs);
  const Deadline whole(kClientIoTimeoutMs);
  std::array<char, common::kPipeReadChunkBytes> buffer{};
  std::string request;
  bool oversized = false;
  for (bool first = true;; first = false) {
    const PipeIoResult read = instance.Read(buffer.data(), static_cast<DWORD>(buffer.size()),
                                            first ? first_bytes : whole);
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
                        DescribeWindowsError(read.error);
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

bool ServeConnection(PipeInstance& instance, RequestHandler handler) noexcept {
  bool client_silent = false;
  const std::string text = RespondTo(instance, handler, client_silent);
  // Nor are these waits cut short by a stop: the request has been carried out, and disconnecting
  // now would throw away the part of its answer the client has not read yet.
  const Deadline deadline(kClientIoTimeoutMs);
  std::size_t written = 0;
  while (written < text.size()) {
    const PipeIoResult write =
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

void RunPipeServer(HANDLE stop_event, HANDLE listening_event, RequestHandler handler) noexcept {
  std::optional<PipeInstance> instance;
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
    const PipeIoResult connect = instance->Connect(stop_event, listening_event);
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
