#include "app/form_export_design.h"

namespace app {

const ExportWindowDesign& ExportDesign() {
  static const ExportWindowDesign design{
      .name = "Form_Export",
      .caption = "Export to On-Site Database",
      .create_text = "&Create On-Site Database",
      .step_create = "STEP 2 : Create On-Site Database",
      .step_folder = "STEP 3 : Display Database in Windows Explorer",
      .width = 9360,
      .height = 7980,
      .customer_left = 0,
      .customer_top = 0,
      // Step 1 takes the top 5130 twips; steps 2 and 3 below it as in the rebuild window.
      .create_top = 5130,
      .has_line1 = true,
  };
  return design;
}

const ExportWindowDesign& ExportAllDesign() {
  static const ExportWindowDesign design{
      .name = "Form_Export_All",
      .caption = "Export to New Database",
      .create_text = "&Create New Database",
      .step_create = "STEP 1 : Create New Database",
      .step_folder = "STEP 2 : Display Database in Windows Explorer",
      .width = 9660,
      .height = 2850,
      // The block's leftmost control (at 120) lands at 10050.
      .customer_left = 9930,
      .customer_top = 0,
      .create_top = 0,
      .has_line1 = false,
  };
  return design;
}

}  // namespace app
