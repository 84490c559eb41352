#include "demo/demo_catalogue.h"

namespace demo {

const std::vector<Customer>& Customers() {
  static const std::vector<Customer> kCustomers = {
      {"Acme Process Controls Ltd", 6},
      {"ACME PROCESS CONTROLS LTD", 0.5},
      {"Northfield Water Authority", 5},
      {"Riverside General Hospital", 3},
      {"Bluewater Offshore Services", 4},
      {"Harbour Engineering Co.", 3},
      {"City of Westbrook Council", 2},
      {"Pinecrest Pharmaceuticals", 5},
      {"Summit Aerospace Components", 4},
      {"Greenvale Dairy Co-operative", 2},
      {"Ironbridge Foundry", 2},
      {"Lakeside University, Physics Dept.", 1.5},
      {"Oakwood Brewing Company", 1},
      {"Redhill Quarry Products", 1},
      {"Silverline Railways", 3},
      {"Wexford Marine Ltd", 1},
      {"O'Brien & Sons", 2},
      {"D'Amato Strumenti S.p.A.", 1.5},
      {"McAllister's Garage", 0.5},
      {"L'Atelier de Précision", 1},
      {"Société Générale de Métrologie", 3},
      {"Müller & Söhne GmbH", 3},
      {"Łódzkie Zakłady Pomiarowe", 1.5},
      {"Håkansson Verkstad AB", 1},
      {"Peña y Núñez S.L.", 1},
      {"Čermák Strojírna s.r.o.", 1},
      {"Ørsted Måleteknik A/S", 1},
      {"Çelik Kalibrasyon A.Ş.", 1},
      {"Þórsson ehf.", 0.5},
      {"Ελληνικά Εργαστήρια Μετρήσεων Α.Ε.", 1.5},
      {"Παπαδόπουλος & Υιοί", 0.5},
      {"ООО «Точприбор»", 2},
      {"Завод Электроприбор", 1},
      {"Київська метрологічна служба", 1},
      {"東京精密計測株式会社", 2},
      {"上海计量仪器有限公司", 1.5},
      {"대한측정기술", 1},
      {"大阪電機工業", 0.5},
      {"Laboratorio Central de Calibración", 1},
      {"Instrumentação Atlântica Lda.", 1},
      {" ", 0.5},
      {std::nullopt, 1},
  };
  return kCustomers;
}

const std::vector<InstrumentKind>& InstrumentKinds() {
  static const std::vector<InstrumentKind> kKinds = {
      {"Digital Pressure Gauge",
       "Pressure",
       "bar",
       0,
       10,
       0.001,
       "QP-PRS-01",
       {"DPG-100", "DPG-250", "XP2i"}},
      {"Pressure Transmitter",
       "Output at pressure",
       "mbar",
       0,
       1000,
       0.002,
       "QP-PRS-04",
       {"PT-4000", "PTX 610"}},
      {"Digital Thermometer",
       "Temperature",
       "°C",
       -50,
       200,
       0.002,
       "QP-TMP-03",
       {"DT-21", "TempTrace 5"}},
      {"Platinum Resistance Thermometer",
       "Temperature",
       "°C",
       -80,
       420,
       0.0005,
       "QP-TMP-07",
       {"PRT-100/4W", "SPRT-25"}},
      {"Digital Multimeter",
       "DC Voltage",
       "V",
       0,
       1000,
       0.0005,
       "QP-ELE-02",
       {"DMM 8846", "M-3500", "VX 87"}},
      {"Torque Wrench", "Torque", "N·m", 20, 200, 0.04, "QP-TRQ-01", {"TW-200", "Torqline 3/8"}},
      {"Analytical Balance", "Mass", "g", 0, 220, 0.0001, "QP-MAS-05", {"AB-220", "XS 205"}},
      {"Vernier Caliper", "Length", "mm", 0, 150, 0.0002, "QP-DIM-01", {"VC-150", "Digimatic 500"}},
      {"Outside Micrometer", "Length", "mm", 0, 25, 0.0001, "QP-DIM-03", {"OM-25", "MDC-1\""}},
      {"Dial Indicator", "Displacement", "mm", 0, 10, 0.001, "QP-DIM-06", {"DI-10", "2046S"}},
      {"Humidity Sensor",
       "Relative humidity",
       "%RH",
       10,
       90,
       0.02,
       "QP-HUM-01",
       {"HS-33", "HygroLog"}},
      {"Flow Meter", "Flow", "L/min", 0, 500, 0.01, "QP-FLO-02", {"FM-500", "Turbo 2\""}},
      {"Force Gauge", "Force", "N", 0, 500, 0.005, "QP-FRC-01", {"FG-500", "M5-100"}},
      {"Sound Level Meter",
       "Sound pressure level",
       "dB",
       30,
       130,
       0.005,
       "QP-ACU-01",
       {"SLM 2250", "Type 1 Class"}},
      {"Optical Tachometer",
       "Rotational speed",
       "rpm",
       10,
       99999,
       0.0002,
       "QP-ROT-01",
       {"OT-99", "Phototach"}},
  };
  return kKinds;
}

const std::vector<std::string>& Manufacturers() {
  static const std::vector<std::string> kMakers = {
      "Arkwright Instruments", "Hallberg Messtechnik", "Kovač Metrologija", "Nordvik Sensor AS",
      "Takumi Keisoku",        "Brightwell & Lowe",    "Precisa Tecnica",   "Oriel Gauges",
  };
  return kMakers;
}

const std::vector<std::string>& Technicians() {
  static const std::vector<std::string> kStaff = {
      "J. Whitfield", "A. Kowalska", "M. Dubois",    "S. Nakamura",
      "P. O'Neill",   "R. Sánchez",  "K. Andersson",
  };
  return kStaff;
}

const std::vector<std::string>& ReferenceStandards() {
  static const std::vector<std::string> kStandards = {
      "Dead-weight tester DW-4",     "Pressure controller PC-12 #0381", "SPRT ref. 1187",
      "Dry-block calibrator DB-650", "Multifunction calibrator MC-6",   "Torque transducer TT-500",
      "Weights E2 set 1 mg-200 g",   "Gauge block set GB-112",          "Chilled-mirror hygrometer",
      "Master flow meter MF-1000",
  };
  return kStandards;
}

const std::vector<std::string>& Locations() {
  static const std::vector<std::string> kLocations = {
      "Workshop A", "Workshop B", "Lab 2", "Boiler house", "Stores", "On site", "QA office",
  };
  return kLocations;
}

const std::vector<std::string>& NoteSentences() {
  static const std::vector<std::string> kNotes = {
      "Customer asks for results in the old certificate layout.",
      "Supplied with its own carrying case and power adaptor.",
      "Battery cover cracked; customer informed.",
      "Display has two dead segments on the left digit, readable.",
      "Do not adjust without the customer's written agreement.",
      "Return by courier; the customer's reference must be on the delivery note.",
      "Zero drifts after warm-up; allow 30 minutes before testing.",
      "Instrument belongs to the customer's \"spares\" pool.",
      "Seal no. 4471 fitted over the adjustment screw.",
      "Contact: the maintenance supervisor, ext. 214.",
  };
  return kNotes;
}

const std::vector<std::string>& RemarkSentences() {
  static const std::vector<std::string> kRemarks = {
      "Adjusted zero before test.",
      "Readings taken rising and falling; hysteresis within limits.",
      "As found out of tolerance at the top point; adjusted and re-tested.",
      "Customer's seal broken on receipt.",
      "Tested at reduced range at the customer's request.",
      "Repeat of the previous test after the customer's repair.",
  };
  return kRemarks;
}

const std::vector<std::string>& AdditionalComments() {
  static const std::vector<std::string> kComments = {
      "Ambient conditions stable throughout.",
      "Reference recalibrated last month.",
      "Air conditioning fault in the afternoon; readings repeated.",
      "Standard's correction applied.",
      "",
  };
  return kComments;
}

}  // namespace demo
