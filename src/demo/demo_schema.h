// The tables of a results database as the laboratory keeps them: the four tables the tools
// work on, with the fields the tools name and the further columns a laboratory's records
// carry, and the initialisation database's one table. Tests of every task build their files
// from these, so that what they exercise has the shape of the real files.
#pragma once

#include <vector>

#include "jet/create.h"

namespace jet {
class Database;
}

namespace demo {

// The initialisation database's table and field.
inline constexpr char kInitializeTable[] = "INITIALIZE";
inline constexpr char kResultsPathField[] = "RESULTS_PATH";

// Column sizes of the key texts, shared by every table that holds them.
inline constexpr uint16_t kInstIdSize = 20;
inline constexpr uint16_t kCertNoSize = 20;

// Instruments, Calibrations, Results and Additional Data, in that order.
std::vector<jet::TableDesign> ResultsTableDesigns();
jet::TableDesign InstrumentsDesign();
jet::TableDesign CalibrationsDesign();
jet::TableDesign ResultsDesign();
jet::TableDesign AdditionalDataDesign();

// INITIALIZE with its text field RESULTS_PATH.
jet::TableDesign InitializeDesign();

// Adds the four tables of a results database to a database opened for writing.
void CreateResultsTables(jet::Database& db);

}  // namespace demo
