// Folder and file names of a download. Album and photo names come from the service and
// may be anything; these rules decide when such a name can be used on disk as it is, and
// what takes its place when it cannot (a time stamp for an album, a GUID for a photo).
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace kivo {

// Longest path the ANSI file functions take, without the terminating zero.
constexpr std::size_t kMaxPathLength = 259;
// A GUID name and its extension: what a photo file needs at least in its album folder.
constexpr std::size_t kGuidFileLength = 36 + 4;

enum class NameFault {
  kNone,
  kForbiddenCharacter,  // \ / : * ? " < > |
  kControlCharacter,    // 0x00 to 0x1F
  kBrokenText,          // a byte that is no GBK character: Windows would turn it into another
  kBlank,               // empty, or blanks only
  kDotsOnly,            // "." or "..": the folder itself or its parent
  kReservedDevice,      // CON, PRN, AUX, NUL, COM1-9, LPT1-9, also with an extension
  kTrailingDotOrBlank,  // Windows drops them, so two names would meet in one
};

// One of the nine characters that no file name may hold, found character by character: a
// double-byte character never counts, whatever its second byte.
bool HasForbiddenCharacter(std::string_view name);

// Why name cannot be one path component as it stands; kNone when it can.
NameFault CheckNameComponent(std::string_view name);

struct ChosenName {
  std::string name;  // the name to use from now on
  std::string path;  // album folder with its trailing backslash, or photo file
  bool renamed = false;
};

using PathExists = std::function<bool(const std::string& path)>;

// The album's folder below memberFolder (which ends in a backslash). A name that cannot be
// a folder, or whose folder would leave no room for a photo file, becomes timeStamp; a
// folder that exists already gets timeStamp appended (then "_2", "_3"... while it still
// exists), so that no two albums share a folder.
ChosenName ChooseAlbumFolder(const std::string& memberFolder, const std::string& albumName,
                             const std::string& timeStamp, const PathExists& exists);

// The photo's file in albumFolder: name + ".jpg", unless the name is blank, the file name
// cannot be made, the path is too long or the file exists already; then makeGuidName()
// names it.
ChosenName ChoosePhotoFile(const std::string& albumFolder, const std::string& photoName,
                           const PathExists& exists,
                           const std::function<std::string()>& makeGuidName);

}  // namespace kivo
