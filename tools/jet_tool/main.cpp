// jet-tool: the engine's command-line tool (listing, dumping, checking, looking up, creating
// and changing files).
#include "cli/command.h"

int main(int argc, char** argv) { return cli::Dispatch("jet-tool", argc, argv); }
