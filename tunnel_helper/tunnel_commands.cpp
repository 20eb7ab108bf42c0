#include "tunnel_helper/tunnel_commands.h"

#include <string>

#include "tunnel_helper/config_directory.h"
#include "tunnel_helper/failure_message.h"
#include "tunnel_helper/script_hooks.h"
#include "tunnel_helper/tunnel_config_store.h"
#include "tunnel_helper/tunnel_names.h"
#include "tunnel_helper/tunnel_service_state.h"
#include "tunnel_helper/wireguard_runner.h"

namespace tunnel_helper {

namespace {

constexpr char kMissingConfig[] = "Missing WireGuard config for the tunnel helper.";
constexpr char kWireGuardMissing[] =
    "WireGuard for Windows is missing. Reinstall ZEQ VPN to restore the bundled WireGuard "
    "dependency and try again.";
constexpr char kInstallFailed[] = "WireGuard couldn't install the tunnel.";
constexpr char kUninstallFailed[] = "WireGuard couldn't uninstall the tunnel.";

common::HelperResponse Succeed(std::uint32_t state) {
  return {.ok = true, .message = {}, .statusRaw = state};
}

// The sentence, then two line feeds and the detail when there is one, shortened to fit.
common::HelperResponse FailWithDetail(const char* sentence, const std::string& detail) {
  return common::MakeFailureResponse(FailureWithDetail(sentence, detail));
}

WireGuardRunResult UninstallTunnel(const std::wstring& program) {
  return RunWireGuardCommand(program, {L"/uninstalltunnelservice", kTunnelName});
}

}  // namespace

common::HelperResponse RunTunnelCommand(const common::HelperRequest& request) {
  if (request.command == "status") {
    return GetTunnelStatus();
  }
  if (request.command == "stop") {
    return StopTunnel();
  }
  if (request.command == "start") {
    if (!request.config) {
      return common::MakeFailureResponse(kMissingConfig);
    }
    return StartTunnel(*request.config);
  }
  return common::MakeFailureResponse("Unsupported tunnel helper command.");
}

common::HelperResponse StartTunnel(std::string_view config, const TunnelCommandOptions& options) {
  if (config.empty()) {
    return common::MakeFailureResponse(kMissingConfig);
  }
  if (config.size() > kMaxWireGuardConfigBytes) {
    return common::MakeFailureResponse("WireGuard config exceeded the maximum supported size.");
  }
  // Checked before anything is stored or run: the stored config stays as it was.
  if (ContainsScriptHooks(config)) {
    return common::MakeFailureResponse(kScriptHooksRefused);
  }
  std::string store_error;
  const std::optional<ConfigStorePaths> paths = ResolveConfigStorePaths(store_error);
  if (!paths) {
    return common::MakeFailureResponse(std::move(store_error));
  }
  // The config is stored before anything else is checked, so it is replaced even when a later
  // step fails. Its folders stay held until WireGuard has read it: meanwhile no one can move
  // them, or put another config in their place.
  const std::optional<HeldConfigFolders> store = WriteWireGuardConfig(*paths, config, store_error);
  if (!store) {
    return common::MakeFailureResponse(std::move(store_error));
  }
  const std::optional<std::wstring> program = FindWireGuardExe();
  if (!program) {
    return common::MakeFailureResponse(kWireGuardMissing);
  }
  // Removes a tunnel left from before; on a machine where none is installed WireGuard reports a
  // failure, so the outcome says nothing and is not looked at.
  UninstallTunnel(*program);

  const WireGuardRunResult install =
      RunWireGuardCommand(*program, {L"/installtunnelservice", paths->config_file});
  if (!install.started) {
    return common::MakeFailureResponse(install.text);
  }
  if (install.exitCode != 0) {
    return FailWithDetail(kInstallFailed, install.text);
  }
  std::string wait_error;
  if (!WaitForTunnelServiceState(kTunnelStateRunning, options.wait_limit_ms, wait_error)) {
    return FailWithDetail(kInstallFailed, wait_error);
  }
  return Succeed(kTunnelStateRunning);
}

common::HelperResponse StopTunnel(const TunnelCommandOptions& options) {
  std::string query_error;
  const std::optional<std::uint32_t> initial_state = QueryTunnelServiceState(query_error);
  if (!initial_state) {
    return common::MakeFailureResponse(std::move(query_error));
  }
  if (*initial_state == kTunnelStateNotRunning) {
    // WireGuard is neither looked for nor run, so this holds without WireGuard too.
    return Succeed(kTunnelStateNotRunning);
  }
  const std::optional<std::wstring> program = FindWireGuardExe();
  if (!program) {
    return common::MakeFailureResponse(kWireGuardMissing);
  }
  const WireGuardRunResult uninstall = UninstallTunnel(*program);
  if (!uninstall.started) {
    return common::MakeFailureResponse(uninstall.text);
  }
  if (uninstall.exitCode != 0) {
    // WireGuard may fail after the tunnel is already gone; only a tunnel that still runs counts.
    const std::optional<std::uint32_t> state = QueryTunnelServiceState(query_error);
    if (!state) {
      return common::MakeFailureResponse(std::move(query_error));
    }
    if (*state != kTunnelStateNotRunning) {
      return FailWithDetail(kUninstallFailed, uninstall.text);
    }
  }
  std::string wait_error;
  if (!WaitForTunnelServiceState(kTunnelStateNotRunning, options.wait_limit_ms, wait_error)) {
    return FailWithDetail(kUninstallFailed, wait_error);
  }
  return Succeed(kTunnelStateNotRunning);
}

common::HelperResponse GetTunnelStatus() {
  std::string query_error;
  const std::optional<std::uint32_t> state = QueryTunnelServiceState(query_error);
  if (!state) {
    return common::MakeFailureResponse(std::move(query_error));
  }
  return Succeed(*state);
}

}  // namespace tunnel_helper
