// The shell's "open": web addresses, mail links, files and programs with their default handler.
#pragma once

#include <QString>
#include <functional>

// Opens a local path or an address; false when the system refused.
bool ShellOpen(const QString& target);

// Tests capture what would be opened; an empty hook restores the real shell.
using ShellOpenHook = std::function<bool(const QString& target)>;
void SetShellOpenHook(ShellOpenHook hook);
