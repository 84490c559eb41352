// The fixed lists the demo laboratory draws from: customers, kinds of instrument, makers,
// staff, reference standards and the words of notes. All names are invented.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace demo {

struct Customer {
  std::optional<std::string> name;  // std::nullopt: an instrument without a customer (Null)
  double weight = 1;                // how many instruments the customer has, relatively
};

// About forty customers in several languages and scripts, some with apostrophes, one blank
// (" "), one Null, and one differing from another only in letter case.
const std::vector<Customer>& Customers();

struct InstrumentKind {
  std::string description;
  std::string parameter;  // what a result line measures
  std::string units;
  double low = 0;  // the usual range
  double high = 0;
  double tolerance = 0;  // as a fraction of the span
  std::string procedure;
  std::vector<std::string> models;
};

const std::vector<InstrumentKind>& InstrumentKinds();
const std::vector<std::string>& Manufacturers();
const std::vector<std::string>& Technicians();
const std::vector<std::string>& ReferenceStandards();
const std::vector<std::string>& Locations();
// Short sentences for notes and remarks.
const std::vector<std::string>& NoteSentences();
const std::vector<std::string>& RemarkSentences();
const std::vector<std::string>& AdditionalComments();

}  // namespace demo
