// Compares the pictures a browser drew with intro-tool's, by the project's agreement rule
// (picture_agreement.h). Each line of LIST: NAME WIDTH HEIGHT RULE, with REFERENCE_DIR/NAME.rgba
// (intro-tool frame's picture, raw RGBA8) and DRAWN_DIR/NAME.rgba (the browser's); RULE "exact"
// wants the same bytes, "agree" agreement, or as much as the browser's own picture moves when e
// goes one ulp up (DRAWN_DIR/NAME.nudged.rgba, where there is one). A picture the page could not
// draw is DRAWN_DIR/NAME.failed, with the page's title.
// Usage: web_pictures LIST REFERENCE_DIR DRAWN_DIR   Exit 0 when every picture passes.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "tests/common/picture_agreement.h"

namespace {

bool readFile(const std::string& path, std::vector<std::uint8_t>& bytes) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return false;
  bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s LIST REFERENCE_DIR DRAWN_DIR\n", argv[0]);
    return 2;
  }
  std::ifstream list(argv[1]);
  const std::string references = argv[2], drawn = argv[3];
  std::string line;
  int passed = 0, failed = 0, exact = 0;
  while (std::getline(list, line)) {
    std::istringstream fields(line);
    std::string name, rule;
    int width = 0, height = 0;
    if (!(fields >> name >> width >> height >> rule)) continue;
    const std::size_t bytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
    std::vector<std::uint8_t> reference, picture, nudged, failure;
    std::string verdict;
    bool ok = false;
    if (!readFile(references + "/" + name + ".rgba", reference) || reference.size() != bytes) {
      verdict = "no reference picture of " + std::to_string(width) + "x" + std::to_string(height);
    } else if (readFile(drawn + "/" + name + ".failed", failure)) {
      verdict = "the page failed: " + std::string(failure.begin(), failure.end());
    } else if (!readFile(drawn + "/" + name + ".rgba", picture) || picture.size() != bytes) {
      verdict = "no picture of " + std::to_string(bytes) + " bytes from the page";
    } else {
      const PictureAgreement agreement = comparePictures(picture.data(), reference.data(), width, height);
      verdict = agreement.describe();
      if (agreement.exact == 1.0) ++exact;
      if (rule == "exact") {
        ok = agreement.exact == 1.0;
      } else if (readFile(drawn + "/" + name + ".nudged.rgba", nudged) && nudged.size() == bytes) {
        const PictureAgreement self = comparePictures(picture.data(), nudged.data(), width, height);
        ok = agreesAsRounding(agreement, self);
        verdict += "; e one ulp up here: " + self.describe();
      } else {
        ok = agreement.agrees();
      }
    }
    std::printf("%s %s (%s): %s\n", ok ? "ok  " : "FAIL", name.c_str(), rule.c_str(), verdict.c_str());
    (ok ? passed : failed) += 1;
  }
  std::printf("%d of %d pictures byte-identical to intro-tool's\n%d passed, %d failed\n", exact, passed + failed,
              passed, failed);
  return failed == 0 && passed > 0 ? 0 : 1;
}
