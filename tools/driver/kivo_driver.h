// Drives a running program from outside, as a user would: finds its windows, reads and sets
// controls, clicks, reads the list view and the log pane across processes, answers message
// boxes by their text, and saves screenshots of the display. Texts are in the program's
// code page (GBK). Used by the end-to-end tests, by in-process window tests and by the
// kivodriver command.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace kivodriver {

struct Process {
  HANDLE handle = nullptr;
  DWORD id = 0;
};

// Starts program with its folder as the current directory; extraEnvironment entries
// ("NAME=value") are added to this process's environment for the child.
bool Launch(const std::string& program, const std::string& arguments, Process& process,
            const std::vector<std::string>& extraEnvironment = {});
// Waits for the process to end; false on time-out. Closes nothing.
bool WaitForExit(const Process& process, int timeoutMs, DWORD* exitCode = nullptr);
// Ends the process if it still runs and closes its handle.
void Terminate(Process& process);

// Visible top-level windows of a process (or of a thread, with ofThread).
std::vector<HWND> TopWindows(DWORD processId);
std::vector<HWND> TopWindowsOfThread(DWORD threadId);

// Polls condition every pollMs until it holds; false when timeoutMs passed first.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs, int pollMs = 20);

// Polls until match finds a visible top-level window of the process; null on time-out.
HWND WaitForWindow(DWORD processId, const std::function<bool(HWND)>& match, int timeoutMs);
HWND WaitForTitle(DWORD processId, const std::string& title, int timeoutMs);
bool IsDialogWindow(HWND hwnd);

// A message box: a visible dialog whose static texts include text (or any, with "").
HWND WaitForMessageBox(DWORD processId, const std::string& text, int timeoutMs);
// The texts of a dialog's static controls, joined by line feeds (a message box's message).
std::string StaticTexts(HWND dialog);
// Presses a button of a dialog (IDOK, IDYES...) as a click would.
bool PressButton(HWND dialog, int buttonId);

std::string GetText(HWND hwnd);
bool SetText(HWND hwnd, const std::string& text);
std::string GetClassNameOf(HWND hwnd);
// Posts a click to a button.
void Click(HWND button);
// Posts a key press (down and up) to a window, as typed while it has the focus.
void PressKey(HWND hwnd, UINT virtualKey);

struct ListItem {
  std::string text;
  bool checked = false;
  int image = -1;
};
// Items of a list view of any process.
bool ReadListView(HWND list, std::vector<ListItem>& items);
// Appends an item with text to a list view of any process; its index, or -1.
int AppendListItem(HWND list, const std::string& text);
// Ticks or unticks an item of a list view of any process.
bool SetListItemChecked(HWND list, int index, bool checked);

// The whole display as a PNG file.
bool SaveScreenshot(const std::string& path);

// Text in the code page as UTF-8, for output on the Linux side.
std::string AnsiToUtf8(const std::string& text);

}  // namespace kivodriver
