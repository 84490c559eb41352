#include "app/loading_splash.h"

#include <QLabel>

#include "app/paint_now.h"
#include "app/placement.h"
#include "app/window_probe.h"
#include "platform/display_text.h"

namespace app {

LoadingSplash::LoadingSplash(const std::string& text) : form_(new Infoform()) {
  form_->InfoLab->setText(platform::DisplayText(text));
  CentreOnScreen(form_);
  // The slow step that follows handles no input.
  ShowAndPaintNow(form_);
  ProbeWindow(form_, "loading");
}

LoadingSplash::~LoadingSplash() { delete form_.data(); }

}  // namespace app
