// Where a program's start-up time goes, measured only when the environment
// variable OVRIX_START_TIMES is set (the start benchmark sets it): points of
// the start are stamped with the performance counter, and the kinds of work
// that are spread over the start (parsing skin files, decoding images, adding
// fonts, creating windows, cropping pieces of images, turning masks into
// window shapes) add up their own time and count. At the first
// paint the whole record goes out as one line on the debugger output.
// Without the variable every call returns at its first test; with the value
// "trace" each point also goes out as it passes.
#pragma once

#include <cstdint>

namespace platform::start_times {

enum class Work : int { kParse, kDecode, kFonts, kWindows, kCrop, kRegion, kCount };

// The points of the start, in the order the configurator passes them.
enum class Point : int {
  kMain,        // the program's code runs (process and DLL start-up before it)
  kCom,         // common controls and COM ready
  kDeviceRead,  // the first read of the keyboard done
  kRegistry,    // the installer's values read and the tray started
  kTables,      // the language and keyboard layout files loaded
  kWindow,      // the main window and its own skin file made
  kPages,       // the pages' skin files loaded and their windows made
  kTransfer,    // the main window's read of every profile done
  kShown,       // the main window is about to be shown
  kPainted,     // the main window's first paint done
  kCount
};

bool Enabled();

void Stamp(Point point);

// Time spent in one kind of work; a nested scope's time counts for its own kind
// only (a window whose creation parses a skin file counts that as parsing).
class Scope {
 public:
  explicit Scope(Work work);
  ~Scope();
  Scope(const Scope&) = delete;
  Scope& operator=(const Scope&) = delete;

 private:
  bool m_on;
};

// One more item of a kind (files parsed, images decoded, fonts, windows).
void Count(Work work);

// Sends the line once (later calls do nothing); the main window calls it after
// its first paint.
void Report();

}  // namespace platform::start_times
