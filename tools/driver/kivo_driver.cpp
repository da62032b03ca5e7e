#include "kivo_driver.h"

#include <commctrl.h>
#include <richedit.h>

#include <cstring>
#include <memory>
#include <optional>

namespace kivodriver {

namespace {

struct CloseHandleDeleter {
  void operator()(HANDLE h) const {
    if (h)
      ::CloseHandle(h);
  }
};
using OwnedHandle = std::unique_ptr<void, CloseHandleDeleter>;

std::string Convert(const std::string& text, UINT from, UINT to) {
  if (text.empty())
    return std::string();
  int wide = ::MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring w(static_cast<std::size_t>(wide), L'\0');
  ::MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), &w[0], wide);
  int narrow = ::WideCharToMultiByte(to, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(narrow), '\0');
  ::WideCharToMultiByte(to, 0, w.data(), wide, &out[0], narrow, nullptr, nullptr);
  return out;
}

struct EnumState {
  DWORD processId;
  std::vector<HWND>* windows;
};

BOOL CALLBACK CollectOfProcess(HWND hwnd, LPARAM param) {
  auto* state = reinterpret_cast<EnumState*>(param);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  if (pid == state->processId && ::IsWindowVisible(hwnd))
    state->windows->push_back(hwnd);
  return TRUE;
}

BOOL CALLBACK CollectVisible(HWND hwnd, LPARAM param) {
  if (::IsWindowVisible(hwnd))
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
  return TRUE;
}

BOOL CALLBACK CollectChildren(HWND hwnd, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
  return TRUE;
}

}  // namespace

std::string AnsiToUtf8(const std::string& text) {
  return Convert(text, CP_ACP, CP_UTF8);
}

bool Launch(const std::string& program, const std::string& arguments, Process& process,
            const std::vector<std::string>& extraEnvironment) {
  // The child inherits this process's environment: set the extras for it, then put back
  // what was there (or nothing).
  std::vector<std::pair<std::string, std::optional<std::string>>> saved;
  for (const std::string& entry : extraEnvironment) {
    std::size_t equals = entry.find('=');
    if (equals == std::string::npos)
      continue;
    std::string name = entry.substr(0, equals);
    char old[4096];
    DWORD length = ::GetEnvironmentVariableA(name.c_str(), old, sizeof(old));
    std::optional<std::string> previous;
    if (length > 0 && length < sizeof(old))
      previous = std::string(old, length);
    saved.emplace_back(name, previous);
    ::SetEnvironmentVariableA(name.c_str(), entry.c_str() + equals + 1);
  }

  std::string folder = program;
  std::size_t slash = folder.find_last_of("\\/");
  folder = slash == std::string::npos ? std::string(".") : folder.substr(0, slash);
  std::string commandLine = "\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments);
  std::vector<char> buffer(commandLine.begin(), commandLine.end());
  buffer.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  BOOL ok = ::CreateProcessA(program.c_str(), buffer.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             folder.c_str(), &startup, &info);

  for (const auto& [name, value] : saved)
    ::SetEnvironmentVariableA(name.c_str(), value ? value->c_str() : nullptr);
  if (!ok)
    return false;
  ::CloseHandle(info.hThread);
  process.handle = info.hProcess;
  process.id = info.dwProcessId;
  return true;
}

bool WaitForExit(const Process& process, int timeoutMs, DWORD* exitCode) {
  if (::WaitForSingleObject(process.handle, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0)
    return false;
  if (exitCode)
    ::GetExitCodeProcess(process.handle, exitCode);
  return true;
}

void Terminate(Process& process) {
  if (!process.handle)
    return;
  if (::WaitForSingleObject(process.handle, 0) == WAIT_TIMEOUT) {
    ::TerminateProcess(process.handle, 1);
    ::WaitForSingleObject(process.handle, 5000);
  }
  ::CloseHandle(process.handle);
  process.handle = nullptr;
}

std::vector<HWND> TopWindows(DWORD processId) {
  std::vector<HWND> windows;
  EnumState state{processId, &windows};
  ::EnumWindows(&CollectOfProcess, reinterpret_cast<LPARAM>(&state));
  return windows;
}

std::vector<HWND> TopWindowsOfThread(DWORD threadId) {
  std::vector<HWND> windows;
  ::EnumThreadWindows(threadId, &CollectVisible, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs, int pollMs) {
  DWORD start = ::GetTickCount();
  while (!condition()) {
    if (static_cast<int>(::GetTickCount() - start) > timeoutMs)
      return false;
    ::Sleep(pollMs);
  }
  return true;
}

HWND WaitForWindow(DWORD processId, const std::function<bool(HWND)>& match, int timeoutMs) {
  DWORD start = ::GetTickCount();
  for (;;) {
    for (HWND hwnd : TopWindows(processId)) {
      if (match(hwnd))
        return hwnd;
    }
    if (static_cast<int>(::GetTickCount() - start) > timeoutMs)
      return nullptr;
    ::Sleep(50);
  }
}

HWND WaitForTitle(DWORD processId, const std::string& title, int timeoutMs) {
  return WaitForWindow(processId, [&](HWND hwnd) { return GetText(hwnd) == title; }, timeoutMs);
}

bool IsDialogWindow(HWND hwnd) {
  return GetClassNameOf(hwnd) == "#32770";
}

std::string StaticTexts(HWND dialog) {
  std::vector<HWND> children;
  ::EnumChildWindows(dialog, &CollectChildren, reinterpret_cast<LPARAM>(&children));
  std::string texts;
  for (HWND child : children) {
    if (GetClassNameOf(child) != "Static")
      continue;
    std::string text = GetText(child);
    if (text.empty())
      continue;
    if (!texts.empty())
      texts += "\n";
    texts += text;
  }
  return texts;
}

HWND WaitForMessageBox(DWORD processId, const std::string& text, int timeoutMs) {
  return WaitForWindow(
      processId,
      [&](HWND hwnd) {
        if (!IsDialogWindow(hwnd))
          return false;
        std::string texts = StaticTexts(hwnd);
        return text.empty() ? !texts.empty() : texts.find(text) != std::string::npos;
      },
      timeoutMs);
}

bool PressButton(HWND dialog, int buttonId) {
  HWND button = ::GetDlgItem(dialog, buttonId);
  if (!button)
    return false;
  return ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                        reinterpret_cast<LPARAM>(button)) != FALSE;
}

namespace {

// Memory in the address space of a window's process, for messages whose pointers the
// system does not carry across processes (list view items, rich edit text).
class RemoteMemory {
 public:
  RemoteMemory(HWND window, SIZE_T size) : size_(size) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(window, &pid);
    process_.reset(::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid));
    if (process_)
      address_ = static_cast<char*>(::VirtualAllocEx(process_.get(), nullptr, size, MEM_COMMIT, PAGE_READWRITE));
  }
  ~RemoteMemory() {
    if (address_)
      ::VirtualFreeEx(process_.get(), address_, 0, MEM_RELEASE);
  }
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;

  char* address() const { return address_; }
  bool Write(SIZE_T offset, const void* data, SIZE_T length) const {
    SIZE_T moved = 0;
    return address_ && offset + length <= size_ &&
           ::WriteProcessMemory(process_.get(), address_ + offset, data, length, &moved) && moved == length;
  }
  bool Read(SIZE_T offset, void* data, SIZE_T length) const {
    SIZE_T moved = 0;
    return address_ && offset + length <= size_ &&
           ::ReadProcessMemory(process_.get(), address_ + offset, data, length, &moved) && moved == length;
  }

 private:
  OwnedHandle process_;
  char* address_ = nullptr;
  SIZE_T size_;
};

// A rich edit's text in the code page, asked with EM_GETTEXTEX: across processes Wine hands
// its WM_GETTEXT answer back in UTF-16 even to an ANSI request.
std::string RichEditText(HWND hwnd) {
  GETTEXTLENGTHEX lengthInfo{GTL_NUMBYTES | GTL_PRECISE, CP_ACP};
  RemoteMemory lengthMemory(hwnd, sizeof(lengthInfo));
  if (!lengthMemory.Write(0, &lengthInfo, sizeof(lengthInfo)))
    return std::string();
  LRESULT bytes = ::SendMessageA(hwnd, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(lengthMemory.address()), 0);
  if (bytes <= 0)
    return std::string();
  SIZE_T size = static_cast<SIZE_T>(bytes) * 2 + 16;
  RemoteMemory memory(hwnd, sizeof(GETTEXTEX) + size);
  GETTEXTEX info{};
  info.cb = static_cast<DWORD>(size);
  info.flags = GT_USECRLF;
  info.codepage = CP_ACP;
  if (!memory.Write(0, &info, sizeof(info)))
    return std::string();
  LRESULT got = ::SendMessageA(hwnd, EM_GETTEXTEX, reinterpret_cast<WPARAM>(memory.address()),
                               reinterpret_cast<LPARAM>(memory.address() + sizeof(GETTEXTEX)));
  if (got <= 0)
    return std::string();
  std::vector<char> text(size);
  if (!memory.Read(sizeof(GETTEXTEX), text.data(), size))
    return std::string();
  return std::string(text.data(), strnlen(text.data(), size));
}

}  // namespace

std::string GetText(HWND hwnd) {
  if (GetClassNameOf(hwnd).rfind("RichEdit", 0) == 0)
    return RichEditText(hwnd);
  DWORD_PTR length = 0;
  if (!::SendMessageTimeoutA(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length))
    return std::string();
  std::vector<char> buffer(length * 2 + 2);
  DWORD_PTR got = 0;
  if (!::SendMessageTimeoutA(hwnd, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                             SMTO_ABORTIFHUNG, 5000, &got))
    return std::string();
  return std::string(buffer.data(), std::strlen(buffer.data()));
}

bool SetText(HWND hwnd, const std::string& text) {
  DWORD_PTR result = 0;
  return ::SendMessageTimeoutA(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG,
                               5000, &result) != 0;
}

std::string GetClassNameOf(HWND hwnd) {
  char name[128] = {};
  ::GetClassNameA(hwnd, name, sizeof(name));
  return name;
}

void Click(HWND button) {
  ::PostMessageA(button, BM_CLICK, 0, 0);
}

void PressKey(HWND hwnd, UINT virtualKey) {
  ::PostMessageA(hwnd, WM_KEYDOWN, virtualKey, 1);
  ::PostMessageA(hwnd, WM_KEYUP, virtualKey, 0xC0000001);
}

bool ReadListView(HWND list, std::vector<ListItem>& items) {
  items.clear();
  constexpr SIZE_T kTextSize = 1024;
  RemoteMemory memory(list, sizeof(LVITEMA) + kTextSize);
  if (!memory.address())
    return false;
  int count = static_cast<int>(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_STATE;
    item.iItem = i;
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.pszText = memory.address() + sizeof(LVITEMA);
    item.cchTextMax = static_cast<int>(kTextSize);
    if (!memory.Write(0, &item, sizeof(item)))
      return false;
    ::SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(memory.address()));
    char text[kTextSize] = {};
    if (!memory.Read(0, &item, sizeof(item)) || !memory.Read(sizeof(LVITEMA), text, kTextSize - 1))
      return false;
    ListItem out;
    out.text = text;
    out.checked = ((item.state & LVIS_STATEIMAGEMASK) >> 12) == 2;
    out.image = item.iImage;
    items.push_back(out);
  }
  return true;
}

bool SetListItemChecked(HWND list, int index, bool checked) {
  LVITEMA item{};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
  RemoteMemory memory(list, sizeof item);
  if (!memory.Write(0, &item, sizeof item))
    return false;
  return ::SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(index),
                        reinterpret_cast<LPARAM>(memory.address())) != FALSE;
}

int AppendListItem(HWND list, const std::string& text) {
  LVITEMA item{};
  item.mask = LVIF_TEXT;
  item.iItem = static_cast<int>(::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  RemoteMemory memory(list, sizeof item + text.size() + 1);
  item.pszText = memory.address() + sizeof item;
  if (!memory.Write(0, &item, sizeof item) || !memory.Write(sizeof item, text.c_str(), text.size() + 1))
    return -1;
  return static_cast<int>(::SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(memory.address())));
}

}  // namespace kivodriver
