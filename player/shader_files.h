#pragma once
// The HLSL text read from a folder of scene files instead of the built-in one: the files of
// shaders/ by the same names, joined in the same order as the build joins them (plain
// concatenation), so that an unchanged copy gives the built-in text byte for byte. Each part
// keeps its file's path and first line, so that a compiler's "intro.hlsl:LINE" can be said in
// the folder's own files; each file's stat is kept, so that a save is seen.
//
//   ShaderFiles files("my_shaders");
//   std::string error;
//   if (!files.load(error)) ... error names the file and what to do ...
//   compile(files.text()) ... on failure: files.mapMessage(compilerMessage)
//   if (files.changed()) ... load again ...
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "player/file_stamp.h"

// One file of the joined text.
struct ShaderPart {
  std::string path;            // folder / name, as messages name it
  std::size_t firstLine = 1;   // the joined text's line (from 1) where the file's first line is
  std::size_t lineCount = 0;   // lines the file spans (a last line without a newline counts)
};

// Every "intro.hlsl:LINE" (and "intro.hlsl:LINE:COLUMN", "intro.hlsl(LINE)") of message said in
// the file of parts that holds that line of the joined text: "DIR/z3_corridor.hlsl:LOCAL"; a
// line of the message whose only location was so rewritten loses the bare "intro.hlsl: " before
// it. Lines without a location, and locations no part holds, stay as they are. Where a file ends
// without a newline its last line and the next file's first are one line of the text; it is
// said in the first of them.
std::string mapCompilerMessage(const std::string& message, std::span<const ShaderPart> parts);

class ShaderFiles {
 public:
  // The files of names (the build's list, shaderFileNames, by default) in folder.
  explicit ShaderFiles(std::string folder);
  ShaderFiles(std::string folder, std::vector<std::string> names);

  // Reads every file in order and joins them. False with error naming the file that could not
  // be read; the text and parts of the last successful load stay. Either way the stamps seen
  // are remembered, so changed() is false until a file is saved again.
  bool load(std::string& error);
  // A file's stat differs from what the last load saw (or nothing was loaded yet).
  bool changed() const;

  const std::string& folder() const { return folder_; }
  const std::string& text() const { return text_; }
  const std::vector<ShaderPart>& parts() const { return parts_; }
  std::string mapMessage(const std::string& message) const { return mapCompilerMessage(message, parts_); }

 private:
  std::string folder_;
  std::vector<std::string> names_;
  std::vector<std::string> paths_;
  std::string text_;
  std::vector<ShaderPart> parts_;
  std::vector<FileStamp> stamps_;  // empty: never loaded
};
