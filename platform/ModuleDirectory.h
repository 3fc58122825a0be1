#pragma once
#include <string>

namespace morvak {

// The running executable's directory with its trailing separator ("/opt/morvak/"),
// from /proc/self/exe: the real executable's, whatever links it was started
// through (/usr/bin/morvak-cli leads to /usr/lib/morvak/morvak-cli, whose
// file/ folder the programs read); empty when it cannot be found.
std::string GetModuleDirectory();

// Joins the module directory and a program-relative name written with
// backslashes ("file\\LURRA.ini" becomes "<dir>file/LURRA.ini").
std::string ModuleRelativePath(const std::string& directory, const std::string& windowsName);

}  // namespace morvak
