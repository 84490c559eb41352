// What a command-line tool takes from and gives to the system, the same on every system: its
// arguments in UTF-8, and standard output written byte for byte.
#pragma once

#include <string>
#include <vector>

namespace cli {

// The program's arguments, argv[0] first, in UTF-8. Windows hands main() its arguments in the
// ANSI code page, which loses every letter outside it ("Müller" may survive, Greek does not):
// there they are read again from the wide command line.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Puts standard output and standard error in binary mode: the tools write their own line ends
// (CSV's CR LF among them), which text mode on Windows would turn into CR CR LF. Console
// output is taken as UTF-8 there, as the tools write it.
void UseBinaryStandardStreams();

}  // namespace cli
