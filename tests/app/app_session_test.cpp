// zeq_vpn.exe run whole under Wine and Xvfb: the stand-in embedding's Dart side, the real service
// "DAVIZATunnelHelper" with the WireGuard stand-in, and later starts of the program.
#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "app/session_mutex.h"
#include "common/file_bytes.h"
#include "common/helper_names.h"
#include "common/unique_handle.h"
#include "standins/flutter_embedding/control_request.h"
#include "tests/support/files.h"
#include "tests/support/process.h"
#include "tests/support/tunnel_machine.h"
#include "tests/support/wait.h"
#include "tests/support/windows_service.h"

namespace app {
namespace {

constexpr wchar_t kAppData[] = L"C:\\users\\Public\\zeq-app-session-test";
constexpr wchar_t kOpenCommandKey[] = L"Software\\Classes\\daviza\\shell\\open\\command";

std::wstring AppCommand(const std::wstring& arguments = L"") {
  return test_support::BuiltProgram(L"zeq_vpn.exe") + (arguments.empty() ? L"" : L" " + arguments);
}

std::vector<HWND> MainWindows() {
  std::vector<HWND> windows;
  for (HWND window = nullptr;
       (window = FindWindowExW(nullptr, window, nullptr, L"ZEQ VPN for Windows")) != nullptr;) {
    windows.push_back(window);
  }
  return windows;
}

// The stand-in's answer to `request`, sent through its control pipe.
std::string Control(const std::string& request) {
  return standin::SendControlRequest(request).value_or("(no answer)");
}

std::string Events() { return Control("events"); }

// The user this test runs as (the app and its later starts inherit it), from the process token.
std::vector<char> OwnUser() {
  common::UniqueHandle token;
  std::vector<char> user(sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE);
  DWORD size = 0;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.receive()) ||
      !GetTokenInformation(token.get(), TokenUser, user.data(), static_cast<DWORD>(user.size()),
                           &size)) {
    ADD_FAILURE() << "no token user";
  }
  return user;
}

// That user's account as "DOMAIN\name", the way the service's log names who asked.
std::string OwnAccount() {
  std::vector<char> user = OwnUser();
  wchar_t name[256] = {};
  wchar_t domain[256] = {};
  DWORD name_size = 256;
  DWORD domain_size = 256;
  SID_NAME_USE use{};
  EXPECT_TRUE(LookupAccountSidW(nullptr, reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, name,
                                &name_size, domain, &domain_size, &use));
  const std::wstring account = std::wstring(domain) + L"\\" + name;
  return std::string(account.begin(), account.end());  // ASCII under Wine
}

std::string AppLog() {
  return common::ReadWholeFile(std::wstring(kAppData) + L"\\ZEQ VPN\\logs\\zeq_vpn.log")
      .value_or("");
}

bool EventsContain(const std::string& text, DWORD limit_ms = 30000) {
  return test_support::PollUntil([&] { return Events().find(text) != std::string::npos; },
                                 limit_ms);
}

// The first instance, started with `arguments`, its service and a clean machine; closed (and its
// exit code checked) at the end of the test.
class AppSessionTest : public test_support::CleanMachineTest {
 protected:
  void StartFirstInstance(const std::wstring& arguments) {
    ASSERT_TRUE(test_support::RegisterService(common::kHelperServiceName, L"tunnel_helper.exe"));
    ASSERT_TRUE(test_support::StartServiceAndWait(common::kHelperServiceName));
    test_support::RemoveTree(kAppData);
    test_support::CreateFolders(kAppData);
    // The app's children inherit it: no real user's queue file is touched.
    SetEnvironmentVariableW(L"LOCALAPPDATA", kAppData);
    first_ = test_support::StartProcess(AppCommand(arguments));
    ASSERT_TRUE(first_);
    ASSERT_TRUE(EventsContain("frame 1")) << Events();
  }
  void TearDown() override {
    if (first_) {
      for (HWND window : MainWindows()) PostMessageW(window, WM_CLOSE, 0, 0);
      EXPECT_EQ(WaitForSingleObject(first_.get(), 10000), static_cast<DWORD>(WAIT_OBJECT_0));
      DWORD exit_code = 1;
      GetExitCodeProcess(first_.get(), &exit_code);
      EXPECT_EQ(exit_code, 0u);
      TerminateProcess(first_.get(), 1);
    }
    EXPECT_TRUE(test_support::StopServiceAndWait(common::kHelperServiceName));
    test_support::RemoveTree(kAppData);
    CleanMachineTest::TearDown();
  }
  common::UniqueHandle first_;
};

TEST_F(AppSessionTest, FirstStartOpensTheWindowAndDrivesTheTunnelThroughTheService) {
  StartFirstInstance(L"--verbose \"daviza://first link\"");
  const std::vector<HWND> windows = MainWindows();
  ASSERT_EQ(windows.size(), 1u);
  RECT frame{};
  GetWindowRect(windows[0], &frame);
  EXPECT_EQ(std::tuple(frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top),
            std::tuple(10L, 10L, 1280L, 720L));
  EXPECT_TRUE(test_support::PollUntil([&] { return IsWindowVisible(windows[0]) != FALSE; }, 5000));
  // Shown, it is active and its view has the keyboard focus.
  EXPECT_TRUE(test_support::PollUntil(
      [&] {
        GUITHREADINFO thread{};
        thread.cbSize = sizeof(thread);
        return GetGUIThreadInfo(GetWindowThreadProcessId(windows[0], nullptr), &thread) &&
               thread.hwndFocus == GetWindow(windows[0], GW_CHILD);
      },
      5000));
  // The view keeps covering the client area when the window is resized.
  SetWindowPos(windows[0], nullptr, 0, 0, 700, 500, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_TRUE(test_support::PollUntil(
      [&] {
        RECT client{}, view{};
        GetClientRect(windows[0], &client);
        GetWindowRect(GetWindow(windows[0], GW_CHILD), &view);
        MapWindowPoints(HWND_DESKTOP, windows[0], reinterpret_cast<POINT*>(&view), 2);
        return client.right < 700 && EqualRect(&view, &client) != FALSE;
      },
      5000));
  // The arguments as given; the link pushed before the window was shown, and still pending.
  const std::string events = Events();
  EXPECT_EQ(events.rfind("started 2\narg --verbose\narg daviza://first link\n"
                         "received com.daviza.vpn/app authCallback visible=0 "
                         "{url: daviza://first link}\nframe 1\n",
                         0),
            0u)
      << events;
  EXPECT_EQ(Control("invoke com.daviza.vpn/app consumeAuthCallback none"),
            "success string daviza://first link");
  // Only web and mail links leave the app: one the shell would open as a file or run as a program
  // is refused. (A program that does not exist: a fault here must not start one.)
  const std::string launcher = "invoke plugins.flutter.io/url_launcher_windows ";
  const std::string program = " url\nfile:///C:/windows/system32/no-such-program.exe";
  EXPECT_EQ(Control(launcher + "canLaunch" + program), "success bool false");
  EXPECT_EQ(Control(launcher + "launch" + program),
            "error unsupported_scheme\nOnly http, https and mailto links can be opened.");

  // The tunnel's calls reach the service and WireGuard; how failures travel is seen layer by layer.
  ASSERT_TRUE(test_support::PlaceWireGuardStandIn(test_support::kWireGuardExe));
  const std::pair<std::string, std::string> calls[] = {
      {"invoke com.daviza.vpn/tunnel start config\n" + test_support::TunnelConfig(),
       "success null"},
      {"invoke com.daviza.vpn/tunnel status none", "success int 3"},
      {"invoke com.daviza.vpn/tunnel stop none", "success null"},
      {"invoke com.daviza.vpn/tunnel status none", "success int 0"},
  };
  for (const auto& [request, answer] : calls) EXPECT_EQ(Control(request), answer);
  const std::string start = "invoke com.daviza.vpn/tunnel start config\n";
  EXPECT_EQ(Control(start + test_support::TunnelConfig("PostUp = x\r\n"))
                .rfind("error start_failed\nWireGuard config contains script commands", 0),
            0u);

  // Both ends logged each call: the service with the app's process and account, neither with
  // the config.
  const std::string service_log =
      common::ReadWholeFile(L"C:\\ProgramData\\ZEQ VPN\\logs\\tunnel_helper.log").value_or("");
  const std::string app_log = AppLog();
  const std::string requester = "request pid=" + std::to_string(GetProcessId(first_.get())) +
                                " user=" + OwnAccount() + " command=";
  for (const char* command : {"start", "status", "stop"}) {
    EXPECT_NE(service_log.find("INFO " + requester + command + " outcome=ok duration_ms="),
              std::string::npos)
        << service_log;
    EXPECT_NE(app_log.find(std::string("INFO tunnel call method=") + command +
                           " outcome=ok duration_ms="),
              std::string::npos)
        << app_log;
  }
  const std::string refused = "start outcome=\"WireGuard config contains script commands";
  EXPECT_NE(service_log.find("WARN " + requester + refused), std::string::npos) << service_log;
  EXPECT_NE(app_log.find("WARN tunnel call method=" + refused), std::string::npos) << app_log;
  for (const std::string& log : {service_log, app_log}) {
    EXPECT_EQ(log.find("PrivateKey"), std::string::npos) << log;
    EXPECT_EQ(log.find("yAnz5TF"), std::string::npos) << log;
  }
}

// Later starts hand their links to the first instance in order, wake it and exit with 0 without
// a window; the command that the first start registered for "daviza://" links does the same.
TEST_F(AppSessionTest, LaterStartsHandTheirLinksToTheFirstInstance) {
  StartFirstInstance(L"");
  const HWND window = MainWindows().at(0);
  ShowWindow(window, SW_MINIMIZE);
  EXPECT_EQ(test_support::RunProcess(AppCommand(L"daviza://one DAVIZA://Two other")).exit_code, 0u);
  ASSERT_TRUE(EventsContain("authCallback visible=1 {url: DAVIZA://Two}")) << Events();
  EXPECT_NE(Events().find("{url: daviza://one}\nreceived com.daviza.vpn/app authCallback "
                          "visible=1 {url: DAVIZA://Two}"),
            std::string::npos);
  EXPECT_EQ(Events().find("{url: daviza://one}"), Events().rfind("{url: daviza://one}"))
      << "pushed once";
  EXPECT_FALSE(IsIconic(window)) << "the first instance came to the front";
  EXPECT_EQ(MainWindows().size(), 1u);

  // Without links: activation only (once the window is back, the start has been handled).
  ShowWindow(window, SW_MINIMIZE);
  const std::string before = Events();
  EXPECT_EQ(test_support::RunProcess(AppCommand()).exit_code, 0u);
  EXPECT_TRUE(test_support::PollUntil([&] { return !IsIconic(window); }, 5000));
  EXPECT_EQ(Events().find("authCallback", before.size()), std::string::npos);

  // Wine's shell does not see per-user URL registrations, so the registered command line is run
  // here with the link in place of %1.
  const std::optional<std::wstring> command =
      test_support::RegistryText(HKEY_CURRENT_USER, kOpenCommandKey, nullptr);
  ASSERT_TRUE(command);
  std::wstring opened = *command;
  opened.replace(opened.find(L"%1"), 2, L"daviza://from-the-browser?code=SECRET");
  EXPECT_EQ(test_support::RunProcess(opened).exit_code, 0u);
  EXPECT_TRUE(EventsContain("{url: daviza://from-the-browser?code=SECRET}")) << Events();

  // The log tells the hand-off from both sides, without the link's query.
  const std::string log = AppLog();
  for (const char* line :
       {"INFO app started version=1.0.0 pid=", " instance=\"hand-off to the first\"\n",
        "INFO link handed over link=daviza://from-the-browser\n",
        "from=\"a later start\" link=daviza://from-the-browser\n"}) {
    EXPECT_NE(log.find(line), std::string::npos) << line << " in\n" << log;
  }
  EXPECT_EQ(log.find("SECRET"), std::string::npos) << log;

  // A later start loads neither the embedding nor the plugin: the program alone in a folder
  // hands its link over all the same.
  const std::wstring alone = std::wstring(kAppData) + L"\\alone\\zeq_vpn.exe";
  test_support::CreateFolders(std::wstring(kAppData) + L"\\alone");
  ASSERT_TRUE(
      CopyFileW((test_support::ProgramFolder() + L"\\zeq_vpn.exe").c_str(), alone.c_str(), FALSE));
  EXPECT_EQ(test_support::RunProcess(L"\"" + alone + L"\" daviza://alone").exit_code, 0u);
  EXPECT_TRUE(EventsContain("{url: daviza://alone}")) << Events();
}

// A refused view, and an engine refused for want of its bundle (a copy of the program without
// data\ beside it), end the program with 1 and the glue's line, without a window.
TEST(AppProgram, ExitsWithOneWhenTheViewCannotBeCreated) {
  const std::wstring bare = std::wstring(kAppData) + L"\\bare";
  test_support::CreateFolders(bare);
  for (const wchar_t* file :
       {L"zeq_vpn.exe", L"flutter_windows.dll", L"url_launcher_windows_plugin.dll"}) {
    ASSERT_TRUE(CopyFileW((test_support::ProgramFolder() + L"\\" + file).c_str(),
                          (bare + L"\\" + file).c_str(), FALSE));
  }
  SetEnvironmentVariableW(L"LOCALAPPDATA", kAppData);
  for (const std::wstring& command : {AppCommand(), L"\"" + bare + L"\\zeq_vpn.exe\""}) {
    SetEnvironmentVariableW(L"ZEQ_FLUTTER_STANDIN_REFUSE_VIEW",
                            command == AppCommand() ? L"1" : nullptr);
    const test_support::ProcessRun run = test_support::RunProcess(command);
    EXPECT_EQ(run.exit_code, 1u);
    EXPECT_NE(run.output.find("Failed to create view controller."), std::string::npos)
        << run.output;
    EXPECT_TRUE(MainWindows().empty());
  }
  test_support::RemoveTree(kAppData);
}

// Wine enforces no DACL, so the session mutexes' descriptor is checked itself: the process's own
// user may open them too, as a normal start must when an elevated first instance created them.
// (That a second creation finds the first is seen in the later starts above.)
TEST(SessionMutex, GrantsTheProcessUserBesidesSystemAndAdministrators) {
  std::vector<char> user = OwnUser();
  common::UniqueLocalMemory text;
  ASSERT_TRUE(ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid,
                                     reinterpret_cast<LPWSTR*>(text.receive())));
  EXPECT_EQ(SessionMutexSddl(), L"D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;GA;;;" +
                                    std::wstring(static_cast<wchar_t*>(text.get())) + L")");
}

}  // namespace
}  // namespace app
