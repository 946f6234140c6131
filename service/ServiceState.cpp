#include "service/ServiceState.h"

#include <cstdio>
#include <cstring>
#include <map>

#include "platform/Strings.h"

namespace {

constexpr int kVersion = 1;
// Read more generously than the service creates (a state written by hand may hold
// more macros or programs); the file's size bounds the rest.
constexpr size_t kMaxProfiles = kMaxSimProfiles;
constexpr size_t kMaxMacros = 65536;
constexpr size_t kMaxApps = 65536;
constexpr size_t kMaxKeysPerProfile = 4096;
constexpr size_t kMaxLedsPerProfile = 64;

const char* Magic(SimDocKind kind) {
  switch (kind) {
    case SimDocKind::State: return "OvrixDeviceServiceState";
    case SimDocKind::ProfileFile: return "OvrixProfileFile";
    case SimDocKind::MacroFile: return "OvrixMacroFile";
  }
  return "";
}

// Text fields: UTF-8, with backslash, tab, CR and LF escaped so a field never
// spans a separator.
std::string Escape(std::wstring_view text) {
  const std::string utf8 = platform::WideToUtf8(text);
  std::string out;
  out.reserve(utf8.size() + 2);
  for (char c : utf8) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

bool Unescape(std::string_view field, std::wstring& out) {
  std::string utf8;
  for (size_t i = 0; i < field.size(); ++i) {
    char c = field[i];
    if (c != '\\') {
      utf8 += c;
      continue;
    }
    if (++i == field.size()) return false;
    switch (field[i]) {
      case '\\': utf8 += '\\'; break;
      case 't': utf8 += '\t'; break;
      case 'n': utf8 += '\n'; break;
      case 'r': utf8 += '\r'; break;
      default: return false;
    }
  }
  out = platform::Utf8ToWide(utf8);
  return out.size() <= kMaxSimText;
}

std::string Hex(const void* data, size_t size) {
  static const char digits[] = "0123456789abcdef";
  const auto* p = static_cast<const uint8_t*>(data);
  std::string out;
  for (size_t i = 0; i < size; ++i) {
    out += digits[p[i] >> 4];
    out += digits[p[i] & 15];
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseHexBytes(std::string_view text, void* out, size_t size) {
  if (text.size() != size * 2) return false;
  auto* p = static_cast<uint8_t*>(out);
  for (size_t i = 0; i < size; ++i) {
    const int hi = HexDigit(text[2 * i]), lo = HexDigit(text[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    p[i] = static_cast<uint8_t>(hi * 16 + lo);
  }
  return true;
}

// Decimal integer, optionally negative, within [lo, hi].
bool ParseInt(std::string_view text, int64_t lo, int64_t hi, int64_t& out) {
  if (text.empty() || text.size() > 20) return false;
  size_t i = 0;
  bool negative = false;
  if (text[0] == '-') {
    negative = true;
    i = 1;
    if (text.size() == 1) return false;
  }
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    value = value * 10 + (text[i] - '0');
    if (value > (int64_t{1} << 40)) return false;
  }
  if (negative) value = -value;
  if (value < lo || value > hi) return false;
  out = value;
  return true;
}

template <typename T>
bool ParseField(std::string_view text, int64_t lo, int64_t hi, T& out) {
  int64_t v = 0;
  if (!ParseInt(text, lo, hi, v)) return false;
  out = static_cast<T>(v);
  return true;
}

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  for (;;) {
    const size_t tab = line.find('\t', start);
    if (tab == std::string_view::npos) {
      fields.push_back(line.substr(start));
      return fields;
    }
    fields.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
}

std::string Num(int64_t v) { return std::to_string(v); }

void WriteProfile(std::string& out, const SimProfile& p) {
  out += "profile\t" + platform::WideToUtf8(GuidText(p.id)) + "\t" + Escape(p.name) + "\t" +
         Escape(p.program) + "\t" + Num(p.flags) + "\n";
  for (const auto& k : p.keys) out += "key\t" + Hex(&k, sizeof(k)) + "\n";
  for (const auto& l : p.leds)
    out += "led\t" + Num(l.id) + "\t" + Num(l.on) + "\t" + Num(l.color) + "\t" + Num(l.effect) + "\t" +
           Num(l.time1) + "\t" + Num(l.time2) + "\t" + Num(l.brightness) + "\n";
}

void WriteMacro(std::string& out, const SimMacro& m) {
  out += "macro\t" + platform::WideToUtf8(GuidText(m.id)) + "\t" + Escape(m.name) + "\n";
  for (const auto& e : m.events) out += "event\t" + Num(e.type) + "\t" + Num(e.data) + "\n";
}

std::wstring Where(size_t line, const wchar_t* what) {
  return L"line " + std::to_wstring(line) + L": " + what;
}

}  // namespace

std::wstring GuidText(const GUID& id) {
  wchar_t buf[40] = {};
  swprintf(buf, 40, L"{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
           static_cast<unsigned long>(id.Data1), id.Data2, id.Data3, id.Data4[0], id.Data4[1], id.Data4[2],
           id.Data4[3], id.Data4[4], id.Data4[5], id.Data4[6], id.Data4[7]);
  return buf;
}

bool ParseGuid(std::string_view text, GUID& out) {
  // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
  if (text.size() != 38 || text[0] != '{' || text[37] != '}' || text[9] != '-' || text[14] != '-' ||
      text[19] != '-' || text[24] != '-')
    return false;
  auto hexValue = [&](size_t pos, size_t len, uint64_t& v) {
    v = 0;
    for (size_t i = 0; i < len; ++i) {
      const int d = HexDigit(text[pos + i]);
      if (d < 0) return false;
      v = v * 16 + static_cast<uint64_t>(d);
    }
    return true;
  };
  uint64_t a, b, c, d;
  if (!hexValue(1, 8, a) || !hexValue(10, 4, b) || !hexValue(15, 4, c)) return false;
  GUID g{};
  g.Data1 = static_cast<unsigned long>(a);
  g.Data2 = static_cast<unsigned short>(b);
  g.Data3 = static_cast<unsigned short>(c);
  const size_t pos[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!hexValue(pos[i], 2, d)) return false;
    g.Data4[i] = static_cast<unsigned char>(d);
  }
  out = g;
  return true;
}

bool SameGuid(const GUID& a, const GUID& b) { return IsEqualGUID(a, b) != 0; }

bool IsZeroId(const GUID& id) { return SameGuid(id, GUID{}); }

DeviceKeyAssignment DefaultKeyRecord(const SimKey& key) {
  DeviceKeyAssignment r{};
  r.header = 1;
  r.keyCode = key.keyCode;
  r.type = 5;
  const int16_t scan = static_cast<int16_t>(key.defaultScan);
  const uint32_t flags = key.defaultExtended ? 0x1000000u : 0u;
  std::memcpy(r.payload, &scan, 2);
  std::memcpy(r.payload + 2, &flags, 4);  // the unaligned word at +14
  return r;
}

SimProfile NewSimProfile(const GUID& id, const std::vector<SimKey>& keyboard) {
  SimProfile p;
  p.id = id;
  for (const auto& k : keyboard) p.keys.push_back(DefaultKeyRecord(k));
  p.leds.push_back(SimLed{});
  return p;
}

ServiceState FactoryState(const std::vector<SimKey>& keyboard, const GUID& profileId) {
  ServiceState s;
  SimProfile p = NewSimProfile(profileId, keyboard);
  p.name = L"Profile 1";
  s.profiles.push_back(std::move(p));
  s.active = profileId;
  return s;
}

bool IsStorableAssignment(const DeviceKeyAssignment& r) {
  return r.type >= 0 && r.type <= 9 && r.type != 7;
}

bool IsStorableMacroEvent(const DeviceMacroEvent& e) { return e.type >= 1 && e.type <= 3; }

void FitProfileToKeyboard(SimProfile& profile, const std::vector<SimKey>& keyboard) {
  std::map<uint32_t, DeviceKeyAssignment> stored;
  for (const auto& r : profile.keys) stored.emplace(r.keyCode, r);
  std::vector<DeviceKeyAssignment> keys;
  keys.reserve(keyboard.size());
  for (const auto& k : keyboard) {
    auto it = stored.find(k.keyCode);
    keys.push_back(it != stored.end() ? it->second : DefaultKeyRecord(k));
  }
  profile.keys = std::move(keys);
  if (profile.leds.empty()) profile.leds.push_back(SimLed{});
}

std::string WriteSimDocument(SimDocKind kind, const ServiceState& s) {
  std::string out = std::string(Magic(kind)) + "\t" + Num(kVersion) + "\n";
  if (kind == SimDocKind::State) {
    out += "device\t" + Num(s.device.layoutCode) + "\t" + Num(s.device.firmwareMajor) + "\t" +
           Num(s.device.firmwareMinor) + "\t" + Num(s.device.secondMajor) + "\t" +
           Num(s.device.secondMinor) + "\n";
    out += "active\t" + platform::WideToUtf8(GuidText(s.active)) + "\n";
  }
  for (const auto& p : s.profiles) WriteProfile(out, p);
  for (const auto& m : s.macros) WriteMacro(out, m);
  for (const auto& a : s.apps) out += "app\t" + platform::WideToUtf8(GuidText(a.id)) + "\t" + Escape(a.path) + "\n";
  out += "end\n";
  return out;
}

bool ReadSimDocument(SimDocKind kind, std::string_view text, ServiceState& out, std::wstring& error) {
  out = ServiceState{};
  size_t pos = 0, lineNo = 0;
  bool sawEnd = false, sawDevice = false;
  enum class Owner { None, Profile, Macro } owner = Owner::None;
  while (pos < text.size()) {
    const size_t nl = text.find('\n', pos);
    if (nl == std::string_view::npos) {
      error = Where(lineNo + 1, L"the last line is cut short");
      return false;
    }
    std::string_view line = text.substr(pos, nl - pos);
    pos = nl + 1;
    ++lineNo;
    if (sawEnd) {
      error = Where(lineNo, L"text after the end line");
      return false;
    }
    const auto f = SplitTabs(line);
    const std::string_view tag = f[0];
    if (lineNo == 1) {
      int64_t version = 0;
      if (f.size() != 2 || tag != Magic(kind)) {
        error = L"not a file of this kind";
        return false;
      }
      if (!ParseInt(f[1], 0, 1000000, version) || version != kVersion) {
        error = L"unsupported version";
        return false;
      }
      continue;
    }
    bool ok = false;
    if (tag == "end" && f.size() == 1) {
      sawEnd = ok = true;
    } else if (tag == "device" && f.size() == 6 && kind == SimDocKind::State && !sawDevice) {
      SimDevice& d = out.device;
      ok = ParseField(f[1], 0, 0xFFFFFFFF, d.layoutCode) && ParseField(f[2], 0, 0xFFFFFFFF, d.firmwareMajor) &&
           ParseField(f[3], 0, 0xFFFFFFFF, d.firmwareMinor) && ParseField(f[4], 0, 0xFFFFFFFF, d.secondMajor) &&
           ParseField(f[5], 0, 0xFFFFFFFF, d.secondMinor);
      sawDevice = true;
    } else if (tag == "active" && f.size() == 2 && kind == SimDocKind::State) {
      ok = ParseGuid(f[1], out.active);
    } else if (tag == "profile" && f.size() == 5 && kind != SimDocKind::MacroFile &&
               out.profiles.size() < kMaxProfiles) {
      SimProfile p;
      ok = ParseGuid(f[1], p.id) && Unescape(f[2], p.name) && Unescape(f[3], p.program) &&
           p.program.size() <= kMaxProgramFileChars && ParseField(f[4], 0, 0xFFFF, p.flags);
      out.profiles.push_back(std::move(p));
      owner = Owner::Profile;
    } else if (tag == "key" && f.size() == 2 && owner == Owner::Profile &&
               out.profiles.back().keys.size() < kMaxKeysPerProfile) {
      DeviceKeyAssignment r{};
      ok = ParseHexBytes(f[1], &r, sizeof(r)) && IsStorableAssignment(r);
      out.profiles.back().keys.push_back(r);
    } else if (tag == "led" && f.size() == 8 && owner == Owner::Profile &&
               out.profiles.back().leds.size() < kMaxLedsPerProfile) {
      SimLed l;
      const int64_t lo = INT32_MIN, hi = INT32_MAX;
      ok = ParseField(f[1], lo, hi, l.id) && ParseField(f[2], lo, hi, l.on) && ParseField(f[3], lo, hi, l.color) &&
           ParseField(f[4], lo, hi, l.effect) && ParseField(f[5], lo, hi, l.time1) &&
           ParseField(f[6], lo, hi, l.time2) && ParseField(f[7], lo, hi, l.brightness);
      out.profiles.back().leds.push_back(l);
    } else if (tag == "macro" && f.size() == 3 && out.macros.size() < kMaxMacros) {
      SimMacro m;
      ok = ParseGuid(f[1], m.id) && Unescape(f[2], m.name);
      out.macros.push_back(std::move(m));
      owner = Owner::Macro;
    } else if (tag == "event" && f.size() == 3 && owner == Owner::Macro &&
               out.macros.back().events.size() < kMaxMacroEvents) {
      DeviceMacroEvent e{};
      ok = ParseField(f[1], INT32_MIN, INT32_MAX, e.type) && ParseField(f[2], 0, 0xFFFFFFFF, e.data) &&
           IsStorableMacroEvent(e);
      out.macros.back().events.push_back(e);
    } else if (tag == "app" && f.size() == 3 && kind != SimDocKind::MacroFile && out.apps.size() < kMaxApps) {
      SimApp a;
      ok = ParseGuid(f[1], a.id) && Unescape(f[2], a.path);
      out.apps.push_back(std::move(a));
      owner = Owner::None;
    }
    if (!ok) {
      error = Where(lineNo, L"malformed or unexpected line");
      return false;
    }
  }
  if (lineNo == 0) {
    error = L"empty file";
    return false;
  }
  if (!sawEnd) {
    error = L"the file is cut short (no end line)";
    return false;
  }
  if (kind == SimDocKind::State && !sawDevice) {
    error = L"no device line";
    return false;
  }
  if (kind == SimDocKind::ProfileFile && out.profiles.size() != 1) {
    error = L"a profile file holds exactly one profile";
    return false;
  }
  if (kind == SimDocKind::MacroFile && (out.macros.size() != 1 || !out.apps.empty())) {
    error = L"a macro file holds exactly one macro";
    return false;
  }
  return true;
}

std::wstring DumpSimState(const ServiceState& s, DWORD mode, bool plugged) {
  std::wstring out;
  wchar_t line[512];
  swprintf(line, 512, L"device plugged=%d mode=%lu layout=0x%lX firmware=%lu.%02lu second=%lu.%02lu\n",
           plugged ? 1 : 0, static_cast<unsigned long>(mode), static_cast<unsigned long>(s.device.layoutCode),
           static_cast<unsigned long>(s.device.firmwareMajor), static_cast<unsigned long>(s.device.firmwareMinor),
           static_cast<unsigned long>(s.device.secondMajor), static_cast<unsigned long>(s.device.secondMinor));
  out += line;
  out += L"active " + GuidText(s.active) + L"\n";
  for (size_t i = 0; i < s.profiles.size(); ++i) {
    const auto& p = s.profiles[i];
    out += L"profile " + std::to_wstring(i) + L" " + GuidText(p.id) + L" name=\"" + p.name + L"\" program=\"" +
           p.program + L"\" flags=" + std::to_wstring(p.flags) + L"\n";
    for (const auto& k : p.keys) {
      int32_t word12 = 0;
      uint32_t word14 = 0;
      std::memcpy(&word12, k.payload, 4);
      std::memcpy(&word14, k.payload + 2, 4);
      swprintf(line, 512, L"  key 0x%06lX type=%ld +12=0x%lX +14=0x%lX header=%ld record=%ls\n",
               static_cast<unsigned long>(k.keyCode), static_cast<long>(k.type), static_cast<unsigned long>(word12),
               static_cast<unsigned long>(word14), static_cast<long>(k.header),
               platform::Utf8ToWide(Hex(&k, sizeof(k))).c_str());
      out += line;
    }
    for (const auto& l : p.leds) {
      swprintf(line, 512, L"  led id=%d on=%d color=%d effect=%d time1=%d time2=%d brightness=%d\n", l.id, l.on,
               l.color, l.effect, l.time1, l.time2, l.brightness);
      out += line;
    }
  }
  for (size_t i = 0; i < s.macros.size(); ++i) {
    const auto& m = s.macros[i];
    out += L"macro " + std::to_wstring(i) + L" " + GuidText(m.id) + L" name=\"" + m.name + L"\" events=" +
           std::to_wstring(m.events.size()) + L"\n";
    for (const auto& e : m.events) {
      swprintf(line, 512, L"  event type=%ld data=0x%08lX\n", static_cast<long>(e.type),
               static_cast<unsigned long>(e.data));
      out += line;
    }
  }
  for (size_t i = 0; i < s.apps.size(); ++i)
    out += L"app " + std::to_wstring(i) + L" " + GuidText(s.apps[i].id) + L" path=\"" + s.apps[i].path + L"\"\n";
  return out;
}
