#include "app/tunnel_helper_client.h"

#include <array>

#include "common/helper_json.h"
#include "common/helper_names.h"
#include "common/unique_handle.h"
#include "common/windows_error.h"

namespace app {
namespace {

constexpr char kUnavailableMessage[] =
    "ZEQ VPN tunnel helper service is unavailable. Reinstall or repair ZEQ VPN and try again.";
constexpr char kNotOurServiceMessage[] =
    "ZEQ VPN tunnel helper pipe is not served by the ZEQ VPN tunnel helper service.";

HelperResponse Failure(std::string message) {
  HelperResponse response;
  response.message = std::move(message);
  return response;
}

// Whether the process at the other end of `pipe` is the running tunnel helper service. Anything
// that cannot be checked counts as no: the request may carry a private key.
bool IsServedByHelperService(HANDLE pipe) {
  ULONG server_process = 0;
  if (!GetNamedPipeServerProcessId(pipe, &server_process) || server_process == 0) {
    return false;
  }
  UniqueServiceHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) {
    return false;
  }
  UniqueServiceHandle service(OpenServiceW(manager.get(), kHelperServiceName, SERVICE_QUERY_STATUS));
  if (!service) {
    return false;
  }
  SERVICE_STATUS_PROCESS status{};
  DWORD needed = 0;
  if (!QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO,
                            reinterpret_cast<BYTE*>(&status), sizeof(status), &needed)) {
    return false;
  }
  return status.dwCurrentState != SERVICE_STOPPED && status.dwProcessId == server_process;
}

// Opens the pipe within kPipeWaitTimeoutMs. Another client may take the free instance between
// the wait and the open; that is not a failure while time remains.
UniqueFileHandle OpenHelperPipe(std::string& error_text) {
  const ULONGLONG deadline = GetTickCount64() + kPipeWaitTimeoutMs;
  DWORD wait_ms = kPipeWaitTimeoutMs;
  for (;;) {
    if (!WaitNamedPipeW(kHelperPipeName, wait_ms)) {
      const DWORD error = GetLastError();
      error_text = error == ERROR_FILE_NOT_FOUND || error == ERROR_SEM_TIMEOUT
                       ? std::string(kUnavailableMessage)
                       : "Failed to reach the ZEQ VPN tunnel helper service: " +
                             DescribeWindowsError(error);
      return {};
    }
    UniqueFileHandle pipe(CreateFileW(kHelperPipeName, GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    if (pipe) {
      return pipe;
    }
    const DWORD error = GetLastError();
    const ULONGLONG now = GetTickCount64();
    if (error == ERROR_PIPE_BUSY && now < deadline) {
      wait_ms = static_cast<DWORD>(deadline - now);  // At least 1: 0 would mean the default.
      continue;
    }
    error_text = error == ERROR_FILE_NOT_FOUND ? std::string(kUnavailableMessage)
                                               : "Failed to open the ZEQ VPN tunnel helper pipe: " +
                                                     DescribeWindowsError(error);
    return {};
  }
}

}  // namespace

HelperResponse InterpretHelperResponse(std::string_view answer) {
  const std::optional<bool> ok = FindJsonBoolField(answer, "ok");
  if (!ok) {
    return Failure("Received an invalid response from the tunnel helper.");
  }
  HelperResponse response;
  response.ok = *ok;
  if (std::optional<std::string> message = FindJsonStringField(answer, "message")) {
    response.message = std::move(*message);
  }
  response.statusRaw = FindJsonIntField(answer, "statusRaw");
  if (!response.ok && response.message.empty()) {
    response.message = "ZEQ VPN tunnel helper request failed.";
  }
  return response;
}

std::optional<std::string> ReadPipeMessage(HANDLE pipe, std::size_t limit,
                                           std::string* error_text) {
  std::array<char, kPipeReadChunkBytes> buffer{};
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
        *error_text = "Failed to read from the tunnel helper pipe: " + DescribeWindowsError(error);
      }
      return std::nullopt;
    }
  }
}

HelperResponse SendHelperRequest(std::string_view request) {
  std::string error_text;
  UniqueFileHandle pipe = OpenHelperPipe(error_text);
  if (!pipe) {
    return Failure(std::move(error_text));
  }
  if (!IsServedByHelperService(pipe.get())) {
    return Failure(kNotOurServiceMessage);
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
      return Failure("Failed to send the request to the ZEQ VPN tunnel helper.");
    }
    sent += written;
  } while (sent < request.size());

  const std::optional<std::string> answer =
      ReadPipeMessage(pipe.get(), kMaxHelperResponseBytes, &error_text);
  pipe.reset();
  if (!answer) {
    return Failure(std::move(error_text));
  }

  return InterpretHelperResponse(*answer);
}

}  // namespace app
