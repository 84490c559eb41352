#include "demo/demo_writer.h"

#include "db/schema.h"
#include "demo/demo_laboratory.h"
#include "jet/database.h"
#include "jet/table_writer.h"

namespace demo {
namespace {

// Rows written in one commit. One commit a row would hand every row to the operating system
// on its own; a few thousand at a time write each page once or twice instead of hundreds of
// times, and keep the pages held for the commit to a few megabytes.
constexpr int64_t kRowsPerCommit = 4000;

}  // namespace

DemoCounts WriteLaboratory(jet::Database& db, int instruments, uint32_t seed,
                           const DemoProgress& progress) {
  jet::TableWriter instruments_table(db, db::schema::kInstruments);
  jet::TableWriter calibrations_table(db, db::schema::kCalibrations);
  jet::TableWriter results_table(db, db::schema::kResults);
  jet::TableWriter additional_table(db, db::schema::kAdditionalData);

  LaboratoryGenerator generator(instruments, seed);
  DemoCounts counts;
  int64_t committed_rows = 0;
  while (!generator.Done()) {
    jet::PageFile::Operation operation(db.file());
    while (!generator.Done() && counts.rows() - committed_rows < kRowsPerCommit) {
      const InstrumentRecords records = generator.Next();
      instruments_table.Insert(ToValues(records.instrument));
      for (const CalibrationRow& row : records.calibrations) {
        calibrations_table.Insert(ToValues(row));
      }
      for (const ResultRow& row : records.results) results_table.Insert(ToValues(row));
      for (const AdditionalDataRow& row : records.additional_data) {
        additional_table.Insert(ToValues(row));
      }
      counts.instruments += 1;
      counts.calibrations += static_cast<int64_t>(records.calibrations.size());
      counts.results += static_cast<int64_t>(records.results.size());
      counts.additional_data += static_cast<int64_t>(records.additional_data.size());
      if (progress) progress(counts, generator.total());
    }
    operation.Commit();
    committed_rows = counts.rows();
  }
  return counts;
}

}  // namespace demo
