// The shell's "open": web addresses, mail links, files and programs with their default handler.
#pragma once

#include <QString>
#include <functional>

// Opens a local path or an address; false when the system refused. Only for targets of the program's
// own making (its manual, its installer, pages it wrote, the vendor's configured site); addresses that
// come from a city file or a service go through OpenOutsideLink.
bool ShellOpen(const QString& target);

// Whether an address from outside may reach the system's opener: an http or https address with a
// host, or a plain "mailto:" or "skype:" link without parameters. Anything else (a local file, a
// launcher, a script scheme, a mail link that attaches files) is refused.
bool IsSafeOutsideLink(const QString& address);

// Opens an address from outside when IsSafeOutsideLink allows it, always as an address, never as a
// local path; false when refused (nothing reaches the system or the hook) or when the system refused.
bool OpenOutsideLink(const QString& address);

// Tests capture what would be opened; an empty hook restores the real shell.
using ShellOpenHook = std::function<bool(const QString& target)>;
void SetShellOpenHook(ShellOpenHook hook);
