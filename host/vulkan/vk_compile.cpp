#include "host/vulkan/vk_compile.h"

#include <fcntl.h>
#include <poll.h>
#include <shaderc/shaderc.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

#include "host/backend_rules.h"

namespace vk_compile {

namespace {

struct Compiler {
  shaderc_compiler_t compiler = shaderc_compiler_initialize();
  shaderc_compile_options_t options = shaderc_compile_options_initialize();

  Compiler() {
    shaderc_compile_options_set_source_language(options, shaderc_source_language_hlsl);
    shaderc_compile_options_set_target_env(options, shaderc_target_env_vulkan, shaderc_env_version_vulkan_1_1);
    // Optimised, as Direct3D's compiler optimises under its debug flag too (only an explicit
    // skip-optimisation flag turns that off). The pictures are nearly all the same bytes as
    // without (a few marched edges move by ulps), and the heavy scenes run up to a third faster
    // on a software device.
    shaderc_compile_options_set_optimization_level(options, shaderc_optimization_level_performance);
    shaderc_compile_options_set_nan_clamp(options, true);
    shaderc_compile_options_set_hlsl_io_mapping(options, true);
    shaderc_compile_options_set_auto_bind_uniforms(options, false);
    shaderc_compile_options_set_binding_base(options, shaderc_uniform_kind_buffer, constantsBinding);
    shaderc_compile_options_set_binding_base(options, shaderc_uniform_kind_texture, textureBinding0);
    shaderc_compile_options_set_binding_base(options, shaderc_uniform_kind_sampler, samplerBinding);
    shaderc_compile_options_set_binding_base(options, shaderc_uniform_kind_image, imageBinding);
    shaderc_compile_options_set_binding_base(options, shaderc_uniform_kind_unordered_access_view, imageBinding);
    shaderc_compile_options_add_macro_definition(options, "INTRO_VULKAN", 12, "1", 1);
  }
  ~Compiler() {
    shaderc_compile_options_release(options);
    shaderc_compiler_release(compiler);
  }
  Compiler(const Compiler&) = delete;
  Compiler& operator=(const Compiler&) = delete;
};

bool compileHere(const char* source, std::size_t length, const char* entryPoint, std::vector<std::uint32_t>& spirv,
                 std::string& message) {
  static Compiler state;
  spirv.clear();
  message.clear();
  if (state.compiler == nullptr || state.options == nullptr) {
    message = backend_rules::unknownCompilerError;
    return false;
  }
  shaderc_compilation_result_t result = shaderc_compile_into_spv(
      state.compiler, source, length, shaderc_compute_shader, "intro.hlsl", entryPoint, state.options);
  const bool ok = result != nullptr && shaderc_result_get_compilation_status(result) == shaderc_compilation_status_success;
  if (ok) {
    const auto* words = reinterpret_cast<const std::uint32_t*>(shaderc_result_get_bytes(result));
    spirv.assign(words, words + shaderc_result_get_length(result) / sizeof(std::uint32_t));
  } else {
    const char* text = result != nullptr ? shaderc_result_get_error_message(result) : nullptr;
    message = text != nullptr && *text != '\0' ? text : backend_rules::unknownCompilerError;
  }
  if (result != nullptr) shaderc_result_release(result);
  return ok;
}

// The child's exit codes other than 0 (its result written).
constexpr int outOfMemoryExit = 90;
constexpr int cannotReplyExit = 91;

void outOfMemory() { _exit(outOfMemoryExit); }

// The address space this process holds now, in bytes (0 when /proc does not say).
std::uint64_t addressSpaceNow() {
  std::FILE* file = std::fopen("/proc/self/statm", "r");
  if (file == nullptr) return 0;
  unsigned long long pages = 0;
  const bool read = std::fscanf(file, "%llu", &pages) == 1;
  std::fclose(file);
  return read ? pages * static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE)) : 0;
}

bool writeAll(int fd, const void* data, std::size_t size) {
  const char* at = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t wrote = ::write(fd, at, size);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return false;
    at += wrote;
    size -= static_cast<std::size_t>(wrote);
  }
  return true;
}

// The child's side: the compile, then its result on fd as ok, the message's and the SPIR-V's
// sizes (three 64-bit words), the message and the SPIR-V. Never returns.
[[noreturn]] void compileAndReply(int fd, SpirvCompiler compile, const ChildLimits& limits, pid_t parent,
                                  std::uint64_t inherited, const char* source, std::size_t length,
                                  const char* entryPoint) {
  // Ends with the thread that waits for it, should that thread's process end first.
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != parent) _exit(cannotReplyExit);
  const std::uint64_t allowed = limits.megabytes << 20;
  if (inherited > 0) {
    const rlim_t bytes = inherited > RLIM_INFINITY - allowed ? RLIM_INFINITY : inherited + allowed;
    const rlimit space{bytes, bytes};
    ::setrlimit(RLIMIT_AS, &space);
  }
  // Processor time, against a child left alone: the waiting side kills it at the wall-clock limit.
  const auto cpuSeconds = static_cast<rlim_t>(limits.seconds) + 2;
  const rlimit cpu{cpuSeconds, cpuSeconds + 1};
  ::setrlimit(RLIMIT_CPU, &cpu);
  std::set_new_handler(outOfMemory);
  std::vector<std::uint32_t> spirv;
  std::string message;
  const bool ok = compile(source, length, entryPoint, spirv, message);
  const std::uint64_t header[3] = {ok ? 1u : 0u, message.size(), spirv.size()};
  const bool replied = writeAll(fd, header, sizeof header) && writeAll(fd, message.data(), message.size()) &&
                       writeAll(fd, spirv.data(), spirv.size() * sizeof(std::uint32_t));
  _exit(replied ? 0 : cannotReplyExit);
}

// What the child said: false when its reply is incomplete.
bool readReply(const std::string& reply, bool& ok, std::vector<std::uint32_t>& spirv, std::string& message) {
  std::uint64_t header[3] = {};
  if (reply.size() < sizeof header) return false;
  std::memcpy(header, reply.data(), sizeof header);
  if (header[1] > reply.size() || header[2] > reply.size() / sizeof(std::uint32_t) ||
      reply.size() != sizeof header + header[1] + header[2] * sizeof(std::uint32_t)) {
    return false;
  }
  ok = header[0] == 1;
  message.assign(reply, sizeof header, static_cast<std::size_t>(header[1]));
  spirv.resize(static_cast<std::size_t>(header[2]));
  std::memcpy(spirv.data(), reply.data() + sizeof header + header[1], spirv.size() * sizeof(std::uint32_t));
  return true;
}

// Reads fd until its end or the deadline; false at the deadline.
bool readUntil(int fd, std::chrono::steady_clock::time_point deadline, std::string& reply) {
  char buffer[65536];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd watch{fd, POLLIN, 0};
    const int ready = ::poll(&watch, 1, static_cast<int>(std::min<std::int64_t>(left.count() + 1, 60000)));
    if (ready < 0 && errno != EINTR) return false;  // cannot wait for it: stopped as if out of time
    if (ready <= 0) continue;
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return true;
    reply.append(buffer, static_cast<std::size_t>(got));
  }
}

std::mutex childrenMutex;
bool inChildren = false;
ChildLimits childrenLimits;

}  // namespace

bool compileInChild(SpirvCompiler compile, const ChildLimits& limits, const char* source, std::size_t length,
                    const char* entryPoint, std::vector<std::uint32_t>& spirv, std::string& message) {
  spirv.clear();
  message.clear();
  const std::string where = std::string("the shader compiler, on entry point ") + entryPoint + ", ";
  int fds[2] = {-1, -1};
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    message = where + "could not be started (pipe: " + std::strerror(errno) + ")";
    return false;
  }
  const std::uint64_t inherited = addressSpaceNow();
  const pid_t parent = ::getpid();
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    compileAndReply(fds[1], compile, limits, parent, inherited, source, length, entryPoint);
  }
  ::close(fds[1]);
  if (child < 0) {
    message = where + "could not be started (fork: " + std::strerror(errno) + ")";
    ::close(fds[0]);
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                            std::chrono::duration<double>(limits.seconds));
  std::string reply;
  const bool inTime = readUntil(fds[0], deadline, reply);
  ::close(fds[0]);
  if (!inTime) ::kill(child, SIGKILL);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  const std::string whatToDo =
      "; the text may ask too much of it (a loop unrolled over many steps, code nested very deep): change it and "
      "save again";
  char limit[64];
  if (!inTime || (WIFSIGNALED(status) && WTERMSIG(status) == SIGXCPU)) {
    std::snprintf(limit, sizeof limit, "%g s", limits.seconds);
    message = where + "took more than " + limit + " and was stopped" + whatToDo;
    return false;
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == outOfMemoryExit) {
    std::snprintf(limit, sizeof limit, "%llu MB", static_cast<unsigned long long>(limits.megabytes));
    message = where + "needed more than " + limit + " of memory and was stopped" + whatToDo;
    return false;
  }
  if (WIFSIGNALED(status)) {
    const char* name = ::strsignal(WTERMSIG(status));
    message = where + "crashed (signal " + std::to_string(WTERMSIG(status)) + ", " + (name ? name : "unknown") + ")" +
              whatToDo;
    return false;
  }
  bool ok = false;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !readReply(reply, ok, spirv, message)) {
    spirv.clear();
    message = where + "ended without its result (exit code " +
              std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + ")";
    return false;
  }
  if (!ok) {
    spirv.clear();
    if (message.empty()) message = backend_rules::unknownCompilerError;
  }
  return ok;
}

void compileInChildren(const ChildLimits& limits) {
  const std::lock_guard<std::mutex> lock(childrenMutex);
  inChildren = true;
  childrenLimits = limits;
}

bool compileHlsl(const char* source, std::size_t length, const char* entryPoint,
                 std::vector<std::uint32_t>& spirv, std::string& message) {
  ChildLimits limits;
  {
    const std::lock_guard<std::mutex> lock(childrenMutex);
    if (!inChildren) return compileHere(source, length, entryPoint, spirv, message);
    limits = childrenLimits;
  }
  return compileInChild(compileHere, limits, source, length, entryPoint, spirv, message);
}

}  // namespace vk_compile
