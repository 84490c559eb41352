#include "app/form_export_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <exception>
#include <optional>

#include "app/controls.h"
#include "app/loading_splash.h"
#include "app/paint_now.h"
#include "app/placement.h"
#include "app/reconciler.h"
#include "app/twips.h"
#include "db/schema.h"
#include "db/statements.h"
#include "export/on_site_database.h"
#include "jet/error.h"
#include "platform/display_text.h"
#include "platform/files.h"
#include "tasks/failure_rule.h"

namespace app {
namespace {

using platform::Buttons;
using platform::Icon;

// The help text beside the folder button is not set smaller than this share of the window's
// font: below it, it turns into small print that staff would have to lean in to read.
constexpr double kSmallestHelpScale = 0.85;

// Design positions are twips within the client area; `dx` and `dy` move a whole block.
struct Block {
  int dx = 0;
  int dy = 0;
  QRect Rect(int left, int top, int width, int height) const {
    return {Px(left + dx), Px(top + dy), Px(width), Px(height)};
  }
};

// A picture button says what it does only in its tip.
QPushButton* MakePictureButton(QWidget* parent, const char* name, QStyle::StandardPixmap picture,
                               const char* tip, const QRect& where) {
  QPushButton* button = MakeButton(parent, name, "", where);
  button->setIcon(parent->style()->standardIcon(picture));
  button->setToolTip(QString::fromUtf8(tip));
  button->setAccessibleName(QString::fromUtf8(tip));
  return button;
}

QFrame* MakeLine(QWidget* parent, const char* name, int left, int top, int right) {
  auto* line = new QFrame(parent);
  line->setObjectName(name);
  line->setFrameStyle(QFrame::HLine | QFrame::Sunken);
  line->setGeometry(Px(left), Px(top) - 1, Px(right - left), 3);
  return line;
}

std::string ErrorText(const std::exception& error) {
  if (const auto* engine = dynamic_cast<const jet::Error*>(&error)) {
    return "Error " + std::to_string(engine->number()) + ": " + engine->description();
  }
  return error.what();
}

}  // namespace

std::string SearchPromptText() {
  const std::string cr(1, platform::kCr);
  return "Enter a customer to search for" + cr + cr +
         "Use wildcard searches (eg. 'Velmo*' or 'Velmo?\?\?\?\?')" + cr +
         "to search for partial customer names";
}

std::string NoMatchText(const std::string& pattern) {
  return "No customers found like '" + pattern + "'" + std::string(1, platform::kCr) +
         "Click OK to view all customers";
}

std::string FolderPart(const std::string& path) {
  // Typed paths may use either separator: the system takes both.
  const size_t last = path.find_last_of("\\/");
  return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

ExportWindow::ExportWindow(const ExportWindowDesign& design, ExportWindowServices services,
                           CreateAction create, QWidget* parent)
    : QWidget(parent), services_(std::move(services)), create_(std::move(create)) {
  setObjectName(design.name);
  setWindowTitle(QString::fromUtf8(design.caption));
  setFixedSize(Px(design.width), Px(design.height));
  // The picture starts at the client area's corner and reaches beyond its edges.
  Image1 = MakeBackgroundPicture(this, "Image1",
                                 QRect(0, 0, Px(design.width) + 40, Px(design.height) + 40));
  BuildCustomerBlock(design);
  BuildCreateBlock(design);
  Connect();
}

ExportWindow::~ExportWindow() = default;

void ExportWindow::BuildCustomerBlock(const ExportWindowDesign& design) {
  const Block at{design.customer_left, design.customer_top};
  Label_Step2 =
      MakeHeading(this, "Label_Step2",
                  "STEP 1 : Select Customers for which to export instruments and calibration data",
                  at.Rect(120, 240, 9000, 240), Wrap::kWords);
  Label1 = MakeLabel(this, "Label1", "All Customers", at.Rect(120, 600, 3870, 240), Wrap::kWords);
  Data1.SetConnect("Access 2000;");
  DBList_Customer = new DBList(this);
  DBList_Customer->setObjectName("DBList_Customer");
  DBList_Customer->setGeometry(at.Rect(120, 870, 3870, 3075));
  Label2 =
      MakeLabel(this, "Label2", "Customers to Export", at.Rect(4980, 600, 3870, 240), Wrap::kWords);
  List_SelectedCust = new QListWidget(this);
  List_SelectedCust->setObjectName("List_SelectedCust");
  List_SelectedCust->setSelectionMode(QAbstractItemView::SingleSelection);
  List_SelectedCust->setGeometry(at.Rect(4980, 870, 3870, 3075));

  // Between the lists, top to bottom: move all, move one, remove one, remove all.
  Command1 = MakePictureButton(this, "Command1", QStyle::SP_MediaSeekForward,
                               "Move ALL Customers to Export List", at.Rect(4170, 1290, 630, 495));
  Command_CustomerList =
      MakePictureButton(this, "Command_CustomerList", QStyle::SP_ArrowRight,
                        "Move Selected Customer to Export List", at.Rect(4170, 1905, 630, 495));
  Command_CustomerListDel =
      MakePictureButton(this, "Command_CustomerListDel", QStyle::SP_ArrowLeft,
                        "Remove Selected Customer from Export List", at.Rect(4170, 2520, 630, 495));
  Command_CustomerListDelAll =
      MakePictureButton(this, "Command_CustomerListDelAll", QStyle::SP_MediaSeekBackward,
                        "Remove ALL Customers from Export List", at.Rect(4170, 3135, 630, 495));
  // Under the right-hand end of the left list.
  SearchBut = MakePictureButton(this, "SearchBut", QStyle::SP_FileDialogContentsView,
                                "Search for specific customers", at.Rect(3510, 4005, 480, 420));
  Label_Help1 = MakeLabel(
      this, "Label_Help1",
      "Select Customer and click > (or double click the customer) to add to the export list ",
      at.Rect(120, 4005, 3330, 600), Wrap::kWords);
  Label_Help2 = MakeLabel(
      this, "Label_Help2",
      "Select Customer and click <- (or double click the customer) to remove from the export "
      "list ",
      at.Rect(4980, 4005, 3870, 600), Wrap::kWords);
  Line1 = design.has_line1 ? MakeLine(this, "Line1", 120, 4890, 8595) : nullptr;
}

void ExportWindow::BuildCreateBlock(const ExportWindowDesign& design) {
  const Block at{0, design.create_top};
  Label_Step3 = MakeHeading(this, "Label_Step3", design.step_create, at.Rect(105, 240, 3570, 240),
                            Wrap::kWords);
  Command_CreateMobileDB =
      MakeButton(this, "Command_CreateMobileDB", design.create_text, at.Rect(120, 585, 3870, 795));
  Label5 = MakeLabel(this, "Label5", "Target Database Path:", at.Rect(4140, 585, 3570, 240),
                     Wrap::kWords);
  TargetDBText = new QLineEdit(this);
  TargetDBText->setObjectName("TargetDBText");
  TargetDBText->setGeometry(at.Rect(4140, 1095, 4365, 285));
  Line2 = MakeLine(this, "Line2", 120, 1515 + design.create_top, 8595);
  Label3 =
      MakeHeading(this, "Label3", design.step_folder, at.Rect(120, 1605, 5085, 240), Wrap::kWords);
  Command_Explorer =
      MakeButton(this, "Command_Explorer", "Show Database Folder ", at.Rect(120, 1920, 3870, 795));
  // The help text takes the room its design box leaves free: up to just under the heading,
  // across to the "&Main Menu" button, down to the window's edge. At the size of the other
  // texts it would need more lines than that room holds, so it is set as small as it needs,
  // never below what still reads easily.
  Label4 =
      MakeLabel(this, "Label4",
                "This function displays the database in Windows explorer. The file can "
                "then be copied to your On-Site PC either via a network or USB memory "
                "stick / CD etc.",
                at.Rect(4095, 1875, 3000, design.height - design.create_top - 1875), Wrap::kWords);
  FitTextInLabel(Label4, kSmallestHelpScale);
  Command_Exit = MakeButton(this, "Command_Exit", "&Main Menu", at.Rect(7155, 1920, 1500, 795));
}

void ExportWindow::Connect() {
  connect(Command_CustomerList, &QPushButton::clicked, this, [this] { MoveOne(); });
  connect(DBList_Customer, &QListWidget::itemDoubleClicked, this, [this] { MoveOne(); });
  connect(Command1, &QPushButton::clicked, this, [this] { MoveAll(); });
  connect(Command_CustomerListDel, &QPushButton::clicked, this, [this] { RemoveOne(); });
  connect(List_SelectedCust, &QListWidget::itemDoubleClicked, this, [this] { RemoveOne(); });
  connect(Command_CustomerListDelAll, &QPushButton::clicked, this, [this] { RemoveAll(); });
  connect(SearchBut, &QPushButton::clicked, this, [this] { Search(); });
  connect(Command_Explorer, &QPushButton::clicked, this, [this] { ShowFolder(); });
  connect(Command_Exit, &QPushButton::clicked, this, [this] { BackToMenu(); });
  connect(Command_CreateMobileDB, &QPushButton::clicked, this, [this] { Create(); });
}

void ExportWindow::Load() {
  const ProgramValues& values = services_.values;
  tasks::SkipFailures({
      [&] {
        CentreOnScreen(this);
        setEnabled(false);
        ShowAndPaintNow(this);
      },
      [&] {
        setWindowTitle(windowTitle() + QString::fromStdString(kSourceCaptionStart +
                                                              values.main_database_path + "]"));
      },
  });
  {
    LoadingSplash splash(kLoadingCustomersText);
    tasks::SkipFailures({
        // The list's own connection opens the file by its name in the system's form.
        [&] { Data1.SetDatabaseName(platform::NativePath(values.main_database_path)); },
        [&] { ShowCustomers(db::CustomerListSql()); },
    });
  }
  tasks::SkipFailures({
      [&] {
        TargetDBText->setText(QString::fromStdString(
            export_task::DefaultTargetPath(values.results_folder, services_.today())));
        // A long path shows its end, the file name the export will write.
        TargetDBText->end(false);
      },
      [&] {
        setEnabled(true);
        repaint();
      },
  });
}

void ExportWindow::ShowCustomers(const std::string& source) {
  Data1.SetRecordSource(source);
  try {
    Data1.Refresh();
  } catch (const jet::Error&) {
    // No recordset now: the list must not keep lines whose bookmarks point nowhere.
    DBList_Customer->ReFill(Data1);
    throw;
  }
  DBList_Customer->ReFill(Data1);
}

void ExportWindow::ShowAllCustomers() {
  tasks::SkipFailures({[&] { ShowCustomers(db::CustomerListSql()); }});
}

std::vector<std::string> ExportWindow::ExportList() const {
  std::vector<std::string> names;
  names.reserve(static_cast<size_t>(List_SelectedCust->count()));
  for (int i = 0; i < List_SelectedCust->count(); ++i) {
    names.push_back(List_SelectedCust->item(i)->data(Qt::UserRole).toByteArray().toStdString());
  }
  return names;
}

void ExportWindow::AppendToExportList(const std::string& name) {
  auto* item = new QListWidgetItem(QString::fromStdString(name));
  // The name as stored, byte for byte, whatever the display makes of it.
  item->setData(Qt::UserRole, QByteArray::fromStdString(name));
  List_SelectedCust->addItem(item);
}

// Each step of a move needs the one before it (a failed bookmark would make another row
// current), so a failing step ends the move silently instead of going on with the next.
void ExportWindow::MoveOne() {
  if (busy_) return;
  tasks::FailureRule(tasks::OnFailure::kSkip).Run([&] {
    const std::optional<db::RowBookmark> selected = DBList_Customer->SelectedBookmark();
    if (!selected) return;
    db::Recordset& rows = Data1.Recordset();
    rows.SetBookmark(*selected);
    const jet::Value name = rows.Fields(db::schema::kCustName).Value();
    if (name.IsNull()) return;
    const std::string text = db::ConcatText(name);
    for (const std::string& entry : ExportList()) {
      if (entry == text) return;
    }
    AppendToExportList(text);
  });
}

void ExportWindow::MoveAll() {
  if (busy_) return;
  tasks::SkipFailures({
      [&] {
        db::Recordset& rows = Data1.Recordset();
        rows.MoveFirst();
        // A move that fails ends the walk: going on would read the same row for ever.
        while (!rows.Eof()) {
          const jet::Value name = rows.Fields(db::schema::kCustName).Value();
          if (!name.IsNull()) {
            const std::string text = db::ConcatText(name);
            if (!TrimSpaces(text).empty()) AppendToExportList(text);
          }
          rows.MoveNext();
        }
      },
      [&] { Data1.Recordset().MoveFirst(); },
  });
}

void ExportWindow::RemoveOne() {
  if (busy_) return;
  const QList<QListWidgetItem*> selected = List_SelectedCust->selectedItems();
  if (selected.isEmpty()) return;
  delete List_SelectedCust->takeItem(List_SelectedCust->row(selected.front()));
  // As after removing an entry of a list box: nothing is selected, so a second click removes
  // nothing until the user chooses again.
  List_SelectedCust->clearSelection();
  List_SelectedCust->setCurrentRow(-1);
}

void ExportWindow::RemoveAll() {
  if (busy_) return;
  List_SelectedCust->clear();
}

void ExportWindow::Search() {
  if (busy_) return;
  const std::string answer = services_.prompter.InputBox(SearchPromptText(), kSearchTitle, "");
  setCursor(Qt::WaitCursor);
  std::optional<std::string> failure;
  try {
    ShowCustomers(answer.empty() ? db::CustomerListSql() : db::CustomerSearchSql(answer));
  } catch (const std::exception& error) {
    failure = ErrorText(error);
  }
  unsetCursor();
  if (failure) {
    // A pattern the engine rejects: its error, then every customer again, so that the list
    // stays usable.
    services_.prompter.Show({*failure, Buttons::kOk, Icon::kExclamation, ""});
    ShowAllCustomers();
    return;
  }
  // A recordset that cannot say where it stands has found nothing to show.
  bool found = false;
  tasks::FailureRule(tasks::OnFailure::kSkip).Run([&] { found = !Data1.Recordset().Eof(); });
  if (!found) {
    services_.prompter.Show({NoMatchText(answer), Buttons::kOk, Icon::kInformation, kNoMatchTitle});
    ShowAllCustomers();
  }
}

void ExportWindow::ShowFolder() {
  if (busy_) return;
  // Nothing is checked: the folder may not exist yet, before the first export.
  services_.launcher.BrowseFolder(FolderPart(TargetDBText->text().toStdString()));
}

void ExportWindow::BackToMenu() {
  if (busy_) return;
  if (services_.return_to_menu) services_.return_to_menu(this);
}

void ExportWindow::Create() {
  if (busy_ || !create_) return;
  CreateRequest request{ExportList(), TargetDBText->text().toStdString()};
  tasks::TaskUi ui{services_.prompter, services_.progress, *this};
  try {
    create_(request, ui);
  } catch (const std::exception& error) {
    // The actions report their own failures; anything that still escapes one must not leave
    // the window disabled behind a progress window.
    services_.progress.Unload();
    services_.prompter.Show({ErrorText(error), Buttons::kOk, Icon::kExclamation, ""});
  }
  SetBusy(false);
}

void ExportWindow::SetBusy(bool busy) {
  if (busy && !busy_) focus_before_busy_ = ParkFocus(this);
  const bool was_busy = busy_;
  busy_ = busy;
  for (QWidget* control : std::initializer_list<QWidget*>{
           DBList_Customer, List_SelectedCust, Command1, Command_CustomerList,
           Command_CustomerListDel, Command_CustomerListDelAll, SearchBut, Command_CreateMobileDB,
           Command_Explorer, Command_Exit}) {
    control->setEnabled(!busy);
  }
  TargetDBText->setReadOnly(busy);
  if (busy) {
    setCursor(Qt::WaitCursor);
  } else {
    unsetCursor();
    if (was_busy) RestoreFocus(focus_before_busy_);
  }
}

void ExportWindow::closeEvent(QCloseEvent* event) {
  if (!busy_ && !services_.return_to_menu) {
    event->accept();
    return;
  }
  // The title bar's close button goes back to the menu, as "&Main Menu" does: closing the
  // only window would end the program. While the action runs under this window it holds its
  // controls, and the window stays.
  event->ignore();
  BackToMenu();
}

}  // namespace app
