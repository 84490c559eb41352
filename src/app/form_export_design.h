// The two windows built from the export window's controls: the on-site export window
// Form_Export and the rebuild window Form_Export_All. They differ only in four texts, in the
// size of the window and in where the two blocks of controls sit: the rebuild window moves the
// customer-selection block beyond its right edge, where it exists but cannot be seen or
// pointed at, and its create-and-show-folder block to the top.
#pragma once

namespace app {

struct ExportWindowDesign {
  const char* name;         // the window's name
  const char* caption;      // before load adds the source database
  const char* create_text;  // Command_CreateMobileDB
  const char* step_create;  // Label_Step3
  const char* step_folder;  // Label3
  // The client area, in twips.
  int width;
  int height;
  // Added to the customer-selection block's design positions.
  int customer_left;
  int customer_top;
  // Added to the tops of the create-and-show-folder block.
  int create_top;
  // The line between the two blocks (only where both can be seen).
  bool has_line1;
};

// "Export to On-Site Database": three steps, 9360 by 7980 twips.
const ExportWindowDesign& ExportDesign();
// "Export to New Database": two steps, 9660 by 2850 twips; the customer controls start at
// 10050 twips from the left.
const ExportWindowDesign& ExportAllDesign();

}  // namespace app
