#include "platform/StartTimes.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace platform::start_times {

namespace {

constexpr int kWorkKinds = static_cast<int>(Work::kCount);
constexpr int kPoints = static_cast<int>(Point::kCount);
constexpr const char* kWorkNames[kWorkKinds] = {"parse", "decode", "fonts", "windows", "crop", "region"};
constexpr const char* kPointNames[kPoints] = {"main",  "com",   "deviceread", "registry", "tables",
                                              "window", "pages", "transfer",   "shown",    "painted"};

struct Record {
  int64_t points[kPoints] = {};
  int64_t spent[kWorkKinds] = {};
  int counts[kWorkKinds] = {};
  // The scopes open now, innermost last, and when the innermost began.
  int open[16] = {};
  int depth = 0;
  int64_t since = 0;
  bool reported = false;
  bool trace = false;
};

int64_t Now() {
  LARGE_INTEGER now;
  ::QueryPerformanceCounter(&now);
  return now.QuadPart;
}

// Read once; null when timing was not asked for.
Record* TheRecord() {
  static Record* const record = []() -> Record* {
    wchar_t value[8];
    if (::GetEnvironmentVariableW(L"OVRIX_START_TIMES", value, 8) == 0) return nullptr;
    auto* record = new Record;
    record->trace = std::wstring(value) == L"trace";
    return record;
  }();
  return record;
}

}  // namespace

bool Enabled() { return TheRecord() != nullptr; }

void Stamp(Point point) {
  if (Record* r = TheRecord()) {
    int64_t& at = r->points[static_cast<int>(point)];
    if (at != 0) return;
    at = Now();
    // Traced, each point also goes out as it passes: a mark among the requests
    // that the system's tracing shows.
    if (r->trace)
      ::OutputDebugStringA((std::string("start-point ") + kPointNames[static_cast<int>(point)] + "\n").c_str());
  }
}

Scope::Scope(Work work) : m_on(false) {
  Record* r = TheRecord();
  if (r == nullptr || r->depth == 16) return;
  m_on = true;
  const int64_t now = Now();
  if (r->depth > 0) r->spent[r->open[r->depth - 1]] += now - r->since;
  r->open[r->depth++] = static_cast<int>(work);
  r->since = now;
}

Scope::~Scope() {
  if (!m_on) return;
  Record* r = TheRecord();
  const int64_t now = Now();
  r->spent[r->open[--r->depth]] += now - r->since;
  r->since = now;
}

void Count(Work work) {
  if (Record* r = TheRecord()) ++r->counts[static_cast<int>(work)];
}

void Report() {
  Record* r = TheRecord();
  if (r == nullptr || r->reported) return;
  r->reported = true;
  Stamp(Point::kPainted);
  LARGE_INTEGER frequency;
  ::QueryPerformanceFrequency(&frequency);
  // Performance-counter values are comparable across processes: the reader
  // takes them against its own CreateProcess.
  std::string line = "start-times freq=" + std::to_string(frequency.QuadPart);
  for (int i = 0; i < kPoints; ++i) line += std::string(" ") + kPointNames[i] + "=" + std::to_string(r->points[i]);
  for (int i = 0; i < kWorkKinds; ++i)
    line += std::string(" ") + kWorkNames[i] + "=" + std::to_string(r->spent[i]) + "/" + std::to_string(r->counts[i]);
  line += "\n";
  ::OutputDebugStringA(line.c_str());
}

}  // namespace platform::start_times
