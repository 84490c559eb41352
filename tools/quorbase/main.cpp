// quorbase: the laboratory's command-line tool over the results database (demo data, and the
// tasks of the programs without their windows).
#include "cli/command.h"

int main(int argc, char** argv) { return cli::Dispatch("quorbase", argc, argv); }
