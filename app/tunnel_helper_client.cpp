#include "app/tunnel_helper_client.h"

#include <algorithm>
#include <array>

#include "common/helper_json.h"
#include "common/helper_names.h"
#include "common/log_file.h"
#include "common/service_status_lookup.h"
#include "common/unique_handle.h"
#include "common/windows_error.h"

namespace app {

using common::HelperRequest;
using common::ReceivedHelperResponse;

namespace {

constexpr char kUnavailableMessage[] =
    "ZEQ VPN tunnel helper service is unavailable. Reinstall or repair ZEQ VPN and try again.";
// Other clients held the one instance for the whole wait: nothing is wrong with the install.
constexpr char kBusyMessage[] = "ZEQ VPN tunnel helper service is busy. Try again in a moment.";
// How often a client looks again for the pipe of a service that is still starting.
constexpr DWORD kStartingServicePollMs = 50;
constexpr char kNotOurServiceMessage[] =
    "ZEQ VPN tunnel helper pipe is not served by the ZEQ VPN tunnel helper service.";

// A failure of the exchange itself (not one the service answered), noted in the log.
ReceivedHelperResponse Failure(std::string message) {
  common::Log(common::LogLevel::kWarning, "tunnel helper not reached", {{"reason", message}});
  ReceivedHelperResponse response;
  response.message = std::move(message);
  return response;
}

// The tunnel helper service as the service control manager sees it. Looked up before the pipe is
// opened: the service gives a connected client little time to begin its request.
common::ServiceStatusLookup LookUpHelperService() {
  return common::LookUpServiceStatus(common::kHelperServiceName);
}

// The state of "DAVIZATunnelHelper", or 0 when it cannot be read.
DWORD HelperServiceState() {
  const common::ServiceStatusLookup lookup = LookUpHelperService();
  return lookup.status ? lookup.status->dwCurrentState : 0;
}

// Whether the process at the other end of `pipe` is the running tunnel helper service. The request
// may carry a private key, so it goes nowhere else; a check that cannot be made says why.
std::optional<std::string> CheckServedByHelperService(HANDLE pipe,
                                                      const common::ServiceStatusLookup& expected) {
  ULONG server_process = 0;
  if (!GetNamedPipeServerProcessId(pipe, &server_process)) {
    return "Couldn't verify the ZEQ VPN tunnel helper service: " +
           common::DescribeWindowsErrorKeepingBlanks(GetLastError());
  }
  if (!expected.status) {
    return "Couldn't verify the ZEQ VPN tunnel helper service: " +
           common::DescribeWindowsErrorKeepingBlanks(expected.error);
  }
  if (expected.status->dwCurrentState == SERVICE_STOPPED ||
      expected.status->dwProcessId != server_process) {
    return std::string(kNotOurServiceMessage);
  }
  return std::nullopt;
}

// Opens the pipe within kPipeWaitTimeoutMs. Another client may take the free instance between the
// wait and the open, and a service that is still starting has no pipe yet; neither is a failure
// while time remains.
common::UniqueFileHandle OpenHelperPipe(std::string& error_text) {
  const ULONGLONG deadline = GetTickCount64() + kPipeWaitTimeoutMs;
  // What remains of the budget; at least 1, since 0 would mean the pipe's default wait.
  const auto remaining_ms = [deadline]() -> DWORD {
    const ULONGLONG now = GetTickCount64();
    return now < deadline ? std::max<DWORD>(static_cast<DWORD>(deadline - now), 1) : 1;
  };
  // Set once a look failed while the service ran: it may have opened its pipe since that look.
  bool looked_again = false;
  for (;;) {
    DWORD error = ERROR_SUCCESS;
    if (WaitNamedPipeW(common::kHelperPipeName, remaining_ms())) {
      // Identification only: a server that is not the service learns who asks, but cannot act
      // as the user.
      common::UniqueFileHandle pipe(
          CreateFileW(common::kHelperPipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                      OPEN_EXISTING, SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
      if (pipe) {
        return pipe;
      }
      error = GetLastError();
      if (error == ERROR_PIPE_BUSY) {
        if (GetTickCount64() < deadline) continue;
        error_text = kBusyMessage;
        return {};
      }
      if (error != ERROR_FILE_NOT_FOUND) {
        error_text = "Failed to open the ZEQ VPN tunnel helper pipe: " +
                     common::DescribeWindowsErrorKeepingBlanks(error);
        return {};
      }
    } else {
      error = GetLastError();
      if (error == ERROR_SEM_TIMEOUT) {
        error_text = kBusyMessage;
        return {};
      }
      if (error != ERROR_FILE_NOT_FOUND) {
        error_text = "Failed to reach the ZEQ VPN tunnel helper service: " +
                     common::DescribeWindowsErrorKeepingBlanks(error);
        return {};
      }
    }
    // No pipe: unavailable, unless the service is still starting (keep looking) or runs (it
    // may have opened its pipe after the look: look once more at once).
    if (error == ERROR_FILE_NOT_FOUND && GetTickCount64() < deadline) {
      const DWORD state = HelperServiceState();
      if (state == SERVICE_START_PENDING) {
        Sleep(std::min<DWORD>(kStartingServicePollMs, remaining_ms()));
        continue;
      }
      if (state != 0 && state != SERVICE_STOPPED && !looked_again) {
        looked_again = true;
        continue;
      }
    }
    error_text = kUnavailableMessage;
    return {};
  }
}

// One exchange. `unread`: set when the service did not get the request, so did not carry it out.
ReceivedHelperResponse ExchangeOnce(std::string_view request, bool& unread) {
  unread = false;
  const common::ServiceStatusLookup expected = LookUpHelperService();
  std::string error_text;
  common::UniqueFileHandle pipe = OpenHelperPipe(error_text);
  if (!pipe) {
    return Failure(std::move(error_text));
  }
  std::optional<std::string> refusal = CheckServedByHelperService(pipe.get(), expected);
  if (refusal && expected.status) {
    // The service may have restarted between the look-up and the open.
    refusal = CheckServedByHelperService(pipe.get(), LookUpHelperService());
  }
  if (refusal) {
    return Failure(std::move(*refusal));
  }

  DWORD mode = PIPE_READMODE_MESSAGE;
  SetNamedPipeHandleState(pipe.get(), &mode, nullptr, nullptr);

  // An empty request still goes out as one (empty) message, which the service answers, rather
  // than leaving both sides waiting for a message that never comes.
  std::size_t sent = 0;
  do {
    DWORD written = 0;
    if (!WriteFile(pipe.get(), request.data() + sent, static_cast<DWORD>(request.size() - sent),
                   &written, nullptr)) {
      unread = true;  // The service let go before the request was written.
      return Failure("Failed to send the request to the ZEQ VPN tunnel helper.");
    }
    sent += written;
  } while (sent < request.size());

  const std::optional<std::string> answer =
      ReadPipeMessage(pipe.get(), common::kMaxHelperResponseBytes, &error_text);
  pipe.reset();
  if (!answer) {
    return Failure(std::move(error_text));
  }
  ReceivedHelperResponse response = InterpretHelperResponse(*answer);
  unread = !response.ok && response.message.starts_with(common::kRequestNotReadPrefix);
  return response;
}

}  // namespace

ReceivedHelperResponse InterpretHelperResponse(std::string_view answer) {
  std::optional<ReceivedHelperResponse> response = common::DecodeHelperResponse(answer);
  if (!response) {
    return Failure("Received an invalid response from the tunnel helper.");
  }
  if (!response->ok && response->message.empty()) {
    response->message = "ZEQ VPN tunnel helper request failed.";
  }
  return std::move(*response);
}

std::optional<std::string> ReadPipeMessage(HANDLE pipe, std::size_t limit,
                                           std::string* error_text) {
  std::array<char, common::kPipeReadChunkBytes> buffer{};
  std::string message;
  for (;;) {
    DWORD read = 0;
    const BOOL complete =
        ReadFile(pipe, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr);
    const DWORD error = complete ? ERROR_SUCCESS : GetLastError();
    if (read > 0) {
      message.append(buffer.data(), read);
      if (message.size() > limit) {
        if (error_text) *error_text = "Tunnel helper response exceeded the maximum supported size.";
        return std::nullopt;
      }
    }
    if (complete) {
      if (message.empty()) {
        if (error_text) *error_text = "Tunnel helper returned an empty response.";
        return std::nullopt;
      }
      return message;
    }
    if (error != ERROR_MORE_DATA) {
      if (error_text) {
        *error_text = "Failed to read from the tunnel helper pipe: " +
                      common::DescribeWindowsErrorKeepingBlanks(error);
      }
      return std::nullopt;
    }
  }
}

ReceivedHelperResponse SendHelperRequest(const HelperRequest& request) {
  return SendHelperMessage(common::EncodeHelperRequest(request));
}

ReceivedHelperResponse SendHelperMessage(std::string_view request) {
  bool unread = false;
  ReceivedHelperResponse response = ExchangeOnce(request, unread);
  // The service gives a connected client a fraction of a second to begin its request, so that
  // silent clients cannot keep the one instance from the rest; on a busy machine this client can
  // miss that too. The request was not carried out then, and goes once more.
  if (unread) response = ExchangeOnce(request, unread);
  return response;
}

}  // namespace app
