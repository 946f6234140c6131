// Builders of the slider, marker and DPI stage elements.
#include <algorithm>
#include <memory>
#include <vector>

#include "gui/controls/BitmapItem.h"
#include "gui/controls/DpiStageWindow.h"
#include "gui/controls/RangeSlider.h"
#include "gui/controls/Sliders.h"
#include "gui/skin/FontItem.h"
#include "gui/skin/SkinBuilders.h"
#include "gui/base/SkinNameTables.h"
#include "gui/skin/SkinResourceCache.h"
#include "platform/Strings.h"

namespace {

// Handles beyond these are not built.
constexpr int kMaxStageHandles = 5;

template <typename Item>
Item* WithHeader(Item* item, int32_t id, GUIItemKind kind, HWND parent) {
  item->id = id;
  item->kind = kind;
  item->hwnd = item->m_hWnd;
  item->parent = parent;
  return item;
}

HBITMAP BitmapFileOf(const pugi::xml_node& element, const char* child) {
  return GetSkinBitmapUtf8(element.child(child).child_value());
}

// The bitmap item the element's `trackid` names, or null.
CBitmapItem* TrackItemOf(const pugi::xml_node& element, const BuildContext& context) {
  return dynamic_cast<CBitmapItem*>(ReadWindowRef(element, "trackid", context.List()));
}

}  // namespace

CGUIItem* BuildVertSlider(const pugi::xml_node& element, const BuildContext& context) {
  const int32_t id = ReadSkinId(element);
  if (id == -1) return nullptr;
  HBITMAP image = GetSkinImageUtf8(element.attribute("file").as_string());
  const RECT rect = ReadItemRect(element, id);
  auto slider = std::make_unique<CVertSlider>();
  if (!slider->Create(id, context.parent, image, rect.left, rect.top, rect.right, rect.bottom)) return nullptr;
  slider->SetThumbBitmap(image, rect.left, rect.top, rect.right, rect.bottom);
  return WithHeader(slider.release(), id, GUIKIND_VSLIDER, context.parent);
}

CGUIItem* BuildMultiSlider(const pugi::xml_node& element, const BuildContext& context) {
  const int32_t id = ReadSkinId(element);
  if (id == -1) return nullptr;
  const pugi::xml_node first = element.child("STAGES").child("STAGE");
  if (!first) return nullptr;
  std::vector<pugi::xml_node> stages;
  for (pugi::xml_node s = first; s && stages.size() < kMaxStageHandles; s = s.next_sibling("STAGE"))
    stages.push_back(s);

  std::vector<std::unique_ptr<CPHSlider>> handles;
  for (size_t k = 0; k < stages.size(); ++k) handles.push_back(std::make_unique<CPHSlider>());
  auto slider = std::make_unique<CSliderHMulti>(std::move(handles));

  HBITMAP normal = BitmapFileOf(element, "SBMN");
  HBITMAP over = BitmapFileOf(element, "SBMO");
  // Without a track item the slider lies on the given parent, without a track image.
  CBitmapItem* track = TrackItemOf(element, context);
  const HWND parent = track ? track->m_hWnd : context.parent;

  const RECT rect = ReadItemRect(element, id);
  if (!slider->Create(parent, gui::CopyAsDib(normal), rect.left, rect.top, rect.right, rect.bottom)) return nullptr;
  if (track) slider->SetTrackBitmap(track->m_image, rect.left, rect.top, rect.right, rect.bottom);

  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  for (size_t k = 0; k < stages.size(); ++k) {
    CPHSlider& handle = *slider->m_thumbs[k];
    const int32_t stageId = FindSkinElementId(platform::Trim(gui::ElementText(stages[k])));
    handle.id = stageId;
    handle.Create(gui::CopyAsDib(normal), slider->m_hWnd, gui::CopyAsDib(over), stageId, 0, 0, width, height);
    handle.SetStage(static_cast<int>(k) + 3);
    std::wstring tip;
    if (ReadTooltip(stages[k], tip)) handle.SetTooltipText(tip);
    WithHeader(&handle, stageId, GUIKIND_SLIDERSTAGE, slider->m_hWnd);
  }

  const int interactive = ReadInteractive(element) ? 1 : 0;
  slider->m_interactive = interactive;
  for (auto& handle : slider->m_thumbs) handle->m_interactive = interactive;

  if (element.attribute("offset")) slider->SetLeftOffset(gui::ParseSkinInt(element.attribute("offset").as_string()));
  if (element.attribute("loffset") && element.attribute("roffset"))
    slider->SetOffsets(gui::ParseSkinInt(element.attribute("loffset").as_string()),
                       gui::ParseSkinInt(element.attribute("roffset").as_string()));
  return WithHeader(slider.release(), id, GUIKIND_HSLIDERM, parent);
}

CGUIItem* BuildApmSlider(const pugi::xml_node& element, const BuildContext& context) {
  const int32_t id = ReadSkinId(element);
  if (id == -1) return nullptr;
  HBITMAP normal = BitmapFileOf(element, "SBMN");
  HBITMAP over = BitmapFileOf(element, "SBMO");
  // The range slider has no parent of its own to fall back on: no track, no item.
  CBitmapItem* track = TrackItemOf(element, context);
  if (!track) return nullptr;
  const RECT rect = ReadItemRect(element, id);
  auto slider = std::make_unique<CAPMSlider>();
  if (!slider->Create(track->m_hWnd, track->m_image, normal, over, rect.left, rect.top, rect.right, rect.bottom))
    return nullptr;
  CAPMSlider* built = WithHeader(slider.release(), id, GUIKIND_HSLIDERMAPM, track->m_hWnd);
  built->SetDefaultStages();
  if (built->m_noCapRanges) built->RemoveTickerCapRanges();
  else built->SetTickerCapRanges();
  built->SetDefaultColours();
  return built;
}

CGUIItem* BuildMarker(const pugi::xml_node& element, const BuildContext& context) {
  const int32_t id = ReadSkinId(element);
  if (id == -1) return nullptr;
  HBITMAP back = ReadBitmap(element, "SBMN");
  HBITMAP mark = ReadBitmap(element, "MARK");
  const RECT rect = ReadItemRect(element, id);
  auto marker = std::make_unique<CDMarker>();
  if (!marker->Create(rect, id, context.parent)) return nullptr;
  marker->SetBitmaps(back, mark, rect.left, rect.top, rect.right, rect.bottom);
  return WithHeader(marker.release(), id, GUIKIND_DMARKER, context.parent);
}

CGUIItem* BuildDpiStageWindow(const pugi::xml_node& element, const BuildContext& context) {
  const int32_t id = ReadSkinId(element);
  if (id == -1) return nullptr;
  std::vector<DpiPictureArea> pictures;
  for (pugi::xml_node info = element.child("BMPINFO"); info; info = info.next_sibling("BMPINFO"))
    pictures.push_back(DpiPictureArea{gui::AttrText(info, "name"), ReadBitmap(info, "BMPDATA"), ReadBitmap(info, "BMPMASK"),
                                      ReadItemRect(info, id)});
  std::vector<DpiTextArea> texts;
  for (pugi::xml_node area = element.child("TEXTAREA"); area; area = area.next_sibling("TEXTAREA"))
    texts.push_back(DpiTextArea{gui::AttrText(area, "name"), gui::AttrText(area, "textkey"), ReadItemRect(area, id)});
  const RECT rect = ReadItemRect(element, id);
  auto pane = std::make_unique<CDPIStageWindow>(context.stageIndex);
  if (!pane->Create(context.parent, pictures, texts, rect, static_cast<UINT>(id))) return nullptr;
  if (context.list) {
    if (CFontItem* font = ReadFontRef(element, id, *context.list)) {
      pane->SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(static_cast<HFONT>(*font)), TRUE);
      pane->m_font = *font;
    }
  }
  return WithHeader(pane.release(), id, GUIKIND_DPISTAGEWINDOW, context.parent);
}
