// The service's life under the real service control manager of the Wine prefix.
#include <aclapi.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "app/tunnel_helper_client.h"
#include "common/windows_error.h"
#include "tests/pipe/pipe_test_support.h"
#include "tests/support/pipe_squatter.h"

namespace {

using test_support::QueryService;
using test_support::SendServiceControl;
using test_support::WaitForService;

constexpr DWORD kStopAndShutdown = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN;
constexpr char kNotOurService[] =
    "ZEQ VPN tunnel helper pipe is not served by the ZEQ VPN tunnel helper service.";

class ServiceHostTest : public pipe_test::HelperServiceTest {};

SERVICE_STATUS_PROCESS WaitUntilStopped(DWORD timeout_ms) {
  return WaitForService(
      common::kHelperServiceName, timeout_ms,
      [](const SERVICE_STATUS_PROCESS& s) { return s.dwCurrentState == SERVICE_STOPPED; });
}

TEST_F(ServiceHostTest, RunningReportsStopAndShutdownAccepted) {
  const SERVICE_STATUS_PROCESS status = QueryService(common::kHelperServiceName);
  EXPECT_EQ(status.dwServiceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(status.dwControlsAccepted, kStopAndShutdown);
  EXPECT_EQ(status.dwCheckPoint, 0u);
  EXPECT_EQ(status.dwWaitHint, 0u);
  EXPECT_EQ(status.dwWin32ExitCode, 0u);
  EXPECT_NE(status.dwProcessId, 0u);
}

TEST_F(ServiceHostTest, InterrogateChangesNothing) {
  EXPECT_EQ(SendServiceControl(common::kHelperServiceName, SERVICE_CONTROL_INTERROGATE), 0u);
  const SERVICE_STATUS_PROCESS status = QueryService(common::kHelperServiceName);
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
  EXPECT_EQ(status.dwCheckPoint, 0u);
  const std::string request = pipe_test::EchoRequestOfSize(30);
  EXPECT_EQ(app::SendHelperRequest(request).message, pipe_test::Fingerprint(request));
}

TEST_F(ServiceHostTest, StopWithNoClientEndsAtOnce) {
  const ULONGLONG started = GetTickCount64();
  ASSERT_EQ(SendServiceControl(common::kHelperServiceName, SERVICE_CONTROL_STOP), 0u);
  const SERVICE_STATUS_PROCESS status = WaitUntilStopped(5000);
  EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(status.dwWin32ExitCode, 0u);
  EXPECT_LT(GetTickCount64() - started, 2000u);
  EXPECT_FALSE(WaitNamedPipeW(common::kHelperPipeName, 100));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(ServiceHostTest, StopWhileServingFinishesTheRequestFirst) {
  app::HelperResponse response;
  std::thread client([&response] {
    response = app::SendHelperRequest(common::EncodeHelperRequest("sleep", "1500"));
  });
  Sleep(300);  // The request is now being carried out.
  ASSERT_EQ(SendServiceControl(common::kHelperServiceName, SERVICE_CONTROL_STOP), 0u);
  const SERVICE_STATUS_PROCESS pending = QueryService(common::kHelperServiceName);
  EXPECT_EQ(pending.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
  EXPECT_EQ(pending.dwCheckPoint, 1u);
  EXPECT_EQ(pending.dwWaitHint, 3000u);
  EXPECT_EQ(pending.dwControlsAccepted, kStopAndShutdown);
  // A second stop while pending: a manager that passes it on sees the next checkpoint.
  if (SendServiceControl(common::kHelperServiceName, SERVICE_CONTROL_STOP) == ERROR_SUCCESS) {
    EXPECT_EQ(QueryService(common::kHelperServiceName).dwCheckPoint, 2u);
  }
  client.join();
  EXPECT_TRUE(response.ok) << response.message;
  EXPECT_EQ(response.message, "slept");
  const SERVICE_STATUS_PROCESS stopped = WaitUntilStopped(5000);
  EXPECT_EQ(stopped.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_EQ(stopped.dwWin32ExitCode, 0u);
}

TEST_F(ServiceHostTest, StopIsNotHeldUpByASilentClient) {
  common::UniqueFileHandle silent = pipe_test::ConnectRawClient();
  ASSERT_TRUE(silent);
  Sleep(100);
  const ULONGLONG started = GetTickCount64();
  ASSERT_EQ(SendServiceControl(common::kHelperServiceName, SERVICE_CONTROL_STOP), 0u);
  EXPECT_EQ(WaitUntilStopped(6000).dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
  EXPECT_LT(GetTickCount64() - started, 4000u);
}

TEST_F(ServiceHostTest, StopBetweenConnectAndRequestStillServesTheClient) {
  common::UniqueFileHandle client = pipe_test::ConnectRawClient();
  ASSERT_TRUE(client);
  ASSERT_EQ(SendServiceControl(common::kHelperServiceName, SERVICE_CONTROL_STOP), 0u);
  ASSERT_EQ(QueryService(common::kHelperServiceName).dwCurrentState,
            static_cast<DWORD>(SERVICE_STOP_PENDING));
  const std::string request = pipe_test::EchoRequestOfSize(90);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(client.get(), request.data(), static_cast<DWORD>(request.size()), &written,
                        nullptr));
  std::string error;
  EXPECT_EQ(app::ReadPipeMessage(client.get(), 1000, &error).value_or(error),
            R"({"ok":true,"message":")" + pipe_test::Fingerprint(request) + "\"}");
  client.reset();
  EXPECT_EQ(WaitUntilStopped(5000).dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
}

TEST_F(ServiceHostTest, PipeCarriesItsSecurityDescriptor) {
  common::UniqueFileHandle pipe = pipe_test::ConnectRawClient();
  ASSERT_TRUE(pipe);
  PACL dacl = nullptr;
  common::UniqueLocalMemory descriptor;
  ASSERT_EQ(GetSecurityInfo(pipe.get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                            nullptr, &dacl, nullptr, descriptor.receive()),
            static_cast<DWORD>(ERROR_SUCCESS));
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(GetSecurityDescriptorControl(descriptor.get(), &control, &revision));
  EXPECT_TRUE(control & SE_DACL_PROTECTED) << "no inherited entries";
  ASSERT_NE(dacl, nullptr);
  struct Grant {
    WELL_KNOWN_SID_TYPE sid;
    ACCESS_MASK mask;
  };
  const Grant grants[] = {{WinLocalSystemSid, GENERIC_ALL},
                          {WinBuiltinAdministratorsSid, GENERIC_ALL},
                          {WinAuthenticatedUserSid, GENERIC_READ | GENERIC_WRITE}};
  ASSERT_EQ(dacl->AceCount, std::size(grants));
  for (DWORD i = 0; i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, &ace));
    const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
    EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(allowed->Mask, grants[i].mask) << "entry " << i;
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sid_size = sizeof(sid);
    ASSERT_TRUE(CreateWellKnownSid(grants[i].sid, nullptr, sid, &sid_size));
    EXPECT_TRUE(EqualSid(const_cast<DWORD*>(&allowed->SidStart), sid)) << "entry " << i;
  }
}

TEST_F(ServiceHostTest, NameHeldByAnotherServerIsNotTrusted) {
  ASSERT_TRUE(test_support::StopServiceAndWait(common::kHelperServiceName));
  {
    // This test process takes the name first, as a local attacker could.
    test_support::PipeSquatter squatter(common::kHelperPipeName);
    ASSERT_TRUE(squatter.valid());
    // With the service stopped, and then with it running beside the squatter, the client refuses
    // to send anything to the squatter.
    const app::HelperResponse stopped = app::SendHelperRequest(R"({"command":"secret"})");
    EXPECT_FALSE(stopped.ok);
    EXPECT_EQ(stopped.message, kNotOurService);
    EXPECT_EQ(squatter.Received(1000), "") << "nothing was sent to the squatter";
    squatter.ListenAgain();

    ASSERT_EQ(test_support::StartServiceAndWait(common::kHelperServiceName), "");
    const app::HelperResponse running = app::SendHelperRequest(R"({"command":"secret"})");
    EXPECT_EQ(running.message, kNotOurService);
    EXPECT_EQ(squatter.Received(1000), "");
    EXPECT_EQ(QueryService(common::kHelperServiceName).dwCurrentState,
              static_cast<DWORD>(SERVICE_RUNNING));
  }
  // Once the name is free again, the service takes it within its retry pause.
  const ULONGLONG deadline = GetTickCount64() + 5000;
  app::HelperResponse served;
  const std::string request = pipe_test::EchoRequestOfSize(64);
  while (!(served = app::SendHelperRequest(request)).ok && GetTickCount64() < deadline) {
    Sleep(50);  // A poll: nothing signals that the name was taken.
  }
  EXPECT_EQ(served.message, pipe_test::Fingerprint(request));
}

// When the server's identity cannot be checked at all (here: no such service), the client says
// so, rather than calling the server a stranger, and sends it nothing.
TEST_F(ServiceHostTest, AServerThatCannotBeCheckedIsNotTrustedAndTheClientSaysWhy) {
  ASSERT_TRUE(test_support::StopServiceAndWait(common::kHelperServiceName));
  ASSERT_EQ(test_support::DeleteServiceAndWait(common::kHelperServiceName), "");
  test_support::PipeSquatter squatter(common::kHelperPipeName);
  ASSERT_TRUE(squatter.valid());
  const app::HelperResponse response = app::SendHelperRequest(R"({"command":"secret"})");
  EXPECT_FALSE(response.ok);
  EXPECT_EQ(response.message, "Couldn't verify the ZEQ VPN tunnel helper service: " +
                                  app::DescribeWindowsError(ERROR_SERVICE_DOES_NOT_EXIST));
  EXPECT_EQ(squatter.Received(1000), "");
}

// The product program, not the test service.
class ProductServiceTest : public pipe_test::HelperServiceTest {
 protected:
  ProductServiceTest() : HelperServiceTest(L"tunnel_helper.exe") {}
};

TEST_F(ProductServiceTest, AnswersOverThePipe) {
  const app::HelperResponse response = app::SendHelperRequest(R"({"command":"reboot"})");
  EXPECT_FALSE(response.ok);
  EXPECT_EQ(response.message, "Unsupported tunnel helper command.");
}

TEST(ProductProgram, StartedByHandExitsWithZero) {
  std::wstring command = L"\"" + test_support::ProgramFolder() + L"\\tunnel_helper.exe\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process));
  common::UniqueHandle process_handle(process.hProcess);
  common::UniqueHandle thread_handle(process.hThread);
  // Wine takes about 10 s to give up connecting to the service control manager.
  ASSERT_EQ(WaitForSingleObject(process_handle.get(), 30000), static_cast<DWORD>(WAIT_OBJECT_0));
  DWORD exit_code = 1;
  ASSERT_TRUE(GetExitCodeProcess(process_handle.get(), &exit_code));
  EXPECT_EQ(exit_code, 0u);
}

}  // namespace
