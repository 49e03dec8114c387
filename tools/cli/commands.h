#pragma once

// The commands of brx; each takes the whole argv and the index of its first
// own argument, and returns the exit code.

namespace brx {

int listCommand(int argc, char **argv, int first);
int testCommand(int argc, char **argv, int first);
int extractCommand(int argc, char **argv, int first);
int addCommand(int argc, char **argv, int first);
int deleteCommand(int argc, char **argv, int first);
int commentCommand(int argc, char **argv, int first);
int cabCommand(int argc, char **argv, int first);
int convertCommand(int argc, char **argv, int first);

} // namespace brx
