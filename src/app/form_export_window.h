// The export window and the rebuild window: one class, built twice from the designs of
// form_export_design.h. Both have the same controls under the same names and the same
// handlers; only the action behind the create button differs, and it is given from outside.
//
// While that action runs, the window holds back every click that would change its input or
// leave it: all its buttons and both lists are disabled, the path box is read-only, the
// hourglass pointer shows over the window, and closing it is refused until the action ends.
// Otherwise closing the window goes back to the menu, as "&Main Menu" does.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "app/form_export_design.h"
#include "app/form_export_list.h"
#include "app/program_values.h"
#include "db/data_control.h"
#include "platform/launcher.h"
#include "platform/prompter.h"
#include "tasks/date_text.h"
#include "tasks/progress.h"
#include "tasks/task_ui.h"

class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace app {

inline constexpr char kSourceCaptionStart[] = " [Source DB = ";
inline constexpr char kLoadingCustomersText[] = "Loading Customers...";
inline constexpr char kSearchTitle[] = "Search For Specific Customer(s)";
inline constexpr char kNoMatchTitle[] = "No Matching Customer(s)";

// The input box's prompt of the customer search.
std::string SearchPromptText();
// The answer to a search that found nothing.
std::string NoMatchText(const std::string& pattern);
// The folder part of a path: the text up to and including its last separator, backslash or
// slash, or the empty text when it has none.
std::string FolderPart(const std::string& path);

// What the window reads and drives outside itself.
struct ExportWindowServices {
  ProgramValues& values;
  platform::Prompter& prompter;
  platform::Launcher& launcher;
  tasks::Progress& progress;
  // The "&Main Menu" button: the shell shows the menu and unloads this window.
  std::function<void(QWidget*)> return_to_menu;
  // The day the default target path is named after.
  std::function<tasks::LocalTime()> today = tasks::LocalNow;
};

// What the create button hands its action: the window's input as it stands at the click.
struct CreateRequest {
  std::vector<std::string> customers;  // the export list, in list order
  std::string target_path;             // the path box's text
};
using CreateAction = std::function<void(const CreateRequest&, tasks::TaskUi&)>;

class ExportWindow : public QWidget, public tasks::CommandWindow {
 public:
  // Builds the controls with their design texts; Load() fills them.
  ExportWindow(const ExportWindowDesign& design, ExportWindowServices services, CreateAction create,
               QWidget* parent = nullptr);
  ~ExportWindow() override;

  // The window's load steps: shows itself disabled, adds the source database to the caption,
  // fills the customer list under the "Loading Customers..." splash, proposes the dated target
  // path, and enables itself. A step that fails is skipped; a main database that cannot be
  // read leaves the customer list empty and the window usable.
  void Load();

  // tasks::CommandWindow: the create action's running state.
  void SetBusy(bool busy) override;
  bool busy() const { return busy_; }

  // The export list's names exactly as stored, in list order.
  std::vector<std::string> ExportList() const;

  QLabel* Image1;
  QLabel* Label_Step2;
  QLabel* Label1;
  db::DataControl Data1;
  DBList* DBList_Customer;
  QLabel* Label2;
  QListWidget* List_SelectedCust;
  QPushButton* Command1;
  QPushButton* Command_CustomerList;
  QPushButton* Command_CustomerListDel;
  QPushButton* Command_CustomerListDelAll;
  QPushButton* SearchBut;
  QLabel* Label_Help1;
  QLabel* Label_Help2;
  QFrame* Line1;  // nullptr in the rebuild window
  QLabel* Label_Step3;
  QPushButton* Command_CreateMobileDB;
  QLabel* Label5;
  QLineEdit* TargetDBText;
  QFrame* Line2;
  QLabel* Label3;
  QPushButton* Command_Explorer;
  QLabel* Label4;
  QPushButton* Command_Exit;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildCustomerBlock(const ExportWindowDesign& design);
  void BuildCreateBlock(const ExportWindowDesign& design);
  void Connect();

  void MoveOne();
  void MoveAll();
  void RemoveOne();
  void RemoveAll();
  void Search();
  void ShowFolder();
  void BackToMenu();
  void Create();

  // Points Data1 at `source`, refreshes it and refills the list; the refresh's error passes
  // through after the list has been refilled (empty then).
  void ShowCustomers(const std::string& source);
  // Back to every customer, as after a search that found nothing.
  void ShowAllCustomers();
  void AppendToExportList(const std::string& name);

  ExportWindowServices services_;
  CreateAction create_;
  bool busy_ = false;
  // The control that had the keyboard focus when the action started.
  QPointer<QWidget> focus_before_busy_;
};

}  // namespace app
