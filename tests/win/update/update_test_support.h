// What the update's Wine tests share: control requests to the stand-in service, tagged
// copies of the mark program, files, and a run of a procedure on a worker thread while
// this thread keeps handling messages.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace updatetest {

// What the update checks tell the user.
inline constexpr char kAsk[] = "发现有更新的版本，是否立即更新？";
inline constexpr char kFetchFailed[] = "获取更新信息失败，请检查您的网络是否正常连接，或者重新下载新版!";
inline constexpr char kNewest[] = "当前版本已经是最新!";
inline constexpr char kDownloadUrl[] = "http://download.kivo.test/KivoAlbum1.6.exe";

// A control request ("update?version=1.6", "reset"...) through the proxy; true on 200.
bool Control(const std::string& request);

// The path of a file of this Wine prefix as the Linux side sees it.
std::string UnixPath(const std::string& windowsPath);

// The bytes of the mark program with "KIVOTAG:" and tag behind them.
std::string MarkProgram(const std::string& tag);

// The lines of marks.txt in folder (the mark programs that started there).
std::string Marks(const std::string& folder);

// The path of a file of the signing material (make-signing-material), which ctest names
// in KIVO_SIGNING_MATERIAL; empty without it.
std::string SigningMaterial(const std::string& name);

// Removes every file in folder (not its subfolders): folders are named after the process
// id, which Wine hands out again in a later run.
void EmptyFolder(const std::string& folder);

// Runs proc(param) on a new thread while this one dispatches messages, so that the
// procedure may send to windows of this thread; returns when it has ended.
void RunPumping(LPTHREAD_START_ROUTINE proc, void* param);

// Saves the display into the test artifacts folder, when there is one.
void Screenshot(const std::string& name);

}  // namespace updatetest
