// The program-wide values: fixed by start-up, read by every window afterwards.
#pragma once

#include <string>

namespace app {

constexpr char kVersionText[] = "V2.00 : 02/06/2009";
// File names as the laboratory's programs join them to a folder.
constexpr char kInitDatabaseName[] = "\\Quorinit.MDB";
constexpr char kMainDatabaseName[] = "\\Quorbase.mdb";
constexpr char kInitTableName[] = "INITIALIZE";
constexpr char kResultsPathField[] = "RESULTS_PATH";

struct ProgramValues {
  // "Kestrine" or "Fendra", a constant of the build.
  std::string program_name;
  std::string version_text;
  // RESULTS_PATH without leading and trailing spaces; empty when the field is Null.
  std::string results_folder;
  // results_folder + "\Quorbase.mdb"; empty when the field is Null.
  std::string main_database_path;
};

}  // namespace app
