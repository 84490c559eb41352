// The loading window around a slow step: windows that fill lists on opening show Infoform
// with their text ("Loading Customers..."), fill the lists, then unload it.
#pragma once

#include <QPointer>
#include <string>

#include "app/infoform.h"

namespace app {

class LoadingSplash {
 public:
  // Loads the window, sets its text, shows it without blocking and paints it at once.
  explicit LoadingSplash(const std::string& text);
  // Unloads it.
  ~LoadingSplash();
  LoadingSplash(const LoadingSplash&) = delete;
  LoadingSplash& operator=(const LoadingSplash&) = delete;

  Infoform* form() const { return form_; }

 private:
  QPointer<Infoform> form_;
};

}  // namespace app
