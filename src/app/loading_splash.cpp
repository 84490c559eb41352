#include "app/loading_splash.h"

#include <QCoreApplication>
#include <QLabel>

#include "platform/display_text.h"

namespace app {

LoadingSplash::LoadingSplash(const std::string& text) : form_(new Infoform()) {
  form_->InfoLab->setText(platform::DisplayText(text));
  form_->show();
  // Only the window system's own messages: the slow step that follows handles no input.
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  form_->repaint();
}

LoadingSplash::~LoadingSplash() { delete form_.data(); }

}  // namespace app
