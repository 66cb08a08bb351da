#pragma once

// The media readers stop a file once it has cost a set processor time. A
// sanitizer build runs the libraries' code several times slower: its budgets
// grow with it, so that it reads and decodes what a release build does.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr int kCpuBudgetScale = 8;
#else
inline constexpr int kCpuBudgetScale = 1;
#endif
