#include "tools/vkd3d_route.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tools/capture_encoder.h"
#include "tools/spirv_bytecode.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// A folder of its own for one compilation, removed with everything in it.
struct ScratchFolder {
  fs::path path;
  ScratchFolder() {
    std::string pattern = (fs::temp_directory_path() / "intro-vkd3d-XXXXXX").string();
    if (::mkdtemp(pattern.data()) != nullptr) path = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    if (!path.empty()) fs::remove_all(path, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
};

bool writeFile(const fs::path& path, const void* data, std::size_t size) {
  std::ofstream file(path, std::ios::binary);
  file.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  return static_cast<bool>(file);
}

std::string readText(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Runs the compiler with arguments, its output (both streams) into log. True when it exited 0
// and said nothing: a warning fails the route as an error does.
bool runCompiler(const std::string& program, const std::vector<std::string>& arguments, const fs::path& log,
                 std::string& message) {
  std::vector<char*> argv;
  std::vector<std::string> all = {program};
  all.insert(all.end(), arguments.begin(), arguments.end());
  for (std::string& argument : all) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    message = "cannot run " + program + ": " + std::strerror(spawned);
    return false;
  }
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  const std::string said = readText(log);
  const bool exited = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (exited && said.empty()) return true;
  message = said.empty() ? program + " failed (" +
                               (WIFEXITED(status) ? "exit " + std::to_string(WEXITSTATUS(status))
                                                  : "signal " + std::to_string(WTERMSIG(status))) + ")"
                         : said;
  return false;
}

// HLSL to bytecode in folder; the bytecode's path, or empty with message set.
fs::path bytecodeIn(const ScratchFolder& folder, const char* source, std::size_t length, const char* entryPoint,
                    const std::string& program, std::string& message) {
  if (folder.path.empty()) {
    message = std::string("cannot make a temporary folder: ") + std::strerror(errno);
    return {};
  }
  const fs::path hlsl = folder.path / "intro.hlsl";
  const fs::path dxbc = folder.path / (std::string(entryPoint) + ".dxbc");
  if (!writeFile(hlsl, source, length)) {
    message = "cannot write " + hlsl.string();
    return {};
  }
  if (!runCompiler(program, {"-x", "hlsl", "-p", "cs_5_0", "-e", entryPoint, "-b", "dxbc-tpf", "-o", dxbc.string(),
                             hlsl.string()},
                   folder.path / "hlsl.log", message)) {
    return {};
  }
  return dxbc;
}

std::string requireCompiler(std::string& message) {
  const std::string program = vkd3dCompilerPath();
  if (program.empty()) {
    message = "vkd3d-compiler was not found: run scripts/vkd3d (it installs vkd3d-shader 2.x into the cache), "
              "or set INTRO_VKD3D_COMPILER to its path";
  }
  return program;
}

}  // namespace

bool parseShaderRoute(const std::string& text, ShaderRoute& route) {
  if (text == "glslang") route = ShaderRoute::glslang;
  else if (text == "vkd3d") route = ShaderRoute::vkd3d;
  else return false;
  return true;
}

const char* shaderRouteName(ShaderRoute route) { return route == ShaderRoute::vkd3d ? "vkd3d" : "glslang"; }

std::string vkd3dCompilerPath() {
  const char* chosen = std::getenv("INTRO_VKD3D_COMPILER");
  if (chosen != nullptr && *chosen != '\0') return findProgram(chosen);
#ifdef INTRO_VKD3D_COMPILER_BUILT
  if (::access(INTRO_VKD3D_COMPILER_BUILT, X_OK) == 0) return INTRO_VKD3D_COMPILER_BUILT;
#endif
  return findProgram("vkd3d-compiler");
}

bool compileBytecode(const char* source, std::size_t length, const char* entryPoint, std::vector<std::uint8_t>& dxbc,
                     std::string& message) {
  const std::string program = requireCompiler(message);
  if (program.empty()) return false;
  ScratchFolder folder;
  const fs::path path = bytecodeIn(folder, source, length, entryPoint, program, message);
  if (path.empty()) return false;
  const std::string bytes = readText(path);
  dxbc.assign(bytes.begin(), bytes.end());
  return !dxbc.empty();
}

bool compileThroughBytecode(const char* source, std::size_t length, const char* entryPoint,
                            std::vector<std::uint32_t>& spirv, std::string& message) {
  spirv.clear();
  const std::string program = requireCompiler(message);
  if (program.empty()) return false;
  ScratchFolder folder;
  const fs::path dxbc = bytecodeIn(folder, source, length, entryPoint, program, message);
  if (dxbc.empty()) return false;
  const fs::path spv = folder.path / (std::string(entryPoint) + ".spv");
  if (!runCompiler(program, {"-x", "dxbc-tpf", "-b", "spirv-binary", "-o", spv.string(), dxbc.string()},
                   folder.path / "spirv.log", message)) {
    message = "translating the bytecode of " + std::string(entryPoint) + " to SPIR-V: " + message;
    return false;
  }
  const std::string bytes = readText(spv);
  if (bytes.empty() || bytes.size() % 4 != 0) {
    message = "the SPIR-V of " + std::string(entryPoint) + " is not whole words (" + std::to_string(bytes.size()) +
              " bytes)";
    return false;
  }
  spirv.resize(bytes.size() / 4);
  std::memcpy(spirv.data(), bytes.data(), bytes.size());
  return vk_compile::adoptBytecodeSpirv(spirv, entryPoint, message);
}
