// Questions to the person at the terminal. The answer is read on a thread of its own, so the host thread keeps
// serving its windows (the component's among them) and a Ctrl-C ends the question at once.
#pragma once

#include <string>

#include "CliOutput.h"
#include "ComponentHost.h"

// True when standard input is a console a person types into.
bool StdinIsTerminal();

enum class Answer { Given, Interrupted, Closed };

// Asks on standard error and reads one line (without its line end) into answer.
Answer AskLine(Console& console, ComponentHost& host, const std::string& question, std::string& answer);
