// A vendor's branding of the Windows launcher: its own icon and version
// information put into the launcher's resources, written with no help from
// Windows so that the packer brands setups on any system.
//
// Only the resources change: the launcher must be linked with .rsrc as its
// last section (launcher/lmsetup_sections.ld), and that section is rebuilt
// (resource_tree.h) and may grow, moving nothing else of the image
// (pe_image.h). Every other resource, the manifest among them, keeps its
// bytes. A launcher whose layout does not allow that is refused before
// anything is made: a section behind .rsrc, data behind the section, the
// headers or another section's data in the file from the section's start
// on, a certificate table (signing is the last step, after packing), a
// resource directory or resource data outside .rsrc, another data
// directory inside it.
#ifndef LM_PE_LAUNCHER_BRANDING_H_
#define LM_PE_LAUNCHER_BRANDING_H_

#include <string>

#include "pe/icon_file.h"
#include "pe/version_info.h"
#include "util/result.h"

namespace pe {

struct Branding {
  // Replaces the main icon group (the first in resource order) and the
  // images only it names, keeping its name and language; the images become
  // icon resources of the lowest free numbers. Without an icon group the
  // group becomes number 1, US English.
  const IconFile* icon = nullptr;
  // Replaces every version resource with this one: number 1, in its
  // language.
  const VersionInfo* version = nullptr;
};

// `launcher` (a whole launcher image) with `branding` applied, its
// checksum recomputed, in *branded. kBadInput, with what is wrong, for a
// launcher that cannot be branded safely.
Result BrandLauncher(const std::string& launcher, const Branding& branding, std::string* branded);

// The version strings of the program image at the start of `file` (bytes
// behind the image are ignored). Empty when it is no PE image or has no
// version resource; kBadInput when its resources or version information are
// damaged.
Result ReadVersionStrings(const std::string& file, VersionInfo::Strings* strings);

}  // namespace pe

#endif  // LM_PE_LAUNCHER_BRANDING_H_
