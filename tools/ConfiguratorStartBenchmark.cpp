// How long the configurator takes from CreateProcess to its first painted main
// window (a known pixel of its skin on the screen), against the same measure of
// a minimal Win32 window, in the same run with the device service running.
// Prints the medians of five alternating starts each and their ratio, and where
// the configurator's time goes: the configurator is started with
// OVRIX_START_TIMES set, and at its first paint it sends the points of its
// start and the time of each kind of work as one line of debugger output, which
// this program reads as a debug-output monitor does. Each phase is printed
// beside its floor, measured here in the same run: the windows made x one
// window's creation, the service calls made x one trivial call (and with one
// first connection to the service), the images decoded x one decode; then
// those floors added up against the minimal window, which shows how near the
// goal the floors alone would leave the start. It checks nothing.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <map>
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

namespace {

struct Target {
  const wchar_t* what;
  std::wstring exe;
  std::wstring folder;
  POINT pixel;
  COLORREF colour;
  const wchar_t* windowClass;
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
// "start-times" by process id.
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
      if (text.rfind("start-times ", 0) == 0) {
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

Breakdown Parse(const std::string& line, int64_t start) {
  Breakdown b;
  int64_t frequency = 0;
  size_t at = 0;
  std::map<std::string, std::string> fields;
  while ((at = line.find(' ', at)) != std::string::npos) {
    ++at;
    const size_t eq = line.find('=', at);
    const size_t end = line.find_first_of(" \n", at);
    if (eq == std::string::npos || eq > end) continue;
    fields[line.substr(at, eq - at)] = line.substr(eq + 1, end == std::string::npos ? std::string::npos : end - eq - 1);
  }
  if (fields.count("freq") == 0) return b;
  frequency = std::atoll(fields["freq"].c_str());
  LARGE_INTEGER own;
  QueryPerformanceFrequency(&own);
  if (frequency != own.QuadPart) return b;
  for (const char* name : {"main", "com", "deviceread", "registry", "tables", "window", "pages", "transfer", "shown",
                           "painted"}) {
    const int64_t value = std::atoll(fields[name].c_str());
    b.points[name] = value ? Ms(value - start) : -1;
  }
  for (const char* name : {"parse", "decode", "fonts", "windows", "crop", "region"}) {
    const std::string& v = fields[name];
    const size_t slash = v.find('/');
    b.spent[name] = Ms(std::atoll(v.substr(0, slash).c_str()));
    b.counts[name] = slash == std::string::npos ? 0 : std::atoi(v.c_str() + slash + 1);
  }
  b.valid = true;
  return b;
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

// Milliseconds from CreateProcess until the pixel shows the colour; -1 on failure.
// With a reader, the program's own account of its start goes into `breakdown`.
double TimeToFirstPaint(const Target& target, DebugOutputReader* reader = nullptr, CallLog* calls = nullptr,
                        Breakdown* breakdown = nullptr) {
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
  const LARGE_INTEGER start = Now();
  const BOOL started = CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      target.folder.empty() ? nullptr : target.folder.c_str(), &si, &pi);
  nul.Close();
  if (!started) return -1;
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
  if (breakdown && elapsed > 0) {
    const int serviceCalls = calls ? calls->Count() : -1;
    int windows = 0;
    EnumThreadWindows(pi.dwThreadId, CountTopLevel, reinterpret_cast<LPARAM>(&windows));
    if (reader) *breakdown = Parse(reader->LineOf(pi.dwProcessId, 5000), start.QuadPart);
    breakdown->serviceCalls = serviceCalls;
    breakdown->windows = windows;
    breakdown->seen = elapsed;
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
  return elapsed;
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

// One window's creation: owner-drawn buttons made as the keys are made (a
// hidden parent, so nothing is painted), the best of three runs. The buttons
// are of the common controls the configurator's manifest asks for, taken from
// the configurator's own manifest.
double OneWindowMs(const std::wstring& exe) {
  ACTCTXW context{};
  context.cbSize = sizeof(context);
  context.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
  context.lpSource = exe.c_str();
  context.lpResourceName = MAKEINTRESOURCEW(1);
  HANDLE activation = CreateActCtxW(&context);
  ULONG_PTR cookie = 0;
  const bool activated = activation != INVALID_HANDLE_VALUE && ActivateActCtx(activation, &cookie);
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
  if (activated) DeactivateActCtx(0, cookie);
  if (activation != INVALID_HANDLE_VALUE) ReleaseActCtx(activation);
  return best;
}

// One trivial call to the service (IDeviceIdentity::GetIds), the best of three
// runs of 200; -1 without the service.
double OneCallMs() {
  TrivialCallTarget target;
  if (!target.Open()) return -1;
  const double seconds = target.CallSeconds(200, 3);
  return seconds < 0 ? -1 : 1000.0 * seconds;
}

// One first connection to the service, as the configurator's start makes it: a
// thread of its own enters an apartment of its own, creates the service's
// manager (a local server: the apartment's first connection to it) and gets the
// device, then leaves; the best of three. The benchmark's own apartment has the
// proxies' code loaded already, so this is a floor: a new process loads it too.
double OneConnectionMs() {
  double best = 1e9;
  for (int run = 0; run < 3; ++run) {
    double ms = -1;
    std::thread connect([&ms] {
      const platform::ComApartment apartment(COINIT_APARTMENTTHREADED);
      platform::ComRef<IDeviceManager> manager;
      platform::ComRef<IDevice> device;
      const LARGE_INTEGER start = Now();
      if (SUCCEEDED(CoCreateInstance(CLSID_DeviceServiceClass, nullptr, kDeviceServiceContext,
                                     __uuidof(IDeviceManager), manager.OutVoid())) &&
          SUCCEEDED(manager->GetDevice(0, device.Out())))
        ms = Ms(Now().QuadPart - start.QuadPart);
    });
    connect.join();
    if (ms < 0) return -1;
    best = std::min(best, ms);
  }
  return best;
}

// One decode: every image of the skin folder read from its file into a DIB
// section once, the mean per image (the best of three runs).
double OneDecodeMs(const std::wstring& skins) {
  std::vector<std::wstring> files;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((skins + L"*.bmp").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return -1;
  do files.push_back(skins + found.cFileName);
  while (FindNextFileW(search, &found));
  FindClose(search);
  double best = 1e9;
  for (int run = 0; run < 3; ++run) {
    const LARGE_INTEGER start = Now();
    for (const std::wstring& file : files)
      DeleteObject(LoadImageW(nullptr, file.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
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

  const platform::ComApartment com(COINIT_APARTMENTTHREADED);
  DebugOutputReader reader;
  const bool reading = reader.Start();
  CallLog calls;
  const bool counting = calls.Open();
  // Inherited by the configurator's starts (and harmless to the minimal window).
  SetEnvironmentVariableW(L"OVRIX_START_TIMES", L"1");

  std::vector<double> configuratorTimes, minimalTimes;
  std::vector<Breakdown> breakdowns;
  for (int run = 0; run < 5; ++run) {
    minimalTimes.push_back(TimeToFirstPaint(minimal));
    Breakdown b;
    configuratorTimes.push_back(TimeToFirstPaint(configurator, reading ? &reader : nullptr,
                                                 counting ? &calls : nullptr, &b));
    breakdowns.push_back(b);
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
  if (valid.empty()) {
    std::printf("no start reported its phases (debug output %s)\n", reading ? "read" : "not readable");
    return c > 0 && m > 0 ? 0 : 1;
  }
  const double oneWindow = OneWindowMs(configurator.exe);
  const double oneCall = OneCallMs();
  const double oneConnection = OneConnectionMs();
  const double oneDecode = OneDecodeMs(app + L"skins\\");
  auto median = [&](auto take) {
    std::vector<double> values;
    for (const Breakdown& b : valid) values.push_back(take(b));
    return Median(values);
  };
  auto phase = [&](const char* from, const char* to) {
    return median([&](const Breakdown& b) { return b.points.at(to) - (from ? b.points.at(from) : 0.0); });
  };
  const auto& first = valid.front();
  std::printf("where the configurator's time goes (median of %zu starts, ms from CreateProcess):\n", valid.size());
  PrintPhase("process start and DLLs, to the program's code", phase(nullptr, "main"), m,
             "the minimal window's whole start");
  PrintPhase("common controls and COM", phase("main", "com"));
  const double serviceCalls = median([](const Breakdown& b) { return static_cast<double>(b.serviceCalls); });
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
  if (serviceCalls >= 0 && oneCall > 0)
    PrintPhase("device reads together", deviceRead + transfer, serviceCalls * oneCall,
               std::to_string(static_cast<int>(serviceCalls)) + " service calls x " +
                   std::to_string(oneCall).substr(0, 5) + " ms");
  // The reads share one held connection: its first connection is a cost the
  // calls alone do not show.
  if (serviceCalls >= 0 && oneCall > 0 && oneConnection > 0)
    PrintPhase("device reads, the first connection counted", deviceRead + transfer,
               serviceCalls * oneCall + oneConnection,
               "the calls + one first connection " + std::to_string(oneConnection).substr(0, 5) + " ms");
  std::printf("kinds of work within those phases (each counted once, nested work apart):\n");
  const double windowsMade = median([](const Breakdown& b) { return static_cast<double>(b.counts.at("windows")); });
  PrintPhase("creating windows", median([](const Breakdown& b) { return b.spent.at("windows"); }),
             windowsMade * oneWindow,
             std::to_string(static_cast<int>(windowsMade)) + " windows x " + std::to_string(oneWindow).substr(0, 5) +
                 " ms");
  const double decoded = median([](const Breakdown& b) { return static_cast<double>(b.counts.at("decode")); });
  PrintPhase("decoding images", median([](const Breakdown& b) { return b.spent.at("decode"); }), decoded * oneDecode,
             std::to_string(static_cast<int>(decoded)) + " images x " + std::to_string(oneDecode).substr(0, 5) + " ms");
  std::printf("  %-44s %7.1f ms   (%d files)\n", "parsing skin files",
              median([](const Breakdown& b) { return b.spent.at("parse"); }), first.counts.at("parse"));
  std::printf("  %-44s %7.1f ms   (%d fonts)\n", "adding fonts",
              median([](const Breakdown& b) { return b.spent.at("fonts"); }), first.counts.at("fonts"));
  std::printf("  %-44s %7.1f ms   (%d pieces)\n", "cropping pieces of images",
              median([](const Breakdown& b) { return b.spent.at("crop"); }), first.counts.at("crop"));
  std::printf("  %-44s %7.1f ms   (%d masks)\n", "shaping windows from masks",
              median([](const Breakdown& b) { return b.spent.at("region"); }), first.counts.at("region"));
  // Where the floors leave the ratio: the measured floors added up (process
  // start at the minimal window's whole start, the device reads with their first
  // connection, the windows, the decodes), against the minimal window.
  if (m > 0 && serviceCalls >= 0 && oneCall > 0 && oneConnection > 0 && oneWindow > 0 && oneDecode > 0) {
    const double floors =
        m + serviceCalls * oneCall + oneConnection + windowsMade * oneWindow + decoded * oneDecode;
    std::printf("the floors above added up: %.1f ms, %.2fx the minimal window (the rest, %.1f ms, is the work "
                "without a floor and what each phase spends beyond its floor)\n",
                floors, floors / m, c - floors);
  }
  std::printf("windows of the configurator at its first paint: %d; service calls to its first paint: %d\n",
              first.windows, first.serviceCalls);
  return c > 0 && m > 0 ? 0 : 1;
}
