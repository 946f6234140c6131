// How long the configurator takes from CreateProcess to its first painted main
// window (a known pixel of its skin on the screen), against the same measure of
// a minimal Win32 window, in the same run with the device service running.
// Prints the medians of five alternating starts each and their ratio, and where
// the configurator's time goes: the configurator is started with
// OVRIX_START_TIMES set, and at its first paint it sends the points of its
// start and the time of each kind of work as one line of debugger output, which
// this program reads as a debug-output monitor does. Each phase is printed
// beside its floor, measured in the same run by a third program started the
// same way, the floor program: the minimal window that first makes as many
// windows of the keys' kind, service calls and image decodes as the
// configurator did, and reports what each cost. Its units are the floor (the
// windows made x one window's creation, the first connection and the service
// calls x one trivial call, the images decoded x one decode): in a process
// that has just started each costs several times what it costs in this
// long-running one, which is printed beside them. Its whole start, against the
// minimal window, shows how near the goal the floors alone leave a start. It
// checks nothing.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <tuple>
#include <utility>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Com.h"
#include "platform/Gdi.h"
#include "platform/Handles.h"
#include "platform/testing/Clock.h"
#include "platform/testing/MessagePump.h"
#include "platform/testing/WinePath.h"
#include "service/DeviceServiceIds.h"
#include "service/ServiceCalls.h"
#include "tools/StartYardsticks.h"

namespace {

struct Target {
  const wchar_t* what;
  std::wstring exe;
  std::wstring folder;
  POINT pixel;
  COLORREF colour;
  const wchar_t* windowClass;
  std::wstring arguments = {};
};

using platform::testing::Now;

double Ms(int64_t ticks) {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  return 1000.0 * static_cast<double>(ticks) / frequency;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? -1 : values[values.size() / 2];
}

// Reads the debugger output of every process while no debugger is attached
// (the shared buffer and its two events), keeping the lines that begin with
// "start-times" (the configurator's) or "start-floor" (the floor program's) by
// process id.
class DebugOutputReader {
 public:
  bool Start() {
    m_bufferReady.Reset(CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY"));
    m_dataReady.Reset(CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY"));
    m_mapping.Reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, L"DBWIN_BUFFER"));
    if (!m_bufferReady || !m_dataReady || !m_mapping) return false;
    m_view = static_cast<const char*>(MapViewOfFile(m_mapping.Get(), FILE_MAP_READ, 0, 0, 4096));
    if (!m_view) return false;
    m_thread = std::thread([this] { Run(); });
    return true;
  }
  ~DebugOutputReader() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    if (m_view) UnmapViewOfFile(m_view);
    m_mapping.Close();
    m_dataReady.Close();
    m_bufferReady.Close();
  }
  // The line of a process, waiting up to a few seconds for it.
  std::string LineOf(DWORD pid, DWORD waitMs) {
    for (DWORD waited = 0;; waited += 10) {
      {
        std::lock_guard<std::mutex> guard(m_lock);
        auto it = m_lines.find(pid);
        if (it != m_lines.end()) return it->second;
      }
      if (waited >= waitMs) return {};
      Sleep(10);
    }
  }

 private:
  void Run() {
    while (!m_stop) {
      SetEvent(m_bufferReady.Get());
      if (WaitForSingleObject(m_dataReady.Get(), 100) != WAIT_OBJECT_0) continue;
      DWORD pid = 0;
      memcpy(&pid, m_view, sizeof(pid));
      const std::string text(m_view + sizeof(pid), strnlen(m_view + sizeof(pid), 4096 - sizeof(pid)));
      if (text.rfind("start-times ", 0) == 0 || text.rfind("start-floor ", 0) == 0) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_lines[pid] = text;
      }
    }
  }

  platform::KernelHandle m_bufferReady, m_dataReady, m_mapping;
  const char* m_view = nullptr;
  std::thread m_thread;
  std::atomic<bool> m_stop{false};
  std::mutex m_lock;
  std::map<DWORD, std::string> m_lines;
};

// The service's call log, through its control interface (whose own calls it does not log).
class CallLog {
 public:
  bool Open() {
    return SUCCEEDED(CoCreateInstance(CLSID_DeviceServiceControl, nullptr, CLSCTX_LOCAL_SERVER,
                                      __uuidof(IDeviceServiceControl), m_control.OutVoid()));
  }
  void Clear() {
    if (m_control) m_control->ClearCallLog();
  }
  // The calls logged since the last Clear; -1 without the control interface.
  int Count() {
    if (!m_control) return -1;
    const std::wstring log = ReadCallLog(m_control.Get());
    return static_cast<int>(std::count(log.begin(), log.end(), L'\n'));
  }

 private:
  platform::ComRef<IDeviceServiceControl> m_control;
};

// What one start of the configurator reported, in milliseconds from CreateProcess.
struct Breakdown {
  bool valid = false;
  std::map<std::string, double> points;  // point name -> ms since CreateProcess
  std::map<std::string, double> spent;   // kind of work -> ms
  std::map<std::string, int> counts;     // kind of work -> items
  int serviceCalls = -1;
  int windows = 0;
  double seen = 0;  // the pixel seen
};

// The name=value fields of a reported line; empty when the line's counter
// frequency is not this process's (its counter values could not be compared).
std::map<std::string, std::string> Fields(const std::string& line) {
  size_t at = 0;
  std::map<std::string, std::string> fields;
  while ((at = line.find(' ', at)) != std::string::npos) {
    ++at;
    const size_t eq = line.find('=', at);
    const size_t end = line.find_first_of(" \n", at);
    if (eq == std::string::npos || eq > end) continue;
    fields[line.substr(at, eq - at)] = line.substr(eq + 1, end == std::string::npos ? std::string::npos : end - eq - 1);
  }
  LARGE_INTEGER own;
  QueryPerformanceFrequency(&own);
  if (fields.count("freq") == 0 || std::atoll(fields["freq"].c_str()) != own.QuadPart) return {};
  return fields;
}

// A "ticks/count" field: the ticks in ms, and the count.
std::pair<double, int> SpentAndCount(const std::string& v) {
  const size_t slash = v.find('/');
  return {Ms(std::atoll(v.substr(0, slash).c_str())),
          slash == std::string::npos ? 0 : std::atoi(v.c_str() + slash + 1)};
}

Breakdown Parse(const std::string& line, int64_t start) {
  Breakdown b;
  std::map<std::string, std::string> fields = Fields(line);
  if (fields.empty()) return b;
  for (const char* name : {"main", "com", "deviceread", "registry", "tables", "window", "pages", "transfer", "shown",
                           "painted"}) {
    const int64_t value = std::atoll(fields[name].c_str());
    b.points[name] = value ? Ms(value - start) : -1;
  }
  for (const char* name : {"parse", "decode", "fonts", "windows", "crop", "region"})
    std::tie(b.spent[name], b.counts[name]) = SpentAndCount(fields[name]);
  b.valid = true;
  return b;
}

// What one start of the floor program reported: each kind of work's ms and count.
struct FloorReport {
  bool valid = false;
  std::map<std::string, std::pair<double, int>> work;  // connection, calls, decode, windows
  double seen = 0;
  // One item's cost, -1 when none was made.
  double Each(const char* kind) const {
    const auto it = work.find(kind);
    return it == work.end() || it->second.second <= 0 ? -1 : it->second.first / it->second.second;
  }
};

FloorReport ParseFloor(const std::string& line) {
  FloorReport f;
  std::map<std::string, std::string> fields = Fields(line);
  if (fields.empty()) return f;
  for (const char* name : {"connection", "calls", "decode", "windows"}) f.work[name] = SpentAndCount(fields[name]);
  f.valid = true;
  return f;
}

BOOL CALLBACK CountChild(HWND, LPARAM count) {
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND hwnd, LPARAM count) {
  ++*reinterpret_cast<int*>(count);
  EnumChildWindows(hwnd, CountChild, count);
  return TRUE;
}

// NUL as standard handles: what the program starts must not hold our output.
platform::KernelHandle OpenNul() {
  SECURITY_ATTRIBUTES sa = {sizeof(sa), nullptr, TRUE};
  return platform::KernelHandle(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                            &sa, OPEN_EXISTING, 0, nullptr));
}

COLORREF ScreenPixel(POINT at) { return GetPixel(CClientDC(nullptr), at.x, at.y); }

// One start, from CreateProcess until the pixel shows the colour.
struct Start {
  double seen = -1;       // ms; -1 on failure
  int64_t created = 0;    // the counter at CreateProcess
  std::string line;       // what the program reported on the debugger output
  int serviceCalls = -1;  // the calls the service logged meanwhile
  int windows = 0;        // the program's windows at its first paint
};

// With a reader, the program's own account of its start is kept; with a call
// log, the calls it made.
Start TimeToFirstPaint(const Target& target, DebugOutputReader* reader = nullptr, CallLog* calls = nullptr) {
  Start result;
  // Something else on the screen first, so the pixel changes only when the program paints.
  HWND cover = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 0, 0, 1280, 1024, nullptr,
                               nullptr, nullptr, nullptr);
  UpdateWindow(cover);
  DestroyWindow(cover);
  platform::testing::PumpPending();
  if (calls) calls->Clear();

  platform::KernelHandle nul = OpenNul();
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  // A NUL that did not open is INVALID_HANDLE_VALUE, as CreateFileW gave it.
  si.hStdInput = si.hStdOutput = si.hStdError = nul ? nul.Get() : INVALID_HANDLE_VALUE;
  PROCESS_INFORMATION pi{};
  std::wstring cmd = L"\"" + target.exe + L"\"";
  if (!target.arguments.empty()) cmd += L" " + target.arguments;
  const LARGE_INTEGER start = Now();
  const BOOL started = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      target.folder.empty() ? nullptr : target.folder.c_str(), &si, &pi);
  nul.Close();
  if (!started) return result;
  result.created = start.QuadPart;
  const platform::ProcessHandles process(pi);
  double elapsed = -1;
  for (;;) {
    const double ms = Ms(Now().QuadPart - start.QuadPart);
    if (ScreenPixel(target.pixel) == target.colour) {
      elapsed = ms;
      break;
    }
    if (ms > 30000 || WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0) break;
    Sleep(1);
  }
  result.seen = elapsed;
  if (elapsed > 0) {
    if (calls) result.serviceCalls = calls->Count();
    EnumThreadWindows(pi.dwThreadId, CountTopLevel, reinterpret_cast<LPARAM>(&result.windows));
    if (reader) result.line = reader->LineOf(pi.dwProcessId, 5000);
  }
  // Close it through its window and wait for its end before the next start.
  for (int i = 0; i < 200; ++i) {
    HWND window = FindWindowW(target.windowClass, nullptr);
    if (window != nullptr) {
      PostMessageW(window, WM_CLOSE, 0, 0);
      break;
    }
    Sleep(10);
  }
  if (WaitForSingleObject(pi.hProcess, 20000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  return result;
}

// The colour of the background image at a point (24-bit BMP, bottom-up).
COLORREF BackgroundPixel(const std::wstring& path, POINT at) {
  HBITMAP bitmap = static_cast<HBITMAP>(LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
  if (bitmap == nullptr) return CLR_INVALID;
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap);
  const COLORREF colour = GetPixel(dc, at.x, at.y);
  SelectObject(dc, old);
  DeleteDC(dc);
  DeleteObject(bitmap);
  return colour;
}

// One window's creation in this long-running process: owner-drawn buttons made
// as the keys are made (a hidden parent, so nothing is painted), the best of
// three runs. The buttons are of the common controls the configurator's
// manifest asks for, taken from the configurator's own manifest. Printed beside
// the same creation in a new process, which is what the configurator pays.
double OneWindowMs(const std::wstring& exe) {
  const ConfiguratorControls controls(exe);
  HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 400, nullptr, nullptr, nullptr, nullptr);
  double best = 1e9;
  for (int run = 0; run < 3; ++run) {
    std::vector<HWND> made;
    const LARGE_INTEGER start = Now();
    for (int i = 0; i < 100; ++i)
      made.push_back(CreateWindowExW(0, L"BUTTON", L"", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, i % 10 * 35,
                                     i / 10 * 35, 35, 35, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(i + 1)),
                                     nullptr, nullptr));
    best = std::min(best, Ms(Now().QuadPart - start.QuadPart) / 100);
    for (HWND hwnd : made) DestroyWindow(hwnd);
  }
  DestroyWindow(parent);
  return best;
}

// One trivial call to the service (IDeviceIdentity::GetIds) in this process,
// the best of three runs of 200; -1 without the service.
double OneCallMs() {
  TrivialCallTarget target;
  if (!target.Open()) return -1;
  const double seconds = target.CallSeconds(200, 3);
  return seconds < 0 ? -1 : 1000.0 * seconds;
}

// One decode in this process: every image of the skin folder read from its file
// into a DIB section once, the mean per image (the best of three runs).
double OneDecodeMs(const std::wstring& skins) {
  const std::vector<std::wstring> files = BitmapsIn(skins);
  if (files.empty()) return -1;
  double best = 1e9;
  for (int run = 0; run < 3; ++run) {
    const LARGE_INTEGER start = Now();
    for (const std::wstring& file : files) DecodeOnce(file);
    best = std::min(best, Ms(Now().QuadPart - start.QuadPart) / static_cast<double>(files.size()));
  }
  return best;
}

void PrintPhase(const char* what, double ms, double floor = -1, const std::string& floorText = {}) {
  if (floor > 0)
    std::printf("  %-44s %7.1f ms   floor %7.1f ms (%s): %.2fx\n", what, ms, floor, floorText.c_str(), ms / floor);
  else
    std::printf("  %-44s %7.1f ms\n", what, ms);
}

}  // namespace

int main() {
  const std::wstring app = DosPath(OVRIX_SKIN_APP_DIR) + L"\\";
  // A point of the main window's background that no control covers.
  const POINT backgroundPoint{700, 88};
  const Target configurator{L"configurator", app + L"KestraneOvrixConfig.exe", app, backgroundPoint,
                            BackgroundPixel(app + L"skins\\MainPage_Background.bmp", backgroundPoint),
                            L"SINGLE_INSTANCE_APP_MORVEL"};
  const Target minimal{L"minimal window", DosPath(OVRIX_MINIMAL_WINDOW_EXE), L"", POINT{100, 100}, RGB(12, 34, 56),
                       L"OvrixMinimalWindow"};
  // Its arguments are set once the configurator's first start has told its counts.
  Target floor{L"floor program", DosPath(OVRIX_START_FLOOR_EXE), L"", POINT{150, 150}, RGB(56, 34, 12),
               L"OvrixStartFloor"};

  const platform::ComApartment com(COINIT_APARTMENTTHREADED);
  DebugOutputReader reader;
  const bool reading = reader.Start();
  CallLog calls;
  const bool counting = calls.Open();
  // Inherited by the configurator's starts (and harmless to the other two).
  SetEnvironmentVariableW(L"OVRIX_START_TIMES", L"1");

  std::vector<double> configuratorTimes, minimalTimes, floorTimes;
  std::vector<Breakdown> breakdowns;
  std::vector<FloorReport> floors;
  for (int run = 0; run < 5; ++run) {
    minimalTimes.push_back(TimeToFirstPaint(minimal).seen);
    const Start start = TimeToFirstPaint(configurator, reading ? &reader : nullptr, counting ? &calls : nullptr);
    configuratorTimes.push_back(start.seen);
    Breakdown b = Parse(start.line, start.created);
    b.serviceCalls = start.serviceCalls;
    b.windows = start.windows;
    b.seen = start.seen;
    breakdowns.push_back(b);
    // The floor program does the configurator's countable work: its windows made,
    // its service calls (the first of them, GetDevice, is part of the first
    // connection) and its images decoded.
    if (floor.arguments.empty() && b.valid && b.serviceCalls > 0)
      floor.arguments = L"\"" + configurator.exe + L"\" " + std::to_wstring(b.counts.at("windows")) + L" " +
                        std::to_wstring(b.serviceCalls - 1) + L" " + std::to_wstring(b.counts.at("decode")) + L" \"" +
                        app + L"skins\"";
    if (!floor.arguments.empty()) {
      const Start floorStart = TimeToFirstPaint(floor, reading ? &reader : nullptr);
      floorTimes.push_back(floorStart.seen);
      FloorReport f = ParseFloor(floorStart.line);
      f.seen = floorStart.seen;
      floors.push_back(f);
    }
  }
  const double c = Median(configuratorTimes), m = Median(minimalTimes);
  std::printf("start to first paint, median of 5: configurator %.1f ms, minimal window %.1f ms\n", c, m);
  if (c > 0 && m > 0) std::printf("ratio %.2f (goal: at most 3)\n", c / m);
  else std::printf("a start did not paint (configurator %.1f, minimal %.1f)\n", c, m);

  // Where the configurator's time goes: the median of each phase over the starts
  // that reported, each against its floor where one is measured.
  std::vector<Breakdown> valid;
  for (const Breakdown& b : breakdowns)
    if (b.valid) valid.push_back(b);
  std::vector<FloorReport> validFloors;
  for (const FloorReport& f : floors)
    if (f.valid && f.seen > 0) validFloors.push_back(f);
  if (valid.empty() || validFloors.empty()) {
    std::printf("no start reported its phases (debug output %s)\n", reading ? "read" : "not readable");
    return c > 0 && m > 0 ? 0 : 1;
  }
  auto median = [&](auto take) {
    std::vector<double> values;
    for (const Breakdown& b : valid) values.push_back(take(b));
    return Median(values);
  };
  auto floorMedian = [&](auto take) {
    std::vector<double> values;
    for (const FloorReport& f : validFloors) values.push_back(take(f));
    return Median(values);
  };
  // Each unit's cost in a new process (the floor program's), and in this one.
  const double windowNew = floorMedian([](const FloorReport& f) { return f.Each("windows"); });
  const double callNew = floorMedian([](const FloorReport& f) { return f.Each("calls"); });
  const double connectionNew = floorMedian([](const FloorReport& f) { return f.Each("connection"); });
  const double decodeNew = floorMedian([](const FloorReport& f) { return f.Each("decode"); });
  const double floorStart = Median(floorTimes);
  const double windowHere = OneWindowMs(configurator.exe);
  const double callHere = OneCallMs();
  const double decodeHere = OneDecodeMs(app + L"skins\\");

  auto phase = [&](const char* from, const char* to) {
    return median([&](const Breakdown& b) { return b.points.at(to) - (from ? b.points.at(from) : 0.0); });
  };
  const auto& first = valid.front();
  const double serviceCalls = median([](const Breakdown& b) { return static_cast<double>(b.serviceCalls); });
  const double windowsMade = median([](const Breakdown& b) { return static_cast<double>(b.counts.at("windows")); });
  const double decoded = median([](const Breakdown& b) { return static_cast<double>(b.counts.at("decode")); });
  std::printf("the floor program (the minimal window that first makes the same %d windows of the keys' kind, the "
              "first connection and %d further service calls, and %d image decodes, in a new process), median of "
              "%zu: %.1f ms, %.2fx the minimal window; the configurator takes %.2fx the floor program\n",
              static_cast<int>(windowsMade), static_cast<int>(serviceCalls) - 1, static_cast<int>(decoded),
              validFloors.size(), floorStart, floorStart / m, c / floorStart);
  std::printf("one unit of work in a new process (the floor program's) and in this long-running one:\n");
  std::printf("  %-44s %7.3f ms   here %7.3f ms\n", "a window's creation", windowNew, windowHere);
  std::printf("  %-44s %7.3f ms   here %7.3f ms\n", "a trivial service call", callNew, callHere);
  std::printf("  %-44s %7.3f ms\n", "the first connection (activation, the device)", connectionNew);
  std::printf("  %-44s %7.3f ms   here %7.3f ms\n", "an image decode", decodeNew, decodeHere);

  std::printf("where the configurator's time goes (median of %zu starts, ms from CreateProcess):\n", valid.size());
  PrintPhase("process start and DLLs, to the program's code", phase(nullptr, "main"), m,
             "the minimal window's whole start");
  PrintPhase("common controls and COM", phase("main", "com"));
  const double deviceRead = phase("com", "deviceread");
  const double transfer = phase("pages", "transfer");
  PrintPhase("device read, first stage", deviceRead);
  PrintPhase("registry and tray start", phase("deviceread", "registry"));
  PrintPhase("language and layout files", phase("registry", "tables"));
  PrintPhase("main window and its skin file", phase("tables", "window"));
  PrintPhase("pages: skin files and their windows", phase("window", "pages"));
  PrintPhase("device read, every profile", transfer);
  PrintPhase("lists filled", phase("transfer", "shown"));
  PrintPhase("shown, to its first paint done", phase("shown", "painted"));
  PrintPhase("on the screen (pixel seen)", median([](const Breakdown& b) { return b.seen - b.points.at("painted"); }));
  // The floors below are the new process's unit costs times the configurator's counts.
  const double readFloor = connectionNew + (serviceCalls - 1) * callNew;
  PrintPhase("device reads together", deviceRead + transfer, readFloor,
             "the first connection + " + std::to_string(static_cast<int>(serviceCalls) - 1) + " calls x " +
                 std::to_string(callNew).substr(0, 5) + " ms");
  std::printf("kinds of work within those phases (each counted once, nested work apart):\n");
  PrintPhase("creating windows", median([](const Breakdown& b) { return b.spent.at("windows"); }),
             windowsMade * windowNew,
             std::to_string(static_cast<int>(windowsMade)) + " windows x " + std::to_string(windowNew).substr(0, 5) +
                 " ms");
  PrintPhase("decoding images", median([](const Breakdown& b) { return b.spent.at("decode"); }), decoded * decodeNew,
             std::to_string(static_cast<int>(decoded)) + " images x " + std::to_string(decodeNew).substr(0, 5) + " ms");
  std::printf("  %-44s %7.1f ms   (%d files)\n", "parsing skin files",
              median([](const Breakdown& b) { return b.spent.at("parse"); }), first.counts.at("parse"));
  std::printf("  %-44s %7.1f ms   (%d fonts)\n", "adding fonts",
              median([](const Breakdown& b) { return b.spent.at("fonts"); }), first.counts.at("fonts"));
  std::printf("  %-44s %7.1f ms   (%d pieces)\n", "cropping pieces of images",
              median([](const Breakdown& b) { return b.spent.at("crop"); }), first.counts.at("crop"));
  std::printf("  %-44s %7.1f ms   (%d masks)\n", "shaping windows from masks",
              median([](const Breakdown& b) { return b.spent.at("region"); }), first.counts.at("region"));
  // Where the floors leave the ratio: the process start at the minimal window's
  // whole start plus the new process's costs of the configurator's windows,
  // calls and decodes, against the minimal window; the floor program measures
  // the same whole.
  const double added = m + readFloor + windowsMade * windowNew + decoded * decodeNew;
  std::printf("the floors above added up: %.1f ms, %.2fx the minimal window (the floor program, which does that "
              "work, %.2fx; the rest of the configurator's start, %.1f ms, is the work without a floor and what each "
              "phase spends beyond its floor)\n",
              added, added / m, floorStart / m, c - floorStart);
  std::printf("windows of the configurator at its first paint: %d; service calls to its first paint: %d\n",
              first.windows, first.serviceCalls);
  return c > 0 && m > 0 ? 0 : 1;
}
