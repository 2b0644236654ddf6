#include "host/launch.h"

#include <climits>

const char* const usageCaption = "zIrPo does NOT approve!";

const char* const usageText =
    "Not enough Arguments given !\n"
    "Starting in Default Resolution of 1280*720 windowed.\n"
    "\n"
    "Try running DisplayPicker.exe !\n"
    "\n"
    "Or provide Arguments:\n"
    ">intro.exe X Y [Z] [W]\n"
    "X = X-Resolution\n"
    "Y = Y-Resolution\n"
    "Z = Fullscreen\t0=Off\t1=On\n"
    "W = Vertical Sync\t0=Off\t1=On\n"
    "You may omit Z+W or just W\n"
    "You need to provide Z in order to set W\n"
    "\n"
    "Example:\n"
    " >intro.exe 1920 1080 1 0";

int parseInteger(const char* text) {
  if (text == nullptr) return 0;
  const char* c = text;
  // The C locale's white space.
  while (*c == ' ' || *c == '\t' || *c == '\n' || *c == '\v' || *c == '\f' || *c == '\r') ++c;
  bool negative = false;
  if (*c == '+' || *c == '-') {
    negative = *c == '-';
    ++c;
  }
  // Accumulate the magnitude in a wider type and stop growing once it is past the int range.
  const long long limit = negative ? -static_cast<long long>(INT_MIN) : static_cast<long long>(INT_MAX);
  long long magnitude = 0;
  while (*c >= '0' && *c <= '9') {
    if (magnitude <= limit) magnitude = magnitude * 10 + (*c - '0');
    ++c;
  }
  if (magnitude > limit) return negative ? INT_MIN : INT_MAX;
  return static_cast<int>(negative ? -magnitude : magnitude);
}

LaunchSettings readLaunchSettings(int argc, const char* const* argv) {
  LaunchSettings settings;
  if (argc < 3) {
    settings.showUsage = true;
  } else {
    settings.resolutionX = parseInteger(argv[1]);
    settings.resolutionY = parseInteger(argv[2]);
    // A picture of no pixels cannot be shown: say so and take the defaults.
    if (settings.resolutionX <= 0 || settings.resolutionY <= 0) {
      settings.showUsage = true;
      settings.resolutionX = defaultResolutionX;
      settings.resolutionY = defaultResolutionY;
    }
  }
  if (argc > 3) settings.fullscreenArgument = parseInteger(argv[3]);
  if (argc > 4) settings.verticalSyncArgument = parseInteger(argv[4]);
  settings.fullscreen = settings.fullscreenArgument == 1;
  settings.verticalSync = settings.verticalSyncArgument == 1;
  return settings;
}
