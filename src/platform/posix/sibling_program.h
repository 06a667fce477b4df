// Starting a program installed beside the running one, in its place: the
// same process, arguments and environment. The path is taken from where this
// program's file is, never from PATH or the current folder.
#pragma once

#include <string>

namespace vzrm::platform::posix {

// `relative` resolved against the folder of /proc/self/exe.
std::string SiblingProgramPath(const std::string& relative);

// Replaces this process with that program, `argv` unchanged (argv[0] stays
// this program's name). Returns only on failure, with the errno.
int ExecSiblingProgram(const std::string& relative, char** argv);

}  // namespace vzrm::platform::posix
