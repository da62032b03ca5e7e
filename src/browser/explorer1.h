// CExplorer1: the login dialog's web browser control. Until the browser control is hosted,
// it is only the placeholder item of the dialog template, and navigating does nothing.
#pragma once

#include "framework/wnd.h"

#include <string>

class CExplorer1 : public kivo::CWnd {
 public:
  void Navigate(const std::string& /*url*/) {}
  void Stop() {}
};
