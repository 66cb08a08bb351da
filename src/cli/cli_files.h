#pragma once

#include <initializer_list>
#include <string>

// Checks on the files a command is given, made before it writes anything.

// Refuses ("errSameFile") an output that is the same file as one of the
// inputs: same device and inode, links followed (a link or a second hard
// link to the catalog is the catalog). Inputs that do not exist are skipped.
void RefuseOutputOverInput(const std::string& output, std::initializer_list<std::string> inputs);
