#include "app/passform.h"

#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QPushButton>

#include "app/controls.h"
#include "app/twips.h"
#include "app/window_steps.h"

namespace app {
namespace {

QFont TitleFont(QWidget* widget, double points) {
  QFont font = widget->font();
  font.setFamilies({"Arial Black", "Arial", "Helvetica", "DejaVu Sans"});
  // Where Arial Black is not installed its substitute still looks heavy.
  font.setWeight(QFont::Black);
  font.setPointSizeF(points);
  return font;
}

// A ring in the title colour around a smaller disc.
QPixmap Logo(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(kTitleColour, size / 10.0));
  painter.drawEllipse(QRectF(size * 0.1, size * 0.1, size * 0.8, size * 0.8));
  painter.setPen(Qt::NoPen);
  painter.setBrush(kTitleColour);
  painter.drawEllipse(QRectF(size * 0.35, size * 0.35, size * 0.3, size * 0.3));
  return pixmap;
}

}  // namespace

PASSFORM::PASSFORM(const ProgramValues& values, QWidget* parent) : QDialog(parent) {
  setObjectName("PASSFORM");
  setWindowTitle("Tarvane");
  setFixedSize(Px(7200), Px(4500));

  Shape1 = new QFrame(this);
  Shape1->setObjectName("Shape1");
  Shape1->setFrameStyle(QFrame::Box | QFrame::Plain);
  Shape1->setLineWidth(2);
  Shape1->setGeometry(Px(120), Px(120), Px(6960), Px(4260));

  // The logo: decoration only, it does not react to clicks.
  auto* logo = new QLabel(this);
  logo->setGeometry(Px(6120), Px(300), Px(720), Px(660));
  logo->setPixmap(Logo(Px(600)));
  logo->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  TitleLab[0] = MakeLabel(this, "TitleLab", "FENDRA", TwipsRect(360, 300, 5640, 660), Wrap::kNo);
  TitleLab[0]->setFont(TitleFont(TitleLab[0], 22));
  TitleLab[1] = MakeLabel(this, "TitleLab", "QUORVEL ON-SITE DATABASE MANAGER",
                          TwipsRect(360, 1080, 6480, 420), Wrap::kNo);
  TitleLab[1]->setFont(TitleFont(TitleLab[1], 11));
  for (int i = 0; i < 2; ++i) {
    TitleLab[i]->setProperty("Index", i);
    TitleLine[i] = new QFrame(this);
    TitleLine[i]->setObjectName("TitleLine");
    TitleLine[i]->setProperty("Index", i);
    TitleLine[i]->setAutoFillBackground(true);
  }
  TitleLine[0]->setGeometry(Px(360), Px(990), Px(6480), Px(45));
  TitleLine[1]->setGeometry(Px(360), Px(1530), Px(6480), Px(30));

  VerLab = MakeLabel(this, "VerLab", "Version x.x [xx/xx/xx]", TwipsRect(360, 1680, 6480, 330),
                     Wrap::kNo);

  InfoLab = MakeLabel(this, "InfoLab", "", TwipsRect(360, 2160, 6480, 1320), Wrap::kWords);
  QFont info_font = InfoLab->font();
  info_font.setFamilies({"Arial", "Helvetica", "DejaVu Sans"});
  InfoLab->setFont(info_font);

  OKBut = new QPushButton("&OK", this);
  OKBut->setObjectName("OKBut");
  OKBut->setGeometry(Px(2850), Px(3660), Px(1500), Px(480));
  OKBut->setHidden(true);
  QObject::connect(OKBut, &QPushButton::clicked, this, &QDialog::accept);

  Load(values);
}

void PASSFORM::Load(const ProgramValues& values) {
  // A step that fails is skipped; the others still run.
  RunSteps({
      [this] {
        UseTitleColour(VerLab, QPalette::WindowText);
        UseTitleColour(Shape1, QPalette::WindowText);
        for (QLabel* label : TitleLab) UseTitleColour(label, QPalette::WindowText);
        for (QFrame* line : TitleLine) UseTitleColour(line, QPalette::Window);
      },
      [this, &values] {
        TitleLab[0]->setText(QString::fromStdString(values.program_name).toUpper());
      },
      [this, &values] {
        // Case-sensitive, unlike the menu's test.
        if (values.program_name != "Fendra") TitleLab[1]->setText("QUORVEL DATABASE REBUILDER");
      },
      [this, &values] { VerLab->setText(QString::fromStdString(values.version_text)); },
      [this] {
        if (isVisible()) repaint();
      },
  });
}

}  // namespace app
