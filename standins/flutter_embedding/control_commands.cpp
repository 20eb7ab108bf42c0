#include "standins/flutter_embedding/control_commands.h"

#include <optional>
#include <sstream>
#include <vector>

#include "standins/flutter_embedding/rendering.h"

namespace standin {
namespace {

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    if (!text.empty()) text += '\n';
    text += line;
  }
  return text;
}

std::optional<WireValue> InvokeArguments(const std::string& kind, const std::string& payload) {
  if (kind == "none") return WireValue{};
  if (kind == "config" || kind == "url") {
    return WireValue{WireMap{{WireValue{kind}, {payload}}}};
  }
  return std::nullopt;
}

}  // namespace

void RunControlCommand(const std::string& request, Engine& engine, ViewWindow& view,
                       DartProgram& dart, const std::function<void(std::string)>& answer) {
  const std::size_t line_end = request.find('\n');
  std::string command = request.substr(0, line_end);
  if (!command.empty() && command.back() == '\r') command.pop_back();
  const std::string payload = line_end == std::string::npos ? "" : request.substr(line_end + 1);
  std::istringstream words(command);
  std::vector<std::string> parts;
  for (std::string word; words >> word;) parts.push_back(word);

  if (parts.size() == 1 && parts[0] == "events") return answer(JoinLines(engine.events()));
  if (parts.size() == 1 && parts[0] == "times") {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < engine.events().size(); ++i) {
      lines.push_back(std::to_string(engine.event_times()[i]) + " " + engine.events()[i]);
    }
    return answer(JoinLines(lines));
  }
  if (parts.size() == 1 && parts[0] == "state") return answer(JoinLines(dart.Lines()));
  if (parts.size() == 2 && parts[0] == "click") {
    if (parts[1] == "connect") view.Click(ViewWindow::kConnectButton);
    if (parts[1] == "disconnect") view.Click(ViewWindow::kDisconnectButton);
    if (parts[1] == "connect" || parts[1] == "disconnect") return answer("ok");
  }
  if (parts.size() == 4 && parts[0] == "invoke") {
    if (const std::optional<WireValue> arguments = InvokeArguments(parts[3], payload)) {
      return dart.Invoke(parts[1], parts[2], *arguments,
                         [answer](const WireReply& reply) { answer(RenderReply(reply)); });
    }
  }
  answer("unknown command");
}

}  // namespace standin
