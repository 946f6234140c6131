#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "gui/Messages.h"
#include "gui/controls/MacroDisplayItem.h"
#include "gui/controls/XListCtrl.h"
#include "gui/panels/DropdownListItem.h"
#include "gui/panels/ListPanel.h"
#include "gui/skin/SkinBuilders.h"
#include "gui/skin/SkinLoader.h"
#include "gui/base/SkinNameTables.h"
#include "gui/testing/DrawProbe.h"
#include "gui/testing/ListMessageCopiers.h"
#include "gui/testing/PopupSteps.h"
#include "gui/testing/ScreenPage.h"
#include "gui/testing/SkinTestFolder.h"
#include "platform/testing/GuiTestHost.h"

using namespace gui::testing;

namespace {

std::string Rect(int l, int t, int r, int b) {
  return "<RECT left=\"" + std::to_string(l) + "\" top=\"" + std::to_string(t) + "\" right=\"" + std::to_string(r) +
         "\" bottom=\"" + std::to_string(b) + "\"/>";
}

const std::string kScroll =
    "<VSCROLL><VSBMP_TOP>cap.bmp</VSBMP_TOP><VSBMP_BOT>cap.bmp</VSBMP_BOT><VSBMP_AUP>arrow.bmp</VSBMP_AUP>"
    "<VSBMP_ADN>arrow.bmp</VSBMP_ADN><VSBMP_SPN>span.bmp</VSBMP_SPN><VSBMP_TMB>thumb.bmp</VSBMP_TMB></VSCROLL>";

class ListBuilders : public gui::testing::SkinTestFolder {
 protected:
  void SetUp() override {
    gui::testing::SkinTestFolder::SetUp();
    ::SetCursorPos(730, 570);
    WriteImage(L"cap.bmp", 12, 4, RGB(9, 9, 9));
    WriteImage(L"arrow.bmp", 12, 10, RGB(200, 0, 0));
    WriteImage(L"span.bmp", 12, 1, RGB(0, 90, 0));
    WriteImage(L"thumb.bmp", 12, 20, RGB(0, 0, 200));
    WriteImage(L"off.bmp", 12, 12, RGB(0, 0, 250));
    WriteImage(L"on.bmp", 12, 12, RGB(250, 0, 0));
    WriteImage(L"icon.bmp", 28, 18, RGB(0, 250, 0));
  }
  CGUIItem* Build(ElementBuilder builder, const std::string& xml) {
    EXPECT_TRUE(document.load_string(xml.c_str())) << xml;
    return builder(document.first_child(), BuildContext{.parent = host.m_hWnd, .list = &list});
  }
  platform::testing::GuiTestHost host;
  GUIItemList list;
  pugi::xml_document document;
};

TEST_F(ListBuilders, ElementsRefusedOrBuilt) {
  const std::string column = "<LISTCOLUMN name=\"LCITEM_PROFILENAME\" type=\"STATIC\" width=\"80\">$Name</LISTCOLUMN>";
  const std::string descrip6 = "<LISTCOLUMN name=\"LCITEM_MCREVENT_DESCRIP\" type=\"STATIC\" width=\"6\"/>";
  struct Case {
    const char* what;
    ElementBuilder builder;
    std::string xml;
    bool built;
  };
  const Case cases[] = {
      {"list control", BuildListCtrl, "<LISTCTRL name=\"LIST_PROFILELIST\">" + Rect(0, 0, 200, 100) + column + "</LISTCTRL>", true},
      {"list control, second column of an unknown type", BuildListCtrl,
       "<LISTCTRL name=\"LIST_PROFILELIST\">" + column +
           "<LISTCOLUMN name=\"LCITEM_PROFILEEXE\" type=\"SLIDER\" width=\"50\"/></LISTCTRL>", false},
      {"list control, unknown column", BuildListCtrl,
       "<LISTCTRL name=\"LIST_PROFILELIST\"><LISTCOLUMN name=\"LCITEM_NONE\" type=\"STATIC\" width=\"5\"/></LISTCTRL>", false},
      {"list control, width 0", BuildListCtrl,
       "<LISTCTRL name=\"LIST_PROFILELIST\"><LISTCOLUMN name=\"LCITEM_PROFILENAME\" type=\"STATIC\" width=\"-4\"/></LISTCTRL>", false},
      {"list control without columns", BuildListCtrl, "<LISTCTRL name=\"LIST_PROFILELIST\"/>", false},
      {"list control, unknown name", BuildListCtrl, "<LISTCTRL name=\"NOT_A_NAME\">" + column + "</LISTCTRL>", false},
      {"macro display", BuildMacroDisplay,
       "<MACRODISPLAY name=\"MACRO_DISPLAY\" bdrwidth=\"2\">" + Rect(0, 0, 200, 100) + descrip6 + "</MACRODISPLAY>", true},
      {"macro display, EDIT column", BuildMacroDisplay,
       "<MACRODISPLAY name=\"MACRO_DISPLAY\"><LISTCOLUMN name=\"LCITEM_MCREVENT_ICON\" type=\"EDIT\" width=\"20\"/></MACRODISPLAY>", false},
      {"macro display, description 6 - 2 x 3", BuildMacroDisplay,
       "<MACRODISPLAY name=\"MACRO_DISPLAY\" bdrwidth=\"3\">" + descrip6 + "</MACRODISPLAY>", false},
      {"macro display, a third column", BuildMacroDisplay,
       "<MACRODISPLAY name=\"MACRO_DISPLAY\">" + descrip6 + descrip6 + descrip6 + "</MACRODISPLAY>", false},
      {"combo", BuildCombo, "<COMBO name=\"LIST_GLOBALPROFILELIST\"><CLIST height=\"50\"/></COMBO>", true},
      {"combo without CLIST", BuildCombo, "<COMBO name=\"LIST_GLOBALPROFILELIST\"/>", false},
      {"list panel", BuildListPanel, "<LISTPANEL name=\"LISTPANEL_PROFILEOPTIONS\">" + Rect(50, 50, 120, 200) + "</LISTPANEL>", true},
      {"list panel, unknown name", BuildListPanel, "<LISTPANEL name=\"NOT_A_NAME\"/>", false},
  };
  for (const auto& c : cases) {
    std::unique_ptr<CGUIItem> item(Build(c.builder, c.xml));
    EXPECT_EQ(item != nullptr, c.built) << c.what;
  }
  const size_t windows = platform::BoundWindowCount();
  EXPECT_LE(windows, 2u) << "refused elements leave no windows";
}

TEST_F(ListBuilders, WhatTheBuildersRead) {
  std::unique_ptr<CGUIItem> bare(Build(BuildListCtrl,
      "<LISTCTRL name=\"LIST_PROFILELIST\"><LISTCOLUMN name=\"LCITEM_PROFILENAME\" type=\"STATIC\" width=\"80\"/></LISTCTRL>"));
  ASSERT_NE(bare, nullptr);
  EXPECT_TRUE(static_cast<CXListCtrl*>(bare.get())->GetStyle() & LVS_NOCOLUMNHEADER);

  std::unique_ptr<CGUIItem> combo(Build(BuildCombo, "<COMBO name=\"LIST_GLOBALPROFILELIST\" lgap=\"3\" sorted=\"y\">"
                                                    "<CLIST height=\"-5\">" + kScroll + "</CLIST><CBOX>" + Rect(5, 6, 100, 20) +
                                                    "</CBOX><COMBOITEMS><COMBOITEM> one </COMBOITEM><COMBOITEM>two</COMBOITEM>"
                                                    "</COMBOITEMS></COMBO>"));
  ASSERT_NE(combo, nullptr);
  auto* box = static_cast<CDropdownListItem*>(combo.get());
  EXPECT_EQ(box->m_leftGap, L"   ");
  EXPECT_EQ(box->m_listHeight, 0);
  EXPECT_EQ(box->m_scrollBarWidth, 12);
  EXPECT_EQ(box->m_sorted, 1);
  EXPECT_EQ(box->GetLBText(0), L"one");
  EXPECT_EQ(box->m_createRect.right, 105);
  EXPECT_EQ(combo->kind, GUIKIND_COMBO);
  EXPECT_EQ(combo->hwnd, box->m_hWnd);

  // Sizes beyond the coordinate range are cut to it, not taken as billions of spaces.
  std::unique_ptr<CGUIItem> wide(Build(BuildCombo, "<COMBO name=\"LIST_GLOBALPROFILELIST\" lgap=\"99999999999\">"
                                                   "<CLIST height=\"10\"/></COMBO>"));
  ASSERT_NE(wide, nullptr);
  EXPECT_EQ(static_cast<CDropdownListItem*>(wide.get())->m_leftGap.size(), static_cast<size_t>(gui::kSkinCoordMax));

  std::unique_ptr<CGUIItem> panel(Build(BuildListPanel, "<LISTPANEL name=\"LISTPANEL_PROFILEOPTIONS\" bdrwidth=\"2\">" +
                                                            Rect(50, 50, 120, 200) +
                                                            "<LISTPANELITEMS><LISTPANELITEM> $Delete </LISTPANELITEM>"
                                                            "</LISTPANELITEMS></LISTPANEL>"));
  ASSERT_NE(panel, nullptr);
  auto* menu = static_cast<CListPanelItem*>(panel.get());
  EXPECT_EQ(menu->m_width, 120);
  EXPECT_EQ(menu->m_height, 200);
  EXPECT_EQ(menu->m_look.borderWidth, 2);
  EXPECT_EQ(menu->GetLBText(0), L"$Delete");
  EXPECT_EQ(panel->hwnd, nullptr);
  EXPECT_EQ(panel->kind, GUIKIND_LISTPANEL);
}

// The page: a profile-like list (five columns out of id order, two check-box
// columns, one exclusive), a macro display with its bar, a drop-down and a menu.
TEST_F(ListBuilders, FixturePage) {
  WatchListMessages(host);
  const std::string check = "<SBMN>off.bmp</SBMN><SBMD>on.bmp</SBMD>";
  WriteXml(L"page.xml",
           "<ITEMLIST><MACRODISPLAYLIST>"
           "<MACRODISPLAY name=\"MACRO_DISPLAY\" backclr=\"DARKGREY\" bdrwidth=\"1\">" + kScroll + Rect(330, 10, 200, 10 * 19 + 1) +
           "<MDBMP_CLK>icon.bmp</MDBMP_CLK><MDBMP_CLKH>icon.bmp</MDBMP_CLKH>"
           "<LISTCOLUMN name=\"LCITEM_MCREVENT_ICON\" type=\"ICON\" width=\"28\"/>"
           "<LISTCOLUMN name=\"LCITEM_MCREVENT_DESCRIP\" type=\"STATIC\" width=\"150\" justify=\"R\"/></MACRODISPLAY>"
           "</MACRODISPLAYLIST><LISTLIST>"
           "<LISTCTRL name=\"LIST_PROFILELIST\" backclr=\"BLACK2\" backclrhi=\"MIDGREY\"><LISTHDR backclr=\"BLUE2\" fontclr=\"WHITE\"/>" +
           Rect(10, 10, 300, 150) +
           "<LISTCOLUMN name=\"LCITEM_PROFILENAME\" type=\"STATIC\" width=\"100\">$Name</LISTCOLUMN>"
           "<LISTCOLUMN name=\"LCITEM_AUTOSWITCH\" type=\"CHECKBOX\" width=\"40\">" + check + "</LISTCOLUMN>"
           "<LISTCOLUMN name=\"LCITEM_PROFILECURRENT\" type=\"CHECKBOX\" exclusive=\"1\" width=\"40\">" + check + "</LISTCOLUMN>"
           "<LISTCOLUMN name=\"LCITEM_PROFILEID\" type=\"STATIC\" width=\"40\"/>"
           "<LISTCOLUMN name=\"LCITEM_PROFILEEXE\" type=\"FILEDIALOG\" width=\"70\"/></LISTCTRL>"
           "<COMBO name=\"LIST_GLOBALPROFILELIST\" lgap=\"2\"><CLIST height=\"60\">" + kScroll + "</CLIST><CBOX>" +
           Rect(10, 180, 200, 20) + "</CBOX><COMBOITEMS><COMBOITEM>alpha</COMBOITEM><COMBOITEM>beta</COMBOITEM>"
           "<COMBOITEM>gamma</COMBOITEM></COMBOITEMS></COMBO></LISTLIST><LISTPANELLIST>"
           "<LISTPANEL name=\"LISTPANEL_PROFILEOPTIONS\">" + Rect(0, 0, 120, 60) +
           "<LISTPANELITEMS><LISTPANELITEM>$Rename</LISTPANELITEM><LISTPANELITEM>$Delete</LISTPANELITEM></LISTPANELITEMS>"
           "</LISTPANEL></LISTPANELLIST></ITEMLIST>");
  ASSERT_TRUE(LoadSkinFile(list, L"page.xml", host.m_hWnd));
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list[0]->kind, GUIKIND_MACRODISPLAY);
  EXPECT_EQ(list[1]->kind, GUIKIND_LISTCTRL);
  EXPECT_EQ(list[2]->kind, GUIKIND_COMBO);
  EXPECT_EQ(list[3]->kind, GUIKIND_LISTPANEL);
  auto* macro = dynamic_cast<CMacroDisplayItem*>(list[0]);
  auto* profiles = dynamic_cast<CXListCtrl*>(list[1]);
  auto* box = dynamic_cast<CDropdownListItem*>(list[2]);
  auto* menu = dynamic_cast<CListPanelItem*>(list[3]);
  ASSERT_TRUE(macro && profiles && box && menu);
  EXPECT_EQ(profiles->id, FindSkinElementId(L"LIST_PROFILELIST"));
  EXPECT_EQ(profiles->GetDlgCtrlID(), profiles->id);
  EXPECT_EQ(profiles->GetStyle() & 0xFFFF, static_cast<DWORD>(LVS_REPORT | LVS_SINGLESEL));
  EXPECT_EQ(profiles->GetExtendedStyle() & 0x10120, 0x10120u);
  EXPECT_TRUE(macro->GetExtendedStyle() & LVS_EX_FULLROWSELECT);
  // Columns in document order, met by id only through the map.
  EXPECT_EQ(profiles->GetColumnId(0), 2);
  EXPECT_EQ(profiles->GetColumnId(1), 4);
  EXPECT_EQ(profiles->GetColumnId(2), 0);
  EXPECT_EQ(profiles->GetColumnId(4), 3);
  EXPECT_EQ(profiles->ColumnInfo(0)->exclusive, 1);
  EXPECT_EQ(profiles->ColumnInfo(4)->exclusive, 0);
  EXPECT_EQ(macro->GetColumnWidth(1), 150 - 2);

  // Rows like the profile page's.
  for (int i = 0; i < 3; ++i) {
    const int row = profiles->InsertRow(i, profiles->m_textColour, profiles->m_backColour, profiles->m_selectedTextColour,
                                        profiles->m_selectedBackColour);
    profiles->SetRowId(row, 10 + i);
    profiles->SetCellText(2, L"Profile " + std::to_wstring(i), 10 + i);
    profiles->SetCellCheck(4, 0, 10 + i);
    profiles->SetCellCheck(0, i == 0 ? 1 : 0, 10 + i);
  }

  // Header and check-box pixels.
  {
    RECT headerRect{};
    profiles->Header().GetClientRect(&headerRect);
    DrawSurface surface(headerRect.right, headerRect.bottom, RGB(1, 2, 3));
    PrintClient(profiles->Header().m_hWnd, surface);
    EXPECT_EQ(surface.Pixel(headerRect.right - 3, headerRect.bottom / 2), static_cast<COLORREF>(0xC57700));
    RECT cell{};
    profiles->GetCellRect(0, 2, &cell);
    RECT client{};
    profiles->GetClientRect(&client);
    DrawSurface rows(client.right, client.bottom, RGB(1, 2, 3));
    PrintClient(profiles->m_hWnd, rows);
    EXPECT_EQ(rows.Pixel((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2), RGB(250, 0, 0));
    profiles->GetCellRect(1, 2, &cell);
    EXPECT_EQ(rows.Pixel((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2), RGB(0, 0, 250));
  }

  // A COMBO entry picked by keys.
  host.RunInNextLoop([] {
    HWND popupList = PopupList(TopPopup());
    PostKey(popupList, VK_HOME);
    PostKey(popupList, VK_DOWN);
    PostKey(popupList, VK_DOWN);
    PostKey(popupList, VK_RETURN);
  });
  box->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
  EXPECT_EQ(box->GetCurSel(), 2);
  ASSERT_EQ(host.ReceivedOf(DropdownSelChangedMessage).size(), 1u);

  // "$Delete" from a row's LISTPANEL menu.
  profiles->m_contextMenu = menu;
  std::function<void()> choose = [&] {
    if (!TopPopup()) {
      host.RunInNextLoop(choose);
      return;
    }
    HWND popupList = PopupList(TopPopup());
    PostKey(popupList, VK_END);
    PostKey(popupList, VK_RETURN);
  };
  host.RunInNextLoop(choose);
  RECT row1{};
  profiles->GetCellRect(1, 0, &row1);
  profiles->PostMessage(WM_RBUTTONUP, 0, MAKELPARAM(row1.left + 10, row1.top + 3));
  profiles->SendMessage(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(row1.left + 10, row1.top + 3));
  host.Pump();
  const auto actions = host.ReceivedOf(ListActionMessage);
  ASSERT_EQ(actions.size(), 1u);
  EXPECT_EQ(actions[0].text, L"$Delete");
  EXPECT_EQ(actions[0].values[0], 11);

  // The macro display scrolls by its bar.
  MacroEventList events;
  for (int i = 0; i < 50; ++i) events.push_back(MacroEvent{MACROEVENT_DELAY, i + 1, i + 1});
  macro->LoadEvents(&events);
  macro->EnsureVisible(0, FALSE);
  host.Pump();
  ASSERT_NE(macro->ScrollBar(), nullptr);
  RECT barRect{};
  macro->ScrollBar()->GetClientRect(&barRect);
  const int downY = barRect.bottom - 4 - 5;
  macro->ScrollBar()->SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, downY));
  macro->ScrollBar()->SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(3, downY));
  host.Pump();
  EXPECT_EQ(macro->GetTopIndex(), 1);

  // A picture of the page for people to look at.
  host.Invalidate();
  host.UpdateWindow();
  ::RedrawWindow(host.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  const ScreenPicture picture = CaptureClient(host.m_hWnd, 640, 480);
  EXPECT_TRUE(picture.Save(L"list_page.bmp"));
  DestroyItemList(list);
}

}  // namespace
