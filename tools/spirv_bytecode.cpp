#include "tools/spirv_bytecode.h"

#include <cstring>
#include <map>

#include "host/vulkan/vk_compile.h"

namespace vk_compile {

namespace {

constexpr std::uint32_t spirvMagic = 0x07230203;
constexpr std::size_t headerWords = 5;
constexpr std::uint16_t opName = 5;
constexpr std::uint16_t opEntryPoint = 15;
constexpr std::uint16_t opDecorate = 71;
constexpr std::uint32_t decorationBinding = 33;

// A literal string: bytes packed little-end first, zero-terminated, padded to whole words.
std::string literal(const std::uint32_t* words, std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i)
    for (int b = 0; b < 4; ++b) {
      const char c = static_cast<char>((words[i] >> (8 * b)) & 0xff);
      if (c == '\0') return text;
      text += c;
    }
  return text;
}

std::vector<std::uint32_t> literalWords(const std::string& text) {
  std::vector<std::uint32_t> words(text.size() / 4 + 1, 0);
  for (std::size_t i = 0; i < text.size(); ++i)
    words[i / 4] |= static_cast<std::uint32_t>(static_cast<unsigned char>(text[i])) << (8 * (i % 4));
  return words;
}

// The host's binding for a register name: "cb0_0" (the constant buffer), "t0".."t5", "s0", "u0".
bool bindingFor(const std::string& name, std::uint32_t& binding) {
  auto number = [&](std::size_t from, std::uint32_t& value) {
    if (from >= name.size()) return false;
    value = 0;
    for (std::size_t i = from; i < name.size() && name[i] != '_'; ++i) {
      if (name[i] < '0' || name[i] > '9') return false;
      value = value * 10 + static_cast<std::uint32_t>(name[i] - '0');
    }
    return true;
  };
  std::uint32_t n = 0;
  if (name.rfind("cb", 0) == 0 && number(2, n) && n == 0) binding = constantsBinding;
  else if (name[0] == 't' && number(1, n) && n <= 5) binding = textureBinding0 + n;
  else if (name[0] == 's' && number(1, n) && n == 0) binding = samplerBinding;
  else if (name[0] == 'u' && number(1, n) && n == 0) binding = imageBinding;
  else return false;
  return true;
}

}  // namespace

bool adoptBytecodeSpirv(std::vector<std::uint32_t>& spirv, const char* entryPoint, std::string& error) {
  if (spirv.size() < headerWords || spirv[0] != spirvMagic) {
    error = "the translated shader is not SPIR-V";
    return false;
  }
  // First pass: names by id; second: rewrite bindings and the entry point.
  std::map<std::uint32_t, std::string> names;
  for (std::size_t at = headerWords; at < spirv.size();) {
    const std::uint16_t op = spirv[at] & 0xffff;
    const std::size_t count = spirv[at] >> 16;
    if (count == 0 || at + count > spirv.size()) {
      error = "the translated SPIR-V is cut short at word " + std::to_string(at);
      return false;
    }
    if (op == opName && count >= 3) names[spirv[at + 1]] = literal(&spirv[at + 2], count - 2);
    at += count;
  }
  std::vector<std::uint32_t> out(spirv.begin(), spirv.begin() + headerWords);
  out.reserve(spirv.size() + 4);
  int entryPoints = 0;
  for (std::size_t at = headerWords; at < spirv.size();) {
    const std::uint16_t op = spirv[at] & 0xffff;
    const std::size_t count = spirv[at] >> 16;
    if (op == opDecorate && count == 4 && spirv[at + 2] == decorationBinding) {
      const auto name = names.find(spirv[at + 1]);
      std::uint32_t binding = 0;
      if (name == names.end() || !bindingFor(name->second, binding)) {
        error = "the translated shader binds a resource the host does not have: '" +
                (name == names.end() ? std::string("id ") + std::to_string(spirv[at + 1]) : name->second) + "'";
        return false;
      }
      out.insert(out.end(), {spirv[at], spirv[at + 1], decorationBinding, binding});
    } else if (op == opEntryPoint && count >= 4) {
      // Execution model, function id, name, then the interface ids after the name's words.
      std::size_t nameWords = 0;
      while (3 + nameWords < count && (spirv[at + 3 + nameWords] >> 24) != 0) ++nameWords;
      ++nameWords;  // the word that holds the terminating zero
      if (3 + nameWords > count) {
        error = "the translated shader's entry point has no name";
        return false;
      }
      const std::vector<std::uint32_t> renamed = literalWords(entryPoint);
      const std::size_t newCount = count - nameWords + renamed.size();
      out.push_back(static_cast<std::uint32_t>(newCount << 16) | opEntryPoint);
      out.insert(out.end(), {spirv[at + 1], spirv[at + 2]});
      out.insert(out.end(), renamed.begin(), renamed.end());
      out.insert(out.end(), spirv.begin() + static_cast<std::ptrdiff_t>(at + 3 + nameWords),
                 spirv.begin() + static_cast<std::ptrdiff_t>(at + count));
      ++entryPoints;
    } else {
      out.insert(out.end(), spirv.begin() + static_cast<std::ptrdiff_t>(at),
                 spirv.begin() + static_cast<std::ptrdiff_t>(at + count));
    }
    at += count;
  }
  if (entryPoints != 1) {
    error = "the translated shader has " + std::to_string(entryPoints) + " entry points, not one";
    return false;
  }
  spirv = std::move(out);
  return true;
}

}  // namespace vk_compile
