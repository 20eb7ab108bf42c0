#include "tunnel_helper/pipe_server.h"

#include <sddl.h>

#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/helper_names.h"
#include "common/log_file.h"
#include "common/pipe_io.h"
#include "common/token_user.h"
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
  if (!pipe ||
      !GetNamedPipeHandleStateW(pipe.get(), nullptr, &instances, nullptr, nullptr, nullptr, 0) ||
      instances != 1) {
    if (pipe) SetLastError(ERROR_PIPE_BUSY);
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
          *error_text = common::kRequestNotReadPrefix + common::DescribeWindowsError(read.error);
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

// Who asks: the client's process and the account it runs as ("unknown" when the system will not
// say). Names are looked up once per account: a lookup may ask a domain controller.
struct Requester {
  DWORD process_id = 0;
  std::string account = "unknown";
};

Requester IdentifyClient(HANDLE pipe) {
  static std::map<std::wstring, std::string> names;  // Only the pipe server's thread uses it.
  Requester requester;
  ULONG process_id = 0;
  if (GetNamedPipeClientProcessId(pipe, &process_id)) requester.process_id = process_id;
  common::UniqueHandle token;
  if (!ImpersonateNamedPipeClient(pipe)) return requester;
  const BOOL opened = OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, token.receive());
  RevertToSelf();
  std::vector<BYTE> user = opened ? common::TokenUserSid(token.get()) : std::vector<BYTE>();
  const std::wstring key = user.empty() ? std::wstring() : common::SidText(user.data());
  if (key.empty()) return requester;
  if (const auto known = names.find(key); known != names.end()) {
    requester.account = known->second;
    return requester;
  }
  wchar_t name[256] = {};
  wchar_t domain[256] = {};
  DWORD name_size = 256;
  DWORD domain_size = 256;
  SID_NAME_USE use{};
  requester.account =
      LookupAccountSidW(nullptr, user.data(), name, &name_size, domain, &domain_size, &use)
          ? common::WideToUtf8(std::wstring(domain) + L"\\" + name)
          : common::WideToUtf8(key);
  if (names.size() < 64) names.emplace(key, requester.account);
  return requester;
}

// Logs what became of the pipe's name; `error`, when there is one, is why it was not had.
void LogPipeName(common::LogLevel level, std::string_view event, DWORD error) noexcept {
  try {
    const std::string pipe = common::WideToUtf8(common::kHelperPipeName);
    if (error == ERROR_SUCCESS) {
      common::Log(level, event, {{"pipe", pipe}});
    } else {
      common::Log(level, event, {{"pipe", pipe}, {"reason", common::DescribeWindowsError(error)}});
    }
  } catch (...) {
    // Out of memory: the line is lost.
  }
}

// One connection's exchange, for the log.
struct Exchange {
  std::string response;        // encoded; empty when not even a failure could be encoded
  bool client_silent = false;  // the client sent nothing within the time it had
  Requester requester;
  std::string command;
  std::string outcome;  // "ok", or the failure's first line
};

// The encoded response to the request on the connection. No exception leaves it: a request that
// cannot be read, carried out or answered for want of memory (in practice a command with an
// enormous output) is answered with a short failure, and the service goes on serving.
void RespondTo(common::PipeInstance& instance, RequestHandler handler,
               Exchange& exchange) noexcept {
  try {
    std::string error_text;
    DWORD read_error = ERROR_SUCCESS;
    const std::optional<std::string> text =
        ReadHelperRequest(instance, common::kMaxHelperRequestBytes, &error_text, &read_error);
    exchange.client_silent = read_error == ERROR_TIMEOUT;
    // Who asks matters only to the log.
    if (common::HasProcessLog()) exchange.requester = IdentifyClient(instance.handle());
    common::HelperResponse response;
    if (!text) {
      response = common::MakeFailureResponse(error_text);
    } else if (std::optional<common::HelperRequest> request = common::DecodeHelperRequest(*text)) {
      exchange.command = request->command;
      response = handler(*request);
    } else {
      response = common::MakeFailureResponse("Missing command for the tunnel helper.");
    }
    exchange.outcome = response.ok ? "ok" : std::string(common::FirstLine(response.message));
    exchange.response = common::EncodeHelperResponse(response);
    return;
  } catch (...) {
  }
  try {
    exchange.outcome = kRequestNotCarriedOut;
    exchange.response =
        common::EncodeHelperResponse(common::MakeFailureResponse(kRequestNotCarriedOut));
  } catch (...) {
    exchange.response.clear();  // Not even that: the client is disconnected without an answer.
  }
}

// Reads the request, has it carried out, writes the response and waits, within
// kClientIoTimeoutMs, for the client to take it. True when the client sent nothing in its time.
bool ServeConnection(common::PipeInstance& instance, RequestHandler handler) noexcept {
  const ULONGLONG started = GetTickCount64();
  Exchange exchange;
  RespondTo(instance, handler, exchange);
  const std::string& text = exchange.response;
  // Nor are these waits cut short by a stop: the request has been carried out, and disconnecting
  // now would throw away the part of its answer the client has not read yet.
  const common::Deadline deadline(kClientIoTimeoutMs);
  std::size_t written = 0;
  while (written < text.size()) {
    const common::PipeIoResult write =
        instance.Write(text.data() + written, static_cast<DWORD>(text.size() - written), deadline);
    if (!write.ok) break;
    written += write.bytes;
  }
  // Logged while the client reads its answer.
  common::Log(exchange.outcome == "ok" ? common::LogLevel::kInfo : common::LogLevel::kWarning,
              "request",
              {{"pid", exchange.requester.process_id},
               {"user", exchange.requester.account},
               {"command", exchange.command},
               {"outcome", exchange.outcome},
               {"duration_ms", common::MillisecondsSince(started)}});
  // A client that sent nothing in its time is not waited for a second time.
  if (written == text.size() && !exchange.client_silent) instance.WaitForClientToClose(deadline);
  return exchange.client_silent;
}

}  // namespace

void RunPipeServer(HANDLE stop_event, HANDLE listening_event, RequestHandler handler) noexcept {
  std::optional<common::PipeInstance> instance;
  bool name_refused = false;
  while (!IsSet(stop_event)) {
    if (!instance) {
      instance = CreatePipeInstance();
      if (!instance) {
        // Another process may hold the name: the service still counts as started, and tries
        // again, but leaves at once on a stop.
        if (!name_refused) {
          LogPipeName(common::LogLevel::kError,
                      "pipe not created; another process may hold its name", GetLastError());
        }
        name_refused = true;
        SetEvent(listening_event);
        WaitForSingleObject(stop_event, kPipeRetryDelayMs);
        continue;
      }
      if (name_refused) LogPipeName(common::LogLevel::kInfo, "pipe created", ERROR_SUCCESS);
      name_refused = false;
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
