// Services in the Wine prefix's real service control manager, driven the way an installer or an
// administrator would. Every wait is bounded, so that a broken service fails a test instead of
// hanging it; what fails says which call, with the system's code and text, or the state it saw.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/support/wait.h"

namespace test_support {

// Creates the own-process, demand-start service `name` running `program` (a file name in the
// program folder), in place of one of that name that is there already.
::testing::AssertionResult RegisterService(const std::wstring& name, const std::wstring& program);

// Starts the service and waits until it reports RUNNING.
::testing::AssertionResult StartServiceAndWait(const std::wstring& name, DWORD limit_ms = 15000);

// Asks for the start and returns at once, as the system at logon would.
::testing::AssertionResult StartServiceWithoutWaiting(const std::wstring& name);

// Sends one control without waiting for its effect.
::testing::AssertionResult SendServiceControl(const std::wstring& name, DWORD control);

// Stops the service if it runs and waits until it has; an unknown service counts as stopped.
::testing::AssertionResult StopServiceAndWait(const std::wstring& name, DWORD limit_ms = 15000);

// Stops the service (killing its process if it will not stop), deletes it and waits until the
// manager no longer knows it. An unknown service is no error.
::testing::AssertionResult RemoveService(const std::wstring& name);

// The current status; dwCurrentState is 0 when the service cannot be queried.
SERVICE_STATUS_PROCESS QueryService(const std::wstring& name);

// A service's registration as QueryServiceConfigW and QueryServiceConfig2W report it. (Wine keeps
// no failure actions: it answers ERROR_INVALID_LEVEL for them.)
struct ServiceConfig {
  DWORD type = 0;
  DWORD start_type = 0;
  std::wstring binary_path;
  std::wstring account;
  std::wstring display_name;
  std::wstring description;
};

// Nothing when the service is unknown or its configuration cannot be read.
std::optional<ServiceConfig> QueryServiceConfiguration(const std::wstring& name);

// Polls until `predicate(status)` holds or the time is up; returns the last status seen.
template <typename Predicate>
SERVICE_STATUS_PROCESS WaitForService(const std::wstring& name, DWORD limit_ms,
                                      Predicate predicate) {
  SERVICE_STATUS_PROCESS status{};
  static_cast<void>(PollUntil([&] { return predicate(status = QueryService(name)); }, limit_ms));
  return status;
}

}  // namespace test_support
