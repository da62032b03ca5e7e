#include "base/download_names.h"

#include "base/gbk_text.h"

namespace kivo {

namespace {

constexpr std::string_view kForbidden = "\\/:*?\"<>|";

bool IsReservedDevice(std::string_view name) {
  // The device is named by what comes before the first dot, blanks at its end ignored.
  std::string_view base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ')
    base.remove_suffix(1);
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
  for (const char* device : kDevices) {
    if (EqualsNoCase(base, device))
      return true;
  }
  if (base.size() == 4 && base[3] >= '1' && base[3] <= '9')
    return EqualsNoCase(base.substr(0, 3), "COM") || EqualsNoCase(base.substr(0, 3), "LPT");
  return false;
}

}  // namespace

bool HasForbiddenCharacter(std::string_view name) {
  for (std::size_t i = 0; i < name.size(); i += GbkCharLength(name, i)) {
    if (GbkCharLength(name, i) == 1 && kForbidden.find(name[i]) != std::string_view::npos)
      return true;
  }
  return false;
}

NameFault CheckNameComponent(std::string_view name) {
  if (TrimBlanks(name).empty())
    return NameFault::kBlank;
  if (name == "." || name == "..")
    return NameFault::kDotsOnly;
  for (std::size_t i = 0; i < name.size(); i += GbkCharLength(name, i)) {
    auto byte = static_cast<unsigned char>(name[i]);
    if (GbkCharLength(name, i) == 2)
      continue;
    if (byte < 0x20)
      return NameFault::kControlCharacter;
    if (byte >= 0x80)
      return NameFault::kBrokenText;
    if (kForbidden.find(name[i]) != std::string_view::npos)
      return NameFault::kForbiddenCharacter;
  }
  // A trail byte is never a dot or a blank, so the last byte tells.
  if (name.back() == '.' || name.back() == ' ')
    return NameFault::kTrailingDotOrBlank;
  if (IsReservedDevice(name))
    return NameFault::kReservedDevice;
  return NameFault::kNone;
}

ChosenName ChooseAlbumFolder(const std::string& memberFolder, const std::string& albumName,
                             const std::string& timeStamp, const PathExists& exists) {
  auto fits = [&](const std::string& name) {
    return memberFolder.size() + name.size() + 1 + kGuidFileLength <= kMaxPathLength;
  };
  ChosenName chosen;
  chosen.name = albumName;
  if (CheckNameComponent(albumName) != NameFault::kNone || !fits(albumName)) {
    chosen.name = timeStamp;
    chosen.renamed = true;
  }
  if (exists(memberFolder + chosen.name + "\\")) {
    const std::string base = chosen.name + timeStamp;
    chosen.name = base;
    // Past a few hundred the folder could not be made anyway; the failure shows later.
    for (int n = 2; n < 1000 && exists(memberFolder + chosen.name + "\\"); ++n)
      chosen.name = base + "_" + std::to_string(n);
    chosen.renamed = true;
  }
  // An empty time stamp (the clock could not be read) must not leave the member folder itself.
  if (CheckNameComponent(chosen.name) != NameFault::kNone) {
    for (int n = 1; n < 1000; ++n) {
      chosen.name = "album_" + std::to_string(n);
      if (!exists(memberFolder + chosen.name + "\\"))
        break;
    }
    chosen.renamed = true;
  }
  chosen.path = memberFolder + chosen.name + "\\";
  return chosen;
}

ChosenName ChoosePhotoFile(const std::string& albumFolder, const std::string& photoName,
                           const PathExists& exists,
                           const std::function<std::string()>& makeGuidName) {
  ChosenName chosen;
  chosen.name = photoName;
  chosen.path = albumFolder + photoName + ".jpg";
  if (TrimBlanks(photoName).empty() ||
      CheckNameComponent(photoName + ".jpg") != NameFault::kNone ||
      chosen.path.size() > kMaxPathLength || exists(chosen.path)) {
    chosen.name = makeGuidName();
    chosen.path = albumFolder + chosen.name + ".jpg";
    chosen.renamed = true;
  }
  return chosen;
}

}  // namespace kivo
