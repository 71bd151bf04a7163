// The files the demo reads from its data folder, by their names there. The
// entries look for them to tell the demo's own data folder from any other
// folder of that name (a user's ~/data, where the menu starts the program).
#pragma once

#include <string>
#include <vector>

// Every file the start-up opens, in the order it opens them.
const std::vector<std::string>& demoDataFiles();
