#include "app/window_probe.h"

#include <QAbstractButton>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTextStream>
#include <QThread>
#include <QWidget>

#include "app/paint_now.h"

namespace app {
namespace {

bool LabelCut(const QLabel* label) {
  if (label->text().isEmpty()) return false;
  const QRect room = label->contentsRect().adjusted(label->margin(), label->margin(),
                                                    -label->margin(), -label->margin());
  // A wrapped text centred in its label may reach into the leading above and below its lines
  // without losing any letter.
  if (label->wordWrap()) {
    return label->heightForWidth(label->width()) >
           label->height() + label->fontMetrics().height() / 2;
  }
  return label->fontMetrics().horizontalAdvance(label->text()) > room.width();
}

bool ButtonCut(const QAbstractButton* button) {
  QString text = button->text();
  text.remove('&');
  if (text.isEmpty()) return false;
  // The frame and the padding inside it, on each side.
  constexpr int kPadding = 4;
  return button->fontMetrics().horizontalAdvance(text) + 2 * kPadding > button->width();
}

QString Rect(const QRect& rect) {
  return QString("%1 %2 %3 %4").arg(rect.x()).arg(rect.y()).arg(rect.width()).arg(rect.height());
}

}  // namespace

QStringList CutTexts(const QWidget* window) {
  QStringList cut;
  for (const QLabel* label : window->findChildren<QLabel*>()) {
    if (label->isVisible() && LabelCut(label)) cut << label->objectName();
  }
  for (const QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
    if (button->isVisible() && ButtonCut(button)) cut << button->objectName();
  }
  return cut;
}

void ProbeWindow(QWidget* window, const char* moment) {
  static int probes = 0;
  const QString folder = qEnvironmentVariable("QB_WINDOW_PROBE");
  if (folder.isEmpty()) return;
  const int number = ++probes;
  QDir dir(folder);
  const QString name = QString("%1-%2.txt").arg(number).arg(moment);
  {
    QFile file(dir.filePath(name + ".part"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) return;
    QTextStream out(&file);
    out << "client " << Rect(QRect(window->mapToGlobal(QPoint(0, 0)), window->size())) << "\n";
    out << "frame " << Rect(window->frameGeometry()) << "\n";
    for (const QString& cut : CutTexts(window)) out << "cut " << cut << "\n";
    for (const QLabel* label : window->findChildren<QLabel*>()) {
      if (!label->isVisible() || label->objectName().isEmpty()) continue;
      out << "text " << label->objectName() << " " << label->text().simplified() << "\n";
    }
    for (const QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
      if (!button->isVisible() || button->objectName().isEmpty()) continue;
      const QPoint centre = button->mapToGlobal(button->rect().center());
      out << "button " << button->objectName() << " " << centre.x() << " " << centre.y() << "\n";
    }
  }
  // Whole or not at all: the test reads the file as soon as it appears.
  dir.rename(name + ".part", name);
  const QString done = dir.filePath(QString("%1.done").arg(number));
  QElapsedTimer waited;
  waited.start();
  // The window keeps being drawn while the test looks at it, as it is in every wait of the
  // program; input waits.
  while (!QFile::exists(done) && waited.elapsed() < 10000) {
    LetWindowSystemRun();
    QThread::msleep(10);
  }
}

}  // namespace app
