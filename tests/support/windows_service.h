// Test helpers that drive services in the Wine prefix's real service control manager. Every wait
// is bounded so that a broken service fails a test instead of hanging it.
#pragma once

#include <windows.h>

#include <string>

namespace test_support {

// The folder of the running test program, where every program of the build lands.
std::wstring ProgramFolder();

// Creates the own-process, demand-start service `name` running `program` (a file name in the
// program folder), or points an existing one at it. Returns an empty string or what went wrong.
std::string RegisterService(const std::wstring& name, const std::wstring& program);

// Starts the service and waits until it reports RUNNING (or fails). Returns "" on success.
std::string StartServiceAndWait(const std::wstring& name, DWORD timeout_ms = 15000);

// Asks the manager to start the service and returns at once, as the installer's last step or the
// system at logon would. Returns the Windows error, 0 on success.
DWORD StartServiceWithoutWaiting(const std::wstring& name);

// Deletes the service and waits until the manager no longer knows it. Returns "" on success.
std::string DeleteServiceAndWait(const std::wstring& name, DWORD timeout_ms = 15000);

// Sends one control without waiting for its effect. Returns the Windows error, 0 on success.
DWORD SendServiceControl(const std::wstring& name, DWORD control);

// Stops the service if it runs and waits until it has stopped. Returns true once it is stopped
// (or does not exist).
bool StopServiceAndWait(const std::wstring& name, DWORD timeout_ms = 15000);

// The current status; dwCurrentState is 0 when the service cannot be queried.
SERVICE_STATUS_PROCESS QueryService(const std::wstring& name);

// Polls until `predicate(status)` holds or the time is up; returns the last status seen.
template <typename Predicate>
SERVICE_STATUS_PROCESS WaitForService(const std::wstring& name, DWORD timeout_ms,
                                      Predicate predicate) {
  const ULONGLONG deadline = GetTickCount64() + timeout_ms;
  SERVICE_STATUS_PROCESS status = QueryService(name);
  while (!predicate(status) && GetTickCount64() < deadline) {
    Sleep(10);
    status = QueryService(name);
  }
  return status;
}

}  // namespace test_support
