#include "platform/qt_prompter.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QStringList>
#include <algorithm>

#include "platform/display_text.h"

namespace platform {
namespace {

// Room a window manager takes in a caption besides the title: the window's icon and its
// buttons. Generous, because a cut title reads as another word ("F…" for the program name).
constexpr int kCaptionAllowance = 140;
// The widest a message box grows for its title; longer titles are cut as anywhere else.
constexpr int kWidestForTitle = 640;
// The width message texts wrap at in a box, as the standard box wraps them.
constexpr int kMessageTextWidth = 480;

QScreen* ScreenOf(const QWidget* owner) {
  QScreen* screen = owner != nullptr ? owner->screen() : nullptr;
  return screen != nullptr ? screen : QGuiApplication::primaryScreen();
}

// The standard box, widened after its own sizing (which happens as it is shown) so that the
// caption holds the whole title.
class TitledMessageBox : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

 protected:
  void showEvent(QShowEvent* event) override {
    QMessageBox::showEvent(event);
    QFont caption = font();
    caption.setBold(true);
    const int needed =
        std::min(QFontMetrics(caption).horizontalAdvance(windowTitle()) + kCaptionAllowance,
                 kWidestForTitle);
    if (width() >= needed) return;
    const int grow = needed - width();
    setFixedWidth(needed);
    move(x() - grow / 2, y());
  }
};

// Puts the box's text label in a scrolling area of at most half the screen's height.
void ScrollText(QMessageBox& box, int screen_height) {
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  auto* label = box.findChild<QLabel*>("qt_msgbox_label");
  if (grid == nullptr || label == nullptr) return;
  int row = 0;
  int column = 0;
  int rows = 0;
  int columns = 0;
  grid->getItemPosition(grid->indexOf(label), &row, &column, &rows, &columns);
  grid->removeWidget(label);
  auto* area = new QScrollArea(&box);
  area->setObjectName("MessageTextArea");
  area->setFrameShape(QFrame::NoFrame);
  area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  area->setWidgetResizable(true);
  area->setWidget(label);
  label->setWordWrap(true);
  area->setFixedSize(kMessageTextWidth + area->verticalScrollBar()->sizeHint().width(),
                     screen_height / 2);
  grid->addWidget(area, row, column, rows, columns);
}

QMessageBox::StandardButtons ButtonsOf(Buttons buttons) {
  switch (buttons) {
    case Buttons::kOk:
      return QMessageBox::Ok;
    case Buttons::kOkCancel:
      return QMessageBox::Ok | QMessageBox::Cancel;
    case Buttons::kYesNo:
      return QMessageBox::Yes | QMessageBox::No;
    case Buttons::kYesNoCancel:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case Buttons::kRetryCancel:
      return QMessageBox::Retry | QMessageBox::Cancel;
  }
  return QMessageBox::Ok;
}

QMessageBox::Icon IconOf(Icon icon) {
  switch (icon) {
    case Icon::kNone:
      return QMessageBox::NoIcon;
    case Icon::kInformation:
      return QMessageBox::Information;
    case Icon::kExclamation:
      return QMessageBox::Warning;
    case Icon::kQuestion:
      return QMessageBox::Question;
    case Icon::kCritical:
      return QMessageBox::Critical;
  }
  return QMessageBox::NoIcon;
}

// The button that closing the box stands for.
QMessageBox::StandardButton EscapeOf(Buttons buttons) {
  switch (buttons) {
    case Buttons::kOk:
      return QMessageBox::Ok;
    case Buttons::kYesNo:
      return QMessageBox::No;
    default:
      return QMessageBox::Cancel;
  }
}

Answer AnswerOf(int button, Buttons buttons) {
  switch (button) {
    case QMessageBox::Ok:
      return Answer::kOk;
    case QMessageBox::Yes:
      return Answer::kYes;
    case QMessageBox::No:
      return Answer::kNo;
    case QMessageBox::Retry:
      return Answer::kRetry;
    case QMessageBox::Cancel:
      return Answer::kCancel;
    default:
      return buttons == Buttons::kOk      ? Answer::kOk
             : buttons == Buttons::kYesNo ? Answer::kNo
                                          : Answer::kCancel;
  }
}

}  // namespace

QString QtPrompter::TitleOf(std::string_view title) const {
  return QString::fromStdString(std::string(title.empty() ? program_name_ : title));
}

bool MessageTextScrolls(int text_height, int screen_height) {
  return text_height > screen_height / 2;
}

std::unique_ptr<QMessageBox> NewMessageBox(const Message& message, const QString& title,
                                           QWidget* owner) {
  auto box = std::make_unique<TitledMessageBox>(
      IconOf(message.icon), title, DisplayText(message.text), ButtonsOf(message.buttons), owner);
  box->setTextFormat(Qt::PlainText);
  box->setEscapeButton(EscapeOf(message.buttons));
  if (const QScreen* screen = ScreenOf(owner)) {
    const int screen_height = screen->availableGeometry().height();
    const int text_height =
        QFontMetrics(box->font())
            .boundingRect(QRect(0, 0, kMessageTextWidth, 1 << 20), Qt::TextWordWrap, box->text())
            .height();
    if (MessageTextScrolls(text_height, screen_height)) ScrollText(*box, screen_height);
  }
  return box;
}

QWidget* QtPrompter::Owner() const {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  if (owner_) {
    if (QWidget* owner = owner_()) return owner;
  }
  return QApplication::activeWindow();
}

Answer QtPrompter::Show(const Message& message) {
  const std::unique_ptr<QMessageBox> box = NewMessageBox(message, TitleOf(message.title), Owner());
  return AnswerOf(box->exec(), message.buttons);
}

std::string QtPrompter::InputBox(std::string_view prompt, std::string_view title,
                                 std::string_view initial) {
  bool accepted = false;
  const QString answer =
      QInputDialog::getText(Owner(), TitleOf(title), DisplayText(prompt), QLineEdit::Normal,
                            QString::fromStdString(std::string(initial)), &accepted);
  return accepted ? answer.toStdString() : std::string();
}

std::optional<std::string> QtPrompter::OpenFile(const FileOpenRequest& request) {
  const QString path = QFileDialog::getOpenFileName(Owner(), QString::fromStdString(request.title),
                                                    QString::fromStdString(request.initial_folder),
                                                    QtFileFilter(request.filter));
  if (path.isEmpty()) return std::nullopt;
  return QDir::toNativeSeparators(path).toStdString();
}

QString QtFileFilter(std::string_view filter) {
  const QStringList parts = QString::fromStdString(std::string(filter)).split('|');
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    // The description already names the patterns in the laboratory's filters; Qt reads the
    // patterns from the parentheses, so they are added when the description lacks them.
    const QString& description = parts[i];
    const QString patterns = QString(parts[i + 1]).replace(';', ' ');
    filters << (description.contains('(') ? description : description + " (" + patterns + ")");
  }
  return filters.join(";;");
}

}  // namespace platform
