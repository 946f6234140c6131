// The real configurator from the staged installation folder against the real
// DeviceService.exe on a data folder of its own, driven by messages to its
// windows: buttons by their control ids (each control's id is its element id),
// popups found by their owner and title (a popup's title is its skin file name).
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "device/DeviceTestSupport.h"
#include "platform/Com.h"
#include "platform/Handles.h"
#include "platform/testing/OtherPrograms.h"
#include "service/ServiceCalls.h"
#include "service/ServiceLauncher.h"

using namespace devtest;

namespace {

const std::wstring kApp = DosPath(OVRIX_SKIN_APP_DIR) + L"\\";
const std::wstring kServiceExe = DosPath(OVRIX_SERVICE_EXE);
const std::wstring kServiceCtl = DosPath(OVRIX_SERVICE_CTL_EXE);
const std::wstring kTrayExe = DosPath(OVRIX_TRAY_EXE);
constexpr wchar_t kMainClass[] = L"SINGLE_INSTANCE_APP_MORVEL";
constexpr int kApply = 15, kOk = 14, kProfilesTab = 227, kOsdBox = 176, kPopupOk = 157;

// A started configurator: NUL as its standard handles, so that nothing it starts
// keeps this test's output open.
struct Configurator {
  Configurator() {
    started = platform::testing::StartProgram(L"\"" + kApp + L"KestraneOvrixConfig.exe\"", kApp.c_str(), pi);
    if (started) process = platform::ProcessHandles(pi);
  }
  ~Configurator() {
    if (!started) return;
    if (WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0) {
      if (HWND main = MainWindow(0)) PostMessageW(main, WM_CLOSE, 0, 0);
      if (WaitForSingleObject(pi.hProcess, 20000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 99);
    }
  }
  // Its main window once it is shown, or null after the wait.
  HWND MainWindow(int waitMs = 20000) const {
    for (int waited = 0;; waited += 50) {
      HWND found = nullptr;
      for (HWND w = FindWindowExW(nullptr, nullptr, kMainClass, nullptr); w; w = FindWindowExW(nullptr, w, kMainClass, nullptr)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == pi.dwProcessId && IsWindowVisible(w)) found = w;
      }
      if (found || waited >= waitMs) return found;
      Sleep(50);
    }
  }
  bool Ended(DWORD waitMs) const { return WaitForSingleObject(pi.hProcess, waitMs) == WAIT_OBJECT_0; }
  DWORD ExitCode() const {
    DWORD code = 99;
    GetExitCodeProcess(pi.hProcess, &code);
    return code;
  }
  bool started = false;
  PROCESS_INFORMATION pi{};  // the handles are `process`'s
  platform::ProcessHandles process;
};

// The popup of the owner with this title (its skin file), or null after the wait.
HWND Popup(HWND owner, const wchar_t* title, int waitMs = 10000) {
  for (int waited = 0;; waited += 50) {
    for (HWND w = FindWindowExW(nullptr, nullptr, nullptr, title); w; w = FindWindowExW(nullptr, w, nullptr, title))
      if (GetWindow(w, GW_OWNER) == owner && IsWindowVisible(w)) return w;
    if (waited >= waitMs) return nullptr;
    Sleep(50);
  }
}

// A click on the window's control with this element id, as the button reports it.
bool Click(HWND window, int id) {
  HWND control = GetDlgItem(window, id);
  if (control == nullptr) return false;
  return PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control)) != 0;
}

bool Enabled(HWND window, int id) {
  HWND control = GetDlgItem(window, id);
  return control != nullptr && IsWindowEnabled(control);
}

// Waits until the condition holds, pumping nothing (the configurator is another process).
template <typename F>
bool WaitFor(F condition, int waitMs = 10000) {
  for (int waited = 0; waited < waitMs; waited += 20) {
    if (condition()) return true;
    Sleep(20);
  }
  return condition();
}

class ConfiguratorEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(com_.Initialize(COINIT_APARTMENTTHREADED)));
    LoadKeyFiles();
    ASSERT_TRUE(StopService());
    folder_ = NewDataFolder(L"ovrix-config-e2e-");
    ASSERT_TRUE(StartService(kServiceExe, folder_));
  }
  void TearDown() override {
    // The session's resident service is started again by the harness afterwards.
    StopService();
    com_.Uninitialize();
  }
  bool Ctl(const std::wstring& arguments) {
    DWORD code = 1;
    return RunProgram(L"\"" + kServiceCtl + L"\" " + arguments, &code) && code == 0;
  }
  // The profiles as the service holds them, read by a client of its own.
  std::vector<std::wstring> ServiceProfiles() {
    CMorvelConfig config(L".\\");
    CKeyboard keyboard;
    std::vector<std::wstring> names;
    if (!keyboard.ReadFromDevice(&config)) return {L"<no read>"};
    for (int i = 0; i < config.GetProfileCount(); ++i) names.push_back(config.GetProfile(i)->GetName());
    return names;
  }
  platform::ComApartment com_;
  std::wstring folder_;
};

TEST_F(ConfiguratorEndToEnd, FailedWriteLeavesTheConfigurationModified) {
  Configurator app;
  ASSERT_TRUE(app.started);
  HWND main = app.MainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(WaitFor([&] { return GetDlgItem(main, kApply) != nullptr && !Enabled(main, kApply); }));
  // A change: the show-on-screen box of the profiles page.
  ASSERT_TRUE(Click(main, kProfilesTab));
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(GetDlgItem(main, kOsdBox)) != FALSE; }));
  ASSERT_TRUE(Click(main, kOsdBox));
  ASSERT_TRUE(WaitFor([&] { return Enabled(main, kApply); }));

  ASSERT_TRUE(Ctl(L"fail IProfileProperties::SetProperty 0x80004005"));
  ASSERT_TRUE(Click(main, kApply));
  HWND warning = Popup(main, L"NoKestranePopup.xml");
  ASSERT_NE(warning, nullptr) << "the write warning";
  EXPECT_TRUE(Enabled(main, kApply));
  ASSERT_TRUE(Click(warning, kPopupOk));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(warning) || !IsWindowVisible(warning); }));
  EXPECT_FALSE(app.Ended(0)) << "the write warning closes nothing";

  ASSERT_TRUE(Ctl(L"clear-faults"));
  ASSERT_TRUE(Click(main, kApply));
  EXPECT_TRUE(WaitFor([&] { return !Enabled(main, kApply); }));
  EXPECT_EQ(Popup(main, L"NoKestranePopup.xml", 1500), nullptr);
}

TEST_F(ConfiguratorEndToEnd, StartKeepsTheDeviceProfilesWithAQxpInSave) {
  const std::vector<std::wstring> before = ServiceProfiles();
  ASSERT_FALSE(before.empty());
  // A profile exported earlier, in the folder the settings file lives in.
  CreateDirectoryW((kApp + L"save").c_str(), nullptr);
  const std::wstring exported = kApp + L"save\\Exported.qxp";
  platform::KernelHandle f(CreateFileW(exported.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  ASSERT_NE(f.Get(), nullptr);
  DWORD written = 0;
  WriteFile(f.Get(), "exported profile", 16, &written, nullptr);
  f.Close();
  {
    Configurator app;
    ASSERT_TRUE(app.started);
    HWND main = app.MainWindow();
    ASSERT_NE(main, nullptr);
    // OK writes the configuration: it holds the device's profiles only.
    ASSERT_TRUE(WaitFor([&] { return GetDlgItem(main, kOk) != nullptr; }));
    ASSERT_TRUE(Click(main, kOk));
    EXPECT_TRUE(app.Ended(20000));
    EXPECT_EQ(app.ExitCode(), 0u);
  }
  DeleteFileW(exported.c_str());
  EXPECT_EQ(ServiceProfiles(), before);
}

TEST_F(ConfiguratorEndToEnd, SecondStartBringsTheFirstForward) {
  Configurator first;
  ASSERT_TRUE(first.started);
  HWND main = first.MainWindow();
  ASSERT_NE(main, nullptr);
  HWND other = CreateWindowExW(0, L"STATIC", L"elsewhere", WS_POPUP | WS_VISIBLE, 1100, 900, 60, 60, nullptr, nullptr,
                               nullptr, nullptr);
  SetForegroundWindow(other);
  {
    Configurator second;
    ASSERT_TRUE(second.started);
    EXPECT_TRUE(second.Ended(20000)) << "the second start ends by itself";
    EXPECT_EQ(second.ExitCode(), 0u);
  }
  EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == main; }));
  int windows = 0;
  for (HWND w = FindWindowExW(nullptr, nullptr, kMainClass, nullptr); w; w = FindWindowExW(nullptr, w, kMainClass, nullptr))
    windows += IsWindowVisible(w) ? 1 : 0;
  EXPECT_EQ(windows, 1);
  DestroyWindow(other);
}

// The pixels (0x00RRGGBB, top row first) of a rectangle of the screen, or of a
// skin image file when one is named (none when it cannot be loaded).
std::vector<uint32_t> Pixels(const std::wstring& imageFile, RECT from) {
  if (imageFile.empty()) return platform::testing::PixelsOf(nullptr, from);
  HBITMAP image = static_cast<HBITMAP>(LoadImageW(nullptr, imageFile.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
  if (image == nullptr) return {};
  std::vector<uint32_t> pixels = platform::testing::PixelsOf(image, from);
  DeleteObject(image);
  return pixels;
}

// A control's rectangle in its window's client coordinates.
RECT RectIn(HWND control, HWND window) {
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

size_t Differences(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  size_t different = a.size() == b.size() ? 0 : std::max(a.size(), b.size());
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) different += a[i] != b[i];
  return different;
}

constexpr int kKeyboard = 669, kKeyA = 486, kDisable = 685, kSingleKey = 681;

TEST_F(ConfiguratorEndToEnd, MainWindowDrawsTheKeyboard) {
  SetCursorPos(1270, 1010);  // the pointer over no key
  Configurator app;
  ASSERT_TRUE(app.started);
  HWND main = app.MainWindow();
  ASSERT_NE(main, nullptr);
  HWND keyboard = GetDlgItem(main, kKeyboard);
  ASSERT_NE(keyboard, nullptr) << "no BITMAP_MECHKBD window";
  HWND keyA = GetDlgItem(keyboard, kKeyA);
  ASSERT_NE(keyA, nullptr) << "the keys are children of the keyboard";
  RECT client{};
  GetWindowRect(keyboard, &client);  // the main window lies at the screen's origin
  const RECT picture{0, 0, client.right - client.left, client.bottom - client.top};
  const std::vector<uint32_t> normal = Pixels(kApp + L"skins\\KeyboardEnglish_Normal.bmp", picture);
  EXPECT_TRUE(WaitFor([&] { return Differences(Pixels(L"", client), normal) == 0; }))
      << Differences(Pixels(L"", client), normal) << " pixels differ from the keyboard's normal picture";

  // Disabling key A marks it assigned: its piece shows the down picture.
  ASSERT_TRUE(PostMessageW(main, 0x721, 0, kKeyA));  // the key's click report
  ASSERT_TRUE(WaitFor([&] { return Enabled(main, kDisable); }));
  ASSERT_TRUE(Click(main, kDisable));
  const RECT piece = RectIn(keyA, keyboard);
  RECT onScreen = piece;
  OffsetRect(&onScreen, client.left, client.top);
  const std::vector<uint32_t> down = Pixels(kApp + L"skins\\KeyboardEnglish_Down.bmp", piece);
  EXPECT_TRUE(WaitFor([&] { return Differences(Pixels(L"", onScreen), down) == 0; }))
      << "the assigned key does not show its down picture";
}

// Saves pixels as read by Pixels (top row first) as a 32-bit BMP file.
bool SaveBmp(const std::wstring& file, const std::vector<uint32_t>& pixels, int width, int height) {
  if (width <= 0 || height <= 0 || pixels.size() != static_cast<size_t>(width) * static_cast<size_t>(height))
    return false;
  BITMAPINFOHEADER info = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  const DWORD bytes = static_cast<DWORD>(pixels.size() * sizeof(uint32_t));
  BITMAPFILEHEADER header{};
  header.bfType = 0x4D42;  // "BM"
  header.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  header.bfSize = header.bfOffBits + bytes;
  platform::KernelHandle f(CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!f) return false;
  DWORD written = 0;
  bool ok = WriteFile(f.Get(), &header, sizeof header, &written, nullptr) && written == sizeof header;
  ok = ok && WriteFile(f.Get(), &info, sizeof info, &written, nullptr) && written == sizeof info;
  ok = ok && WriteFile(f.Get(), pixels.data(), bytes, &written, nullptr) && written == bytes;
  f.Close();
  return ok;
}

// The main window as it is on screen once its painting has settled (the program
// paints a page's controls one by one), saved into the test's working folder.
void SaveScreenshot(HWND main, const wchar_t* file) {
  RECT r{};
  GetWindowRect(main, &r);
  std::vector<uint32_t> shot = Pixels(L"", r);
  for (int i = 0; i < 20; ++i) {
    Sleep(250);
    std::vector<uint32_t> again = Pixels(L"", r);
    if (again == shot) break;
    shot = std::move(again);
  }
  EXPECT_TRUE(SaveBmp(file, shot, r.right - r.left, r.bottom - r.top)) << "the screenshot was not saved";
}

// The size of a skin image file.
SIZE ImageSize(const std::wstring& imageFile) {
  SIZE size{};
  HBITMAP image = static_cast<HBITMAP>(LoadImageW(nullptr, imageFile.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
  BITMAP info{};
  if (image != nullptr && GetObjectW(image, sizeof info, &info) != 0) size = {info.bmWidth, info.bmHeight};
  if (image != nullptr) DeleteObject(image);
  return size;
}

// Whether the whole image lies somewhere within the screen's area, pixel for pixel.
bool ScreenShows(const std::wstring& imageFile, RECT area) {
  const SIZE size = ImageSize(imageFile);
  if (size.cx <= 0 || size.cy <= 0) return false;
  const std::vector<uint32_t> image = Pixels(imageFile, RECT{0, 0, size.cx, size.cy});
  const std::vector<uint32_t> screen = Pixels(L"", area);
  const int width = area.right - area.left, height = area.bottom - area.top;
  for (int top = 0; top + size.cy <= height; ++top)
    for (int left = 0; left + size.cx <= width; ++left) {
      bool same = true;
      for (int y = 0; y < size.cy && same; ++y)
        same = std::equal(image.begin() + y * size.cx, image.begin() + (y + 1) * size.cx,
                          screen.begin() + (top + y) * width + left);
      if (same) return true;
    }
  return false;
}

// The pixels of a button's edge band (the face around its caption, which is text
// and differs between font renderers), rows first, then the side columns.
std::vector<uint32_t> EdgeBand(const std::vector<uint32_t>& pixels, int width, int height, int rows, int columns) {
  std::vector<uint32_t> band;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (y < rows || y >= height - rows || x < columns || x >= width - columns) band.push_back(pixels[y * width + x]);
  return band;
}

constexpr int kMacrosTab = 228, kProfileList = 384, kRecordStart = 166;

TEST_F(ConfiguratorEndToEnd, ProfilesAndMacrosPagesDrawTheirSkin) {
  SetCursorPos(1270, 1010);  // the pointer over no control: nothing shows its hover picture
  Configurator app;
  ASSERT_TRUE(app.started);
  HWND main = app.MainWindow();
  ASSERT_NE(main, nullptr);
  SetForegroundWindow(main);

  // The profiles page: the row of the one (active) profile shows the ticked box
  // in the active column and the clear box in the automatic-switching column.
  ASSERT_TRUE(WaitFor([&] { return GetDlgItem(main, kProfilesTab) != nullptr; }));
  ASSERT_TRUE(Click(main, kProfilesTab));
  HWND list = GetDlgItem(main, kProfileList);
  ASSERT_NE(list, nullptr) << "no LIST_PROFILELIST window";
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(list) != FALSE; }));
  RECT listRect{};
  GetWindowRect(list, &listRect);
  int rowsTop = listRect.top;
  if (HWND header = FindWindowExW(list, nullptr, nullptr, nullptr)) {
    RECT headerRect{};
    GetWindowRect(header, &headerRect);
    rowsTop = headerRect.bottom;
  }
  // The first row: its cells' boxes are centred in their column (widths 70 and
  // 130 at 0 and 780), in a row no taller than 40 pixels.
  const RECT activeCell{listRect.left, rowsTop, listRect.left + 70, rowsTop + 40};
  const RECT switchCell{listRect.left + 780, rowsTop, listRect.left + 910, rowsTop + 40};
  // The list paints its cells one after another: both boxes are waited for.
  bool ticked = false, clear = false;
  WaitFor([&] {
    ticked = ScreenShows(kApp + L"skins\\Check_D.bmp", activeCell);
    clear = ScreenShows(kApp + L"skins\\Check_N.bmp", switchCell);
    return ticked && clear;
  });
  SaveScreenshot(main, L"ManageProfiles-English.bmp");
  EXPECT_TRUE(ticked) << "the active profile's row shows no ticked box (see ManageProfiles-English.bmp)";
  EXPECT_TRUE(clear) << "the row shows no clear automatic-switching box (see ManageProfiles-English.bmp)";
  // The keyboard picture belongs to the assign-keys page.
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(main, kKeyboard))) << "the keyboard shows on the profiles page";

  // The macros page with no macro: the record button is enabled and shows its
  // normal face around the caption.
  ASSERT_TRUE(Click(main, kMacrosTab));
  HWND record = GetDlgItem(main, kRecordStart);
  ASSERT_NE(record, nullptr) << "no BUTTON_MACRO_RECORD_START window";
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(record) != FALSE; }));
  EXPECT_TRUE(IsWindowEnabled(record));
  RECT button{};
  GetWindowRect(record, &button);
  const int width = button.right - button.left, height = button.bottom - button.top;
  ASSERT_EQ(ImageSize(kApp + L"skins\\Button_N.bmp").cx, width);
  ASSERT_EQ(ImageSize(kApp + L"skins\\Button_N.bmp").cy, height);
  const std::vector<uint32_t> face =
      EdgeBand(Pixels(kApp + L"skins\\Button_N.bmp", RECT{0, 0, width, height}), width, height, 5, 12);
  const bool drawn = WaitFor([&] { return EdgeBand(Pixels(L"", button), width, height, 5, 12) == face; });
  SaveScreenshot(main, L"ManageMacros-English.bmp");
  EXPECT_TRUE(drawn) << Differences(EdgeBand(Pixels(L"", button), width, height, 5, 12), face)
                     << " pixels of the record button's face differ from Button_N.bmp (see ManageMacros-English.bmp)";
  EXPECT_FALSE(IsWindowVisible(GetDlgItem(main, kKeyboard))) << "the keyboard shows on the macros page";
}

// A key pressed and released as the keyboard would send it: virtual key and scan code.
void SendKey(WORD virtualKey, WORD scanCode) {
  INPUT inputs[2] = {};
  for (INPUT& input : inputs) {
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = scanCode;
  }
  inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, inputs, sizeof(INPUT));
}

// The configuration as the service holds it, read by a client of its own; false
// when it cannot be read.
bool ReadService(CMorvelConfig& config) {
  CKeyboard keyboard;
  return keyboard.ReadFromDevice(&config) && keyboard.TransferConfig(&config, TRANSFER_FROM_DEVICE, TRANSFER_READ_ALL);
}

TEST_F(ConfiguratorEndToEnd, SingleKeyAppliedReachesTheService) {
  Configurator app;
  ASSERT_TRUE(app.started);
  HWND main = app.MainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(PostMessageW(main, 0x721, 0, kKeyA));  // the click report of key A
  ASSERT_TRUE(WaitFor([&] { return Enabled(main, kSingleKey); }));
  ASSERT_TRUE(Click(main, kSingleKey));
  HWND popup = Popup(main, L"SingleKeyPopup.xml");
  ASSERT_NE(popup, nullptr);
  EXPECT_FALSE(Enabled(popup, kPopupOk)) << "OK waits for a key";
  SetForegroundWindow(popup);
  ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == popup; }));
  SendKey('B', 0x30);
  ASSERT_TRUE(WaitFor([&] { return Enabled(popup, kPopupOk); })) << "the key was not captured";
  ASSERT_TRUE(Click(popup, kPopupOk));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(popup); }));
  ASSERT_TRUE(WaitFor([&] { return Enabled(main, kApply); }));
  ASSERT_TRUE(Click(main, kApply));
  ASSERT_TRUE(WaitFor([&] { return !Enabled(main, kApply); }));

  // The service's record of key A in the active profile, read by a client of its own.
  KeyAssignment record;
  ASSERT_TRUE(WaitFor(
      [&] {
        CMorvelConfig config(L".\\");
        if (!ReadService(config)) return false;
        config.GetKeyAssignment(record, KeyOf(0x1E), config.GetActiveProfile());
        return record.kind == KEYKIND_SINGLEKEY;
      },
      15000));
  EXPECT_EQ(record.payload.key.scanCode, 0x30);
}

// The profile named exactly so, or null.
IKeyboardProfile* ProfileNamed(IKeyboardConfig& config, const std::wstring& name) {
  for (int i = 0; i < config.GetProfileCount(); ++i)
    if (config.GetProfile(i)->GetName() == name) return config.GetProfile(i);
  return nullptr;
}

// A visible window that this one owns (a popup it opened), or null after the wait.
HWND OwnedPopup(HWND owner, int waitMs = 10000) {
  for (int waited = 0;; waited += 50) {
    for (HWND w = FindWindowExW(nullptr, nullptr, nullptr, nullptr); w; w = FindWindowExW(nullptr, w, nullptr, nullptr))
      if (GetWindow(w, GW_OWNER) == owner && IsWindowVisible(w)) return w;
    if (waited >= waitMs) return nullptr;
    Sleep(50);
  }
}

void PostKeyPress(HWND window, WPARAM key) {
  PostMessageW(window, WM_KEYDOWN, key, 1);
  PostMessageW(window, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001));
}

constexpr int kProfileSwitch = 683, kPopupDropdown = 686;

TEST_F(ConfiguratorEndToEnd, ProfileSwitchAppliedReachesTheService) {
  // Two more profiles whose names differ only in case, made in the service first.
  {
    CMorvelConfig config(L".\\");
    CKeyboard keyboard;
    ASSERT_TRUE(keyboard.ReadFromDevice(&config));
    ASSERT_TRUE(keyboard.TransferConfig(&config, TRANSFER_FROM_DEVICE, TRANSFER_READ_ALL));
    ASSERT_EQ(config.GetProfileCount(), 1);
    ASSERT_NE(config.AddNewProfile(L"Work"), nullptr);
    ASSERT_NE(config.AddNewProfile(L"work"), nullptr);
    ASSERT_TRUE(keyboard.TransferConfig(&config, TRANSFER_TO_DEVICE, TRANSFER_WRITE_ALL));
    ASSERT_TRUE(PumpUntil([&] { return !keyboard.IsWriting(); }));
    ASSERT_TRUE(keyboard.LastWriteSucceeded());
  }
  GUID upper{}, lower{};
  {
    CMorvelConfig config(L".\\");
    ASSERT_TRUE(ReadService(config));
    ASSERT_NE(ProfileNamed(config, L"Work"), nullptr);
    ASSERT_NE(ProfileNamed(config, L"work"), nullptr);
    upper = ProfileNamed(config, L"Work")->GetId();
    lower = ProfileNamed(config, L"work")->GetId();
    ASSERT_FALSE(IsEqualGUID(upper, lower));
  }

  SetCursorPos(1270, 1010);  // the pointer over no popup row
  Configurator app;
  ASSERT_TRUE(app.started);
  HWND main = app.MainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(PostMessageW(main, 0x721, 0, kKeyA));  // the click report of key A
  ASSERT_TRUE(WaitFor([&] { return Enabled(main, kProfileSwitch); })) << "a key selected, two or more profiles";
  ASSERT_TRUE(Click(main, kProfileSwitch));
  HWND popup = Popup(main, L"SelectProfilePopup.xml");
  ASSERT_NE(popup, nullptr);
  SetForegroundWindow(popup);
  HWND dropdown = GetDlgItem(popup, kPopupDropdown);
  ASSERT_NE(dropdown, nullptr);

  // The offered profiles are "Work" and "work" (the active one is not offered);
  // the second entry is picked in the drop-down's list.
  ASSERT_TRUE(PostMessageW(dropdown, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4)));
  HWND list = OwnedPopup(popup);
  ASSERT_NE(list, nullptr) << "the drop-down's list did not open";
  HWND rows = FindWindowExW(list, nullptr, L"SysListView32", nullptr);
  ASSERT_NE(rows, nullptr);
  for (WPARAM key : {VK_HOME, VK_DOWN, VK_RETURN}) PostKeyPress(rows, key);
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(list); })) << "the list stayed open";
  ASSERT_TRUE(Click(popup, kPopupOk));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(popup); }));
  ASSERT_TRUE(WaitFor([&] { return Enabled(main, kApply); }));
  ASSERT_TRUE(Click(main, kApply));
  ASSERT_TRUE(WaitFor([&] { return !Enabled(main, kApply); }));

  // Key A of the active profile switches to "work", by its id, in the service.
  KeyAssignment record;
  ASSERT_TRUE(WaitFor(
      [&] {
        CMorvelConfig config(L".\\");
        if (!ReadService(config)) return false;
        config.GetKeyAssignment(record, KeyOf(0x1E), config.GetActiveProfile());
        return record.kind == KEYKIND_PROFILE;
      },
      15000))
      << "kind " << record.kind;
  EXPECT_TRUE(IsEqualGUID(record.payload.id, lower)) << (IsEqualGUID(record.payload.id, upper) ? "switches to \"Work\"" : "");
}

constexpr int kAssignKeysTab = 225, kNameEdit = 389;
constexpr int kMacroCreate = 160, kRecordStop = 167, kRecordPlay = 168, kMacroDisplay = 222,
              kAssignMacro = 682;

TEST_F(ConfiguratorEndToEnd, MacroRecordedAssignedAndAppliedReachesTheService) {
  SetCursorPos(1270, 1010);  // the pointer over nothing of the window
  Configurator app;
  ASSERT_TRUE(app.started);
  HWND main = app.MainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(Click(main, kMacrosTab));
  ASSERT_TRUE(WaitFor([&] { return Enabled(main, kMacroCreate); }));
  ASSERT_TRUE(Click(main, kMacroCreate));
  HWND namePopup = Popup(main, L"MacroNamePopup.xml");
  ASSERT_NE(namePopup, nullptr);
  HWND nameEdit = GetDlgItem(namePopup, kNameEdit);
  ASSERT_NE(nameEdit, nullptr);
  SendMessageW(nameEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Greeting"));
  ASSERT_TRUE(Click(namePopup, kPopupOk));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(namePopup); }));
  ASSERT_TRUE(WaitFor([&] { return Enabled(main, kRecordPlay); })) << "the new macro is chosen";

  // Recording: raw input reaches the event list while some window is in front.
  ASSERT_TRUE(Click(main, kRecordStart));
  ASSERT_TRUE(WaitFor([&] { return Enabled(main, kRecordStop); })) << "the recording did not start";
  HWND events = GetDlgItem(main, kMacroDisplay);
  ASSERT_NE(events, nullptr);
  // Four key rows and the pauses between them. Under Wine the keys sent right
  // after an earlier program's windows went away now and then raise no raw
  // input at all: while not one row came, the window is brought to the front
  // again and the keys are sent again.
  LRESULT rows = 0;
  for (int attempt = 0; attempt < 3 && rows == 0; ++attempt) {
    SetForegroundWindow(main);
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == main; }));
    SendKey('A', 0x1E);
    SendKey('B', 0x30);
    WaitFor([&] { return SendMessageW(events, LVM_GETITEMCOUNT, 0, 0) >= 4; }, 3000);
    rows = SendMessageW(events, LVM_GETITEMCOUNT, 0, 0);
  }
  ASSERT_GE(rows, 4) << rows << " rows recorded";
  // Four rows may be three keys and a pause: the last key-up can still be on
  // its way. The recording stops once no row has come for a while.
  for (LRESULT seen = -1, waits = 0; seen != rows && waits < 10; ++waits) {
    seen = rows;
    Sleep(700);
    rows = SendMessageW(events, LVM_GETITEMCOUNT, 0, 0);
  }
  ASSERT_TRUE(Click(main, kRecordStop));
  ASSERT_TRUE(WaitFor([&] { return !Enabled(main, kRecordStop) && Enabled(main, kRecordPlay); }));

  // Key A plays it, chosen in the macro popup (its only macro, preselected).
  ASSERT_TRUE(Click(main, kAssignKeysTab));
  ASSERT_TRUE(PostMessageW(main, 0x721, 0, kKeyA));  // the click report of key A
  ASSERT_TRUE(WaitFor([&] { return Enabled(main, kAssignMacro); }));
  ASSERT_TRUE(Click(main, kAssignMacro));
  HWND macroPopup = Popup(main, L"SelectMacroPopup.xml");
  ASSERT_NE(macroPopup, nullptr);
  ASSERT_TRUE(Click(macroPopup, kPopupOk));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(macroPopup); }));
  ASSERT_TRUE(WaitFor([&] { return Enabled(main, kApply); }));
  ASSERT_TRUE(Click(main, kApply));
  ASSERT_TRUE(WaitFor([&] { return !Enabled(main, kApply); }));

  // The service holds the macro with the keys recorded, and key A plays it by its id.
  std::vector<std::pair<int, int>> keys;  // scan code, state
  GUID macroId{};
  KeyAssignment record;
  ASSERT_TRUE(WaitFor(
      [&] {
        CMorvelConfig config(L".\\");
        if (!ReadService(config)) return false;
        const CMacro* macro = config.FindMacroByName(L"Greeting");
        if (macro == nullptr) return false;
        macroId = macro->id;
        keys.clear();
        for (const MacroEvent& event : macro->events)
          if (event.type == MACROEVENT_KEY) keys.emplace_back(event.a & 0xFFFF, event.b & 0xFF);
        config.GetKeyAssignment(record, KeyOf(0x1E), config.GetActiveProfile());
        return record.kind == KEYKIND_MACRO;
      },
      15000))
      << "kind " << record.kind;
  EXPECT_EQ(keys, (std::vector<std::pair<int, int>>{{0x1E, 255}, {0x1E, 1}, {0x30, 255}, {0x30, 1}}));
  EXPECT_TRUE(IsEqualGUID(record.payload.id, macroId));
}

constexpr int kNewProfile = 144, kDeleteProfile = 148;
constexpr int kProfileDropdown = 386;

// A visible window owned by `owner` other than those listed, or null after the wait.
HWND NewOwnedWindow(HWND owner, const std::vector<HWND>& known, int waitMs = 10000) {
  for (int waited = 0;; waited += 50) {
    for (HWND w = FindWindowExW(nullptr, nullptr, nullptr, nullptr); w; w = FindWindowExW(nullptr, w, nullptr, nullptr))
      if (GetWindow(w, GW_OWNER) == owner && IsWindowVisible(w) &&
          std::find(known.begin(), known.end(), w) == known.end())
        return w;
    if (waited >= waitMs) return nullptr;
    Sleep(50);
  }
}

// The titles of the visible windows the window owns (its popups), for failure messages.
std::string OwnedTitles(HWND owner) {
  std::string titles;
  for (HWND w = FindWindowExW(nullptr, nullptr, nullptr, nullptr); w; w = FindWindowExW(nullptr, w, nullptr, nullptr)) {
    if (GetWindow(w, GW_OWNER) != owner || !IsWindowVisible(w)) continue;
    wchar_t title[128] = {};
    GetWindowTextW(w, title, 128);
    for (const wchar_t* c = title; *c; ++c) titles.push_back(static_cast<char>(*c));
    titles += "; ";
  }
  return titles.empty() ? "no popup" : titles;
}

// Chooses entry `index` of the main page's profile drop-down through its list.
::testing::AssertionResult ChooseProfileEntry(HWND main, int index) {
  HWND dropdown = GetDlgItem(main, kProfileDropdown);
  if (dropdown == nullptr) return ::testing::AssertionFailure() << "no profile drop-down";
  std::vector<HWND> known;
  for (HWND w = FindWindowExW(nullptr, nullptr, nullptr, nullptr); w; w = FindWindowExW(nullptr, w, nullptr, nullptr))
    if (GetWindow(w, GW_OWNER) == main && IsWindowVisible(w)) known.push_back(w);
  PostMessageW(dropdown, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
  HWND list = NewOwnedWindow(main, known);
  if (list == nullptr) return ::testing::AssertionFailure() << "the drop-down's list did not open";
  HWND rows = FindWindowExW(list, nullptr, L"SysListView32", nullptr);
  if (rows == nullptr) return ::testing::AssertionFailure() << "no rows in the list";
  PostKeyPress(rows, VK_HOME);
  for (int i = 0; i < index; ++i) PostKeyPress(rows, VK_DOWN);
  PostKeyPress(rows, VK_RETURN);
  if (!WaitFor([&] { return !IsWindow(list); })) return ::testing::AssertionFailure() << "the list stayed open";
  return ::testing::AssertionSuccess();
}

constexpr int kImportProfile = 145, kExportProfile = 146;

// Answers the system's file dialog that the window opened: the path typed into
// its file name box, then OK.
::testing::AssertionResult AnswerFileDialog(HWND owner, const std::wstring& path) {
  HWND dialog = nullptr, name = nullptr;
  WaitFor([&] {
    for (HWND w = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); w; w = FindWindowExW(nullptr, w, L"#32770", nullptr)) {
      if (GetWindow(w, GW_OWNER) != owner || !IsWindowVisible(w)) continue;
      // The file name box: the explorer style's combo box, else the old style's edit.
      name = GetDlgItem(w, 0x47C);
      if (name == nullptr) name = GetDlgItem(w, 0x480);
      if (name != nullptr) dialog = w;
    }
    return dialog != nullptr;
  });
  if (dialog == nullptr) return ::testing::AssertionFailure() << "no file dialog; " << OwnedTitles(owner);
  SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));
  if (!WaitFor([&] { return !IsWindow(dialog); })) return ::testing::AssertionFailure() << "the file dialog stayed open";
  return ::testing::AssertionSuccess();
}

// Presses Apply until it is taken: it does nothing while the last write still
// runs (a write lingers a little after its work).
::testing::AssertionResult ApplyTaken(HWND main) {
  const bool taken = WaitFor([&] {
    if (!Enabled(main, kApply)) return true;
    Click(main, kApply);
    Sleep(200);
    return false;
  });
  if (taken) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "Apply stayed enabled; " << OwnedTitles(main);
}

std::vector<std::wstring> ProfileNames(IKeyboardConfig& config) {
  std::vector<std::wstring> names;
  for (int i = 0; i < config.GetProfileCount(); ++i) names.push_back(config.GetProfile(i)->GetName());
  return names;
}

TEST_F(ConfiguratorEndToEnd, ProfileCreatedSwitchedAndDeletedReachTheService) {
  SetCursorPos(1270, 1010);  // the pointer over no list row
  Configurator app;
  ASSERT_TRUE(app.started);
  HWND main = app.MainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(WaitFor([&] { return GetDlgItem(main, kApply) != nullptr && !Enabled(main, kApply); }));
  SetForegroundWindow(main);

  // "Work" made through the name popup; it becomes the active profile.
  ASSERT_TRUE(Click(main, kProfilesTab));
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(GetDlgItem(main, kNewProfile)) != FALSE; }));
  ASSERT_TRUE(Click(main, kNewProfile));
  HWND namePopup = Popup(main, L"ProfileNamePopup.xml");
  ASSERT_NE(namePopup, nullptr);
  HWND edit = GetDlgItem(namePopup, kNameEdit);
  ASSERT_NE(edit, nullptr);
  SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"Work"));
  ASSERT_TRUE(Click(namePopup, kPopupOk));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(namePopup); }));
  ASSERT_TRUE(WaitFor([&] { return Enabled(main, kApply); }));

  // Back to the first profile, where key A gets a switch to "Work", the only one offered.
  ASSERT_TRUE(ChooseProfileEntry(main, 0));
  ASSERT_TRUE(Click(main, kAssignKeysTab));
  ASSERT_TRUE(PostMessageW(main, 0x721, 0, kKeyA));  // the click report of key A
  ASSERT_TRUE(WaitFor([&] { return Enabled(main, kProfileSwitch); }));
  ASSERT_TRUE(Click(main, kProfileSwitch));
  HWND choice = Popup(main, L"SelectProfilePopup.xml");
  ASSERT_NE(choice, nullptr);
  ASSERT_TRUE(Click(choice, kPopupOk));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(choice); }));
  ASSERT_TRUE(Click(main, kApply));
  ASSERT_TRUE(WaitFor([&] { return !Enabled(main, kApply); })) << OwnedTitles(main);

  GUID work{};
  KeyAssignment record;
  ASSERT_TRUE(WaitFor(
      [&] {
        CMorvelConfig config(L".\\");
        if (!ReadService(config) || ProfileNamed(config, L"Work") == nullptr) return false;
        work = ProfileNamed(config, L"Work")->GetId();
        config.GetKeyAssignment(record, KeyOf(0x1E), config.GetProfile(0));
        return record.kind == KEYKIND_PROFILE;
      },
      15000))
      << "kind " << record.kind;
  EXPECT_TRUE(IsEqualGUID(record.payload.id, work)) << "key A switches to \"Work\"";

  // "Work" made active (its row is then the selected one) and deleted.
  ASSERT_TRUE(Click(main, kProfilesTab));
  ASSERT_TRUE(ChooseProfileEntry(main, 1));
  ASSERT_TRUE(WaitFor([&] { return Enabled(main, kApply); }));
  ASSERT_TRUE(Click(main, kDeleteProfile));
  HWND confirm = Popup(main, L"ConfirmDeletePopup.xml");
  ASSERT_NE(confirm, nullptr);
  ASSERT_TRUE(Click(confirm, kPopupOk));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(confirm); }));
  ASSERT_TRUE(ApplyTaken(main));

  ASSERT_TRUE(WaitFor(
      [&] {
        CMorvelConfig config(L".\\");
        if (!ReadService(config) || ProfileNamed(config, L"Work") != nullptr) return false;
        config.GetKeyAssignment(record, KeyOf(0x1E), config.GetProfile(0));
        return true;
      },
      15000))
      << "\"Work\" is still in the service";
  EXPECT_EQ(record.kind, KEYKIND_DEFAULT);
  EXPECT_EQ(record.payload.key.scanCode, 0x1E);
}

TEST_F(ConfiguratorEndToEnd, ProfileExportedDeletedAndImportedBackThroughTheFileDialogs) {
  std::wstring first;
  {
    CMorvelConfig config(L".\\");
    CKeyboard keyboard;
    ASSERT_TRUE(keyboard.ReadFromDevice(&config));
    ASSERT_TRUE(keyboard.TransferConfig(&config, TRANSFER_FROM_DEVICE, TRANSFER_READ_ALL));
    ASSERT_EQ(config.GetProfileCount(), 1);
    first = config.GetProfile(0)->GetName();
    ASSERT_NE(config.AddNewProfile(L"Work"), nullptr);
    ASSERT_TRUE(keyboard.TransferConfig(&config, TRANSFER_TO_DEVICE, TRANSFER_WRITE_ALL));
    ASSERT_TRUE(PumpUntil([&] { return !keyboard.IsWriting(); }));
    ASSERT_TRUE(keyboard.LastWriteSucceeded());
  }
  CreateDirectoryW((kApp + L"save").c_str(), nullptr);
  const std::wstring file = kApp + L"save\\Work.qxp";
  DeleteFileW(file.c_str());

  SetCursorPos(1270, 1010);
  Configurator app;
  ASSERT_TRUE(app.started);
  HWND main = app.MainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(WaitFor([&] { return GetDlgItem(main, kApply) != nullptr && !Enabled(main, kApply); }));
  SetForegroundWindow(main);
  ASSERT_TRUE(Click(main, kProfilesTab));
  ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(GetDlgItem(main, kExportProfile)) != FALSE; }));

  // "Work" active, so that its row is the selected one; exported into "save\".
  ASSERT_TRUE(ChooseProfileEntry(main, 1));
  ASSERT_TRUE(Click(main, kExportProfile));
  ASSERT_TRUE(AnswerFileDialog(main, file));
  ASSERT_TRUE(WaitFor([&] { return GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES; }))
      << "the service wrote no file";

  ASSERT_TRUE(Click(main, kDeleteProfile));
  HWND confirm = Popup(main, L"ConfirmDeletePopup.xml");
  ASSERT_NE(confirm, nullptr);
  ASSERT_TRUE(Click(confirm, kPopupOk));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(confirm); }));
  ASSERT_TRUE(ApplyTaken(main));
  std::vector<std::wstring> names;
  ASSERT_TRUE(WaitFor(
      [&] {
        CMorvelConfig config(L".\\");
        if (!ReadService(config)) return false;
        names = ProfileNames(config);
        return names == std::vector<std::wstring>{first};
      },
      15000))
      << names.size() << " profiles in the service";

  // Imported back: the service holds it again, and an Apply keeps it.
  ASSERT_TRUE(Click(main, kImportProfile));
  ASSERT_TRUE(AnswerFileDialog(main, file));
  ASSERT_TRUE(WaitFor([&] { return Enabled(main, kApply); })) << "the import changed nothing; " << OwnedTitles(main);
  ASSERT_TRUE(ApplyTaken(main));
  ASSERT_TRUE(WaitFor(
      [&] {
        CMorvelConfig config(L".\\");
        if (!ReadService(config)) return false;
        names = ProfileNames(config);
        return names == std::vector<std::wstring>{first, L"Work"};
      },
      15000))
      << names.size() << " profiles in the service";

  // A profile not yet applied: the counts differ, and an import is refused before any dialog.
  ASSERT_TRUE(Click(main, kNewProfile));
  HWND namePopup = Popup(main, L"ProfileNamePopup.xml");
  ASSERT_NE(namePopup, nullptr);
  SendMessageW(GetDlgItem(namePopup, kNameEdit), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"New"));
  ASSERT_TRUE(Click(namePopup, kPopupOk));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(namePopup); }));
  ASSERT_TRUE(Click(main, kImportProfile));
  HWND warning = Popup(main, L"ImporttProfileWarningPopup.xml");
  ASSERT_NE(warning, nullptr) << OwnedTitles(main);
  ASSERT_TRUE(Click(warning, kPopupOk));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(warning); }));
  EXPECT_EQ(OwnedTitles(main), "no popup") << "no file dialog after the warning";
  {
    CMorvelConfig config(L".\\");
    ASSERT_TRUE(ReadService(config));
    EXPECT_EQ(ProfileNames(config), (std::vector<std::wstring>{first, L"Work"})) << "the service is unchanged";
  }
  DeleteFileW(file.c_str());
}

}  // namespace

namespace {

// The service's control interface: its state and its call log as text.
struct ServiceControl {
  ServiceControl() {
    CoCreateInstance(CLSID_DeviceServiceControl, nullptr, CLSCTX_LOCAL_SERVER, __uuidof(IDeviceServiceControl),
                     control.OutVoid());
  }
  ServiceControl(const ServiceControl&) = delete;
  ServiceControl& operator=(const ServiceControl&) = delete;
  std::wstring Text(bool dump) const {
    BSTR text = nullptr;
    if (!control || FAILED(dump ? control->DumpState(&text) : control->GetCallLog(&text)) || !text) return L"";
    std::wstring copy(text, SysStringLen(text));
    SysFreeString(text);
    return copy;
  }
  std::size_t Calls(const wchar_t* method) const { return CallsIn(Text(false), method); }
  platform::ComRef<IDeviceServiceControl> control;
};

// The installed tray, ended with the test.
struct Tray {
  Tray() {
    started = platform::testing::StartProgram(L"\"" + kTrayExe + L"\"", nullptr, pi);
    if (started) process = platform::ProcessHandles(pi);
  }
  ~Tray() {
    if (!started) return;
    if (WaitForSingleObject(pi.hProcess, 0) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 99);
    WaitForSingleObject(pi.hProcess, 5000);
  }
  bool started = false;
  PROCESS_INFORMATION pi{};  // the handles are `process`'s
  platform::ProcessHandles process;
};

// A window of the test's own in front, to take the keys the tray records.
struct FrontWindow {
  FrontWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ConfiguratorEndToEndFront";
    RegisterClassW(&wc);
    hwnd = CreateWindowExW(0, wc.lpszClassName, L"front", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 200, 200, 150,
                           nullptr, nullptr, wc.hInstance, nullptr);
  }
  ~FrontWindow() { DestroyWindow(hwnd); }
  bool ToFront() {
    SetForegroundWindow(hwnd);
    return WaitFor([&] { return GetForegroundWindow() == hwnd; }, 5000);
  }
  HWND hwnd = nullptr;
};

// Key `clicked` of the window's keyboard is given the single key sent to the popup.
void AssignSingleKey(HWND main, LPARAM clicked, WORD virtualKey, WORD scanCode) {
  ASSERT_TRUE(PostMessageW(main, 0x721, 0, clicked));  // the click report of the key
  ASSERT_TRUE(WaitFor([&] { return Enabled(main, kSingleKey); }));
  ASSERT_TRUE(Click(main, kSingleKey));
  HWND popup = Popup(main, L"SingleKeyPopup.xml");
  ASSERT_NE(popup, nullptr);
  SetForegroundWindow(popup);
  ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == popup; }));
  SendKey(virtualKey, scanCode);
  ASSERT_TRUE(WaitFor([&] { return Enabled(popup, kPopupOk); })) << "the key was not captured";
  ASSERT_TRUE(Click(popup, kPopupOk));
  ASSERT_TRUE(WaitFor([&] { return !IsWindow(popup); }));
}

// Apply, then OK, which waits for the Apply's write, writes again and closes: once
// the program has ended, everything it wrote is in the service.
void ApplyThenOk(const Configurator& app, HWND main) {
  ASSERT_TRUE(WaitFor([&] { return Enabled(main, kApply); }));
  ASSERT_TRUE(Click(main, kApply));
  ASSERT_TRUE(WaitFor([&] { return !Enabled(main, kApply); }));
  ASSERT_TRUE(Click(main, kOk));
  ASSERT_TRUE(app.Ended(30000)) << "OK did not close the window (a write warning?)";
}

// The device key code of F1, the key the tray's recording goes to.
constexpr DWORD kKeyF1 = 0x3B;

// While the configurator is open the tray records a macro on the fly and puts it on
// F1 of the active profile. The user then changes key A and applies: F1 still plays
// the tray's macro, and key A has its new record.
TEST_F(ConfiguratorEndToEnd, ApplyKeepsTheMacroTheTrayRecordedMeanwhile) {
  Configurator app;
  ASSERT_TRUE(app.started);
  HWND main = app.MainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(WaitFor([&] { return GetDlgItem(main, kApply) != nullptr && !Enabled(main, kApply); }));

  ServiceControl service;
  ASSERT_NE(service.control.Get(), nullptr);
  Tray tray;
  ASSERT_TRUE(tray.started);
  ASSERT_TRUE(WaitFor([&] { return service.Calls(L"IConnectionPoint::Advise") >= 3; }, 30000))
      << "the tray did not connect";
  ASSERT_TRUE(Ctl(L"record start"));
  ASSERT_TRUE(WaitFor([&] { return service.Text(true).find(L"mode=2") != std::wstring::npos; }));
  Sleep(500);  // the tray registers its raw input right after the light
  {
    FrontWindow front;
    ASSERT_TRUE(front.ToFront());
    SendKey('A', 0x1E);
    SendKey('B', 0x30);
    Sleep(1000);  // the raw input reaches the tray through its queue
  }
  ASSERT_TRUE(Ctl(L"record stop"));
  ASSERT_TRUE(Ctl(L"record finish 0x3B"));
  GUID recorded{};
  ASSERT_TRUE(WaitFor(
      [&] {
        CMorvelConfig config(L".\\");
        if (!ReadService(config)) return false;
        const CMacro* macro = config.FindMacroByName(L"New Macro1");
        KeyAssignment f1;
        config.GetKeyAssignment(f1, KeyOf(kKeyF1), config.GetActiveProfile());
        if (macro == nullptr || f1.kind != KEYKIND_MACRO || !IsEqualGUID(f1.payload.id, macro->id)) return false;
        recorded = macro->id;
        return true;
      },
      15000))
      << "the tray did not store the recording";

  ASSERT_NO_FATAL_FAILURE(AssignSingleKey(main, kKeyA, 'B', 0x30));
  ASSERT_NO_FATAL_FAILURE(ApplyThenOk(app, main));

  CMorvelConfig config(L".\\");
  ASSERT_TRUE(ReadService(config));
  KeyAssignment a, f1;
  config.GetKeyAssignment(a, KeyOf(0x1E), config.GetActiveProfile());
  config.GetKeyAssignment(f1, KeyOf(kKeyF1), config.GetActiveProfile());
  EXPECT_EQ(a.kind, KEYKIND_SINGLEKEY) << "key A was not applied";
  EXPECT_EQ(a.payload.key.scanCode, 0x30);
  EXPECT_EQ(f1.kind, KEYKIND_MACRO) << "F1 lost the tray's macro";
  EXPECT_TRUE(IsEqualGUID(f1.payload.id, recorded));
  EXPECT_NE(config.FindMacroByName(L"New Macro1"), nullptr);
}

// Makes the profile of that name active in the service, as the tray's menu or its
// automatic switch does.
bool ActivateInService(const std::wstring& name) {
  CMorvelConfig config(L".\\");
  if (!ReadService(config)) return false;
  IKeyboardProfile* wanted = ProfileNamed(config, name);
  platform::ComRef<IDeviceManager> manager;
  platform::ComRef<IDevice> device;
  platform::ComRef<IProfileManager> profiles;
  platform::ComRef<IDeviceProfile> profile;
  return wanted != nullptr &&
         SUCCEEDED(CoCreateInstance(CLSID_DeviceServiceClass, nullptr, kDeviceServiceContext, __uuidof(IDeviceManager),
                                    manager.OutVoid())) &&
         SUCCEEDED(manager->GetDevice(0, device.Out())) &&
         SUCCEEDED(device->GetFeature(__uuidof(IProfileManager), profiles.OutVoid())) &&
         SUCCEEDED(profiles->GetProfileById(wanted->GetId(), profile.Out())) &&
         SUCCEEDED(profiles->SetActiveProfile(profile.Get()));
}

// Another client switches the keyboard's profile while the configurator is open;
// an Apply that chose no profile leaves the switch.
TEST_F(ConfiguratorEndToEnd, ApplyKeepsTheProfileSwitchedFromOutside) {
  {
    CMorvelConfig config(L".\\");
    CKeyboard keyboard;
    ASSERT_TRUE(keyboard.ReadFromDevice(&config));
    ASSERT_TRUE(keyboard.TransferConfig(&config, TRANSFER_FROM_DEVICE, TRANSFER_READ_ALL));
    ASSERT_NE(config.AddNewProfile(L"Elsewhere"), nullptr);
    ASSERT_TRUE(keyboard.TransferConfig(&config, TRANSFER_TO_DEVICE, TRANSFER_WRITE_ALL));
    ASSERT_TRUE(PumpUntil([&] { return !keyboard.IsWriting(); }));
    ASSERT_TRUE(keyboard.LastWriteSucceeded());
  }
  {
    CMorvelConfig config(L".\\");
    ASSERT_TRUE(ReadService(config));
    ASSERT_NE(config.GetActiveProfile(), nullptr);
    ASSERT_NE(config.GetActiveProfile()->GetName(), L"Elsewhere");
  }
  Configurator app;
  ASSERT_TRUE(app.started);
  HWND main = app.MainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(WaitFor([&] { return GetDlgItem(main, kApply) != nullptr && !Enabled(main, kApply); }));
  ASSERT_TRUE(ActivateInService(L"Elsewhere"));

  // A change that chooses no profile: key A of the profile the configurator shows.
  ASSERT_NO_FATAL_FAILURE(AssignSingleKey(main, kKeyA, 'B', 0x30));
  ASSERT_NO_FATAL_FAILURE(ApplyThenOk(app, main));

  CMorvelConfig config(L".\\");
  ASSERT_TRUE(ReadService(config));
  ASSERT_NE(config.GetActiveProfile(), nullptr);
  const std::wstring active = config.GetActiveProfile()->GetName();
  bool applied = false;
  for (int i = 0; i < config.GetProfileCount(); ++i) {
    KeyAssignment a;
    config.GetKeyAssignment(a, KeyOf(0x1E), config.GetProfile(i));
    applied = applied || a.kind == KEYKIND_SINGLEKEY;
  }
  EXPECT_TRUE(applied) << "the change was not applied";
  EXPECT_EQ(active, L"Elsewhere") << "the Apply switched the profile back";
}

}  // namespace
