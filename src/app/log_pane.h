// The main window's log pane and AppendLog, which any thread may call.
//
// A worker's line travels to the pane's own thread in one sent message, so the three steps
// of an append (clear past 1000 lines, caret to the end, insert) never interleave with
// another thread's. The process-wide target is a window handle, not an object: a line sent
// after the window is gone goes nowhere instead of into freed memory.
#pragma once

#include "framework/controls.h"

#include <string>

namespace kivo {

class CLogPane : public CRichEditCtrl {
 public:
  // Appends line and a line break; clears the pane first when it holds more than 1000 lines.
  void Append(const std::string& line) const;
  // Shows the lines appended since the last time (the pane's timer does it on its own).
  void ShowNewLines() const;

 protected:
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  mutable bool m_showPending = false;  // redraw is off until the timer shows the new lines
};

// The pane AppendLog writes to; null before the main window's initialisation and after
// its end.
void SetLogTarget(HWND pane);

}  // namespace kivo

// Appends one line to the main window's log pane; does nothing while there is none.
void AppendLog(const std::string& line);
