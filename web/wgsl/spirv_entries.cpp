// Writes the SPIR-V of every entry point of the intro's text exactly as the Vulkan host compiles
// it (vk_compile: the same compiler, options and bindings), one DIR/<entry>.spv each: the web
// page's WGSL is translated from these, so its shaders read the text as the Linux intro does.
// Usage: web_spirv_entries DIR
#include <cstdio>
#include <string>
#include <vector>

#include "shaders/shader_source.h"
#include "host/vulkan/vk_compile.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s DIR (writes DIR/Z1.spv .. DIR/ZZ.spv)\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  for (const char* entry : shaderEntryPoints) {
    std::vector<std::uint32_t> spirv;
    std::string message;
    if (!vk_compile::compileHlsl(shaderSource, shaderSourceLength, entry, spirv, message)) {
      std::fprintf(stderr, "entry point %s does not compile:\n%s\n", entry, message.c_str());
      return 1;
    }
    const std::string path = folder + "/" + entry + ".spv";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const bool written = file != nullptr && std::fwrite(spirv.data(), sizeof spirv[0], spirv.size(), file) == spirv.size();
    if (file != nullptr && std::fclose(file) != 0) file = nullptr;
    if (!written || file == nullptr) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
