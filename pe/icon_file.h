// A Windows icon file (.ico), read for its images, and the icon group
// resource (RT_GROUP_ICON) that names them once they are icon resources
// (RT_ICON).
//
// The file is an ICONDIR (reserved 0, type 1, image count), one 16-byte
// ICONDIRENTRY per image (width, height, colour count, reserved, planes,
// bit count, the image's size and its offset in the file), and the images:
// each a BITMAPINFOHEADER bitmap (a 40-byte header first) or a PNG file
// (used for 256x256 images). The group resource has the same header and one
// 14-byte GRPICONDIRENTRY per image, whose last field is the image's
// resource number in place of its file offset.
#ifndef LM_PE_ICON_FILE_H_
#define LM_PE_ICON_FILE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "util/result.h"

namespace pe {

class IconFile {
 public:
  struct Image {
    std::string entry;  // the first 12 bytes of its ICONDIRENTRY: width through size
    std::string data;   // the bitmap or PNG
  };

  // Reads an icon file's bytes. kBadInput, with what is wrong, for a file
  // that is no icon file, holds no images, or names an image that lies
  // (partly) past the file's end, shares bytes with another, or is no
  // bitmap of a width and a height nor a PNG with its header chunk.
  static Result Read(const std::string& bytes, IconFile* icon);

  const std::vector<Image>& images() const { return images_; }

  // The group resource naming image i as icon resource numbers[i].
  std::string GroupResource(const std::vector<uint16_t>& numbers) const;

  // The resource numbers that the group resource `group` names; empty when
  // it is too short to be one.
  static std::vector<uint16_t> GroupNumbers(const std::string& group);

 private:
  std::vector<Image> images_;
};

}  // namespace pe

#endif  // LM_PE_ICON_FILE_H_
