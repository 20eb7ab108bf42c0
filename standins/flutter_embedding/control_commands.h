// Carries out one control-pipe request on the window thread (see control_pipe.cpp).
#pragma once

#include <functional>
#include <string>

#include "standins/flutter_embedding/dart_program.h"
#include "standins/flutter_embedding/engine.h"
#include "standins/flutter_embedding/view_window.h"

namespace standin {

// Calls `answer` once: at once, or when the native side answers an invoke.
void RunControlCommand(const std::string& request, Engine& engine, ViewWindow& view,
                       DartProgram& dart, const std::function<void(std::string)>& answer);

}  // namespace standin
