#pragma once
#include <string>

namespace morvak {

// The running executable's directory with its trailing separator ("/opt/morvak/"),
// from /proc/self/exe; empty when it cannot be found.
std::string GetModuleDirectory();

// Joins the module directory and a program-relative name written with
// backslashes ("file\\LURRA.ini" becomes "<dir>file/LURRA.ini").
std::string ModuleRelativePath(const std::string& directory, const std::string& windowsName);

}  // namespace morvak
