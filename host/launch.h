#pragma once
// The intro's command line: X Y [Z] [W] -> launch settings. Portable, no platform calls.

// Caption and text of the usage message shown when the picture size is missing or unusable.
extern const char* const usageCaption;
extern const char* const usageText;  // 16 lines joined by '\n', no '\n' after the last

inline constexpr int defaultResolutionX = 1280;
inline constexpr int defaultResolutionY = 720;

struct LaunchSettings {
  int resolutionX = defaultResolutionX;  // X: width of the window, back buffer and render texture
  int resolutionY = defaultResolutionY;  // Y: height of the same
  int fullscreenArgument = 0;            // Z as read (0 when absent)
  int verticalSyncArgument = 0;          // W as read (0 when absent)
  bool fullscreen = false;               // Z is exactly 1
  bool verticalSync = false;             // W is exactly 1
  bool showUsage = false;                // show the usage message before the window opens
};

// The C library's atoi, without its undefined behaviour: skips leading white space (space,
// \t \n \v \f \r), takes an optional sign and decimal digits, stops at the first other
// character; no digits gives 0. Values beyond the int range saturate to INT_MAX / INT_MIN.
int parseInteger(const char* text);

// argc counts the program itself (argv[0]); argv[1..argc-1] are read, nothing else.
// Fewer than two numbers, or a width or height of zero or less: showUsage and 1280 x 720.
// Z and W are read whenever they are present, whatever happened to X and Y. Arguments after
// the fourth are ignored.
LaunchSettings readLaunchSettings(int argc, const char* const* argv);
