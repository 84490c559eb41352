// The checks a command makes on the file it is about to create, before any file is touched:
// a path is given, it is neither the main database nor the template beside it in any spelling,
// and an existing file is only replaced when the user says so.
#pragma once

#include <string>
#include <string_view>

#include "platform/prompter.h"

namespace tasks {

inline constexpr char kTemplateName[] = "\\Empty_Quorbase.mdb";
inline constexpr char kAskFileNameText[] = "Please select a file name";
inline constexpr char kMainDatabaseText[] = "Don't overwrite the main database";
// Our own refusal: replacing the template would delete it before it is copied onto itself.
inline constexpr char kTemplateText[] = "Don't overwrite the empty template database";
inline constexpr char kOverwriteSuffix[] = " already exists. Overwrite?";
inline constexpr char kOverwriteTitle[] = "Create Mobile Database";
inline constexpr char kFileErrorPrefix[] = "File Error: ";

enum class TargetCheck {
  kRefused,   // empty path, the main database or its template: refused with a message
  kDeclined,  // the file exists and the user answered No
  kNew,       // no file at the path
  kReplace,   // the file exists and the user answered Yes: delete it next
};

// Runs the checks in order, showing their messages and the overwrite question. The template
// beside the main database is refused like the main database itself.
TargetCheck CheckTarget(platform::Prompter& prompter, std::string_view target,
                        std::string_view main_database);

// The empty template beside the main database.
std::string TemplatePath(std::string_view results_folder);

// The file steps of a command, failing as the engine's steps do (jet::Error) so that one
// failure rule covers them: 53 "File not found" when the file is missing, else 75 with the
// system's description of the failure. A file another writer holds (another of our programs,
// or Access/Jet) is neither deleted nor copied over: 3045 names the file and who holds it, and
// the file is left as it was.
void DeleteTarget(std::string_view target);
// Also names the paths in its failures: a target folder that does not exist gives 75
// "Cannot create '<target>' from the template '<template>': <reason>".
void CopyTemplate(std::string_view results_folder, std::string_view target);

}  // namespace tasks
