// Orders and lookups on the programs the CLI shows.
#pragma once

#include <string>
#include <vector>

#include "CliArgs.h"
#include "ListRender.h"

// A stable order whatever order the component gave: by name (case-insensitive), by size or install date
// (largest, newest first), or by category then name; ties by name, registry key and id.
void SortPrograms(std::vector<Program>& programs, SortKey key);

// show NAME|ID: a number names the program with that id; otherwise the programs whose name equals the text
// (ignoring case), else those whose name contains it.
std::vector<const Program*> FindPrograms(const std::vector<Program>& programs, const std::wstring& target);
