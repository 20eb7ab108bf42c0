#include "tunnel_helper/script_hooks.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ContainsScriptHooks, FindsEveryHookKeyHoweverItIsWritten) {
  const std::pair<std::string, bool> cases[] = {
      {"[Interface]\r\nPrivateKey = a\r\nAddress = 10.0.0.2/32\r\n", false},
      {"[Interface]\nPreUp = calc.exe\n", true},
      {"[Interface]\r\nPostUp=calc.exe\r\n", true},
      {"[Peer]\nPublicKey = b\n  \tpredown   =  x\n", true},      // any section, blanks, case
      {"POSTDOWN = x", true},                                     // no section, no line end
      {"[Interface]\rPostUp = x\r", true},                        // lone CR line ends
      {"\xEF\xBB\xBFPreUp = x\n", true},                          // behind a byte-order mark
      {"\xC2\xA0PreUp\xC2\xA0= x\n", true},                       // behind no-break spaces
      {"Po\xC5\xBFtUp = x\n", true},                              // a long s
      {"# PreUp = x\n;PostUp\n", false},                          // a comment, no "="
      {"Address = 10.0.0.2 # PostUp = x\n", false},               // a trailing comment
      {"PreUpdate = x\nTable = PostUp\nPrePostUp = x\n", false},  // other keys and values
      {"", false},
  };
  for (const auto& [config, hooks] : cases) {
    EXPECT_EQ(tunnel_helper::ContainsScriptHooks(config), hooks) << config;
  }
}

}  // namespace
