#include "win32/CaptionFit.h"

#include <algorithm>
#include <cstdlib>

#include "operator/MainWindowControls.h"
#include "operator/WindowGeometry.h"
#include "win32/MessageFont.h"
#include "win32/WideText.h"

namespace varnetik::win32 {

std::vector<CaptionRoom> FixedCaptions(int dpi) {
  const auto s = [dpi](int logical) { return ScaleToDpi(logical, dpi); };
  const int arrow = ::GetSystemMetricsForDpi(SM_CXVSCROLL, static_cast<UINT>(dpi)) + s(6);
  std::vector<CaptionRoom> out;
  const std::vector<ControlPlan>& plans = MainWindowControls();
  for (size_t i = 0; i < plans.size(); ++i) {
    const ControlPlan& plan = plans[i];
    int width = s(plan.rect.width);
    const int height = s(plan.rect.height);
    switch (plan.kind) {
      case ControlKind::Label:
        // A field that starts inside its label's box is drawn over the box's end (the FC 16 group's start
        // address): the text must end before the field.
        if (i + 1 < plans.size() && plans[i + 1].page == plan.page && plans[i + 1].rect.x > plan.rect.x &&
            plans[i + 1].rect.x < plan.rect.Right() && plans[i + 1].rect.y < plan.rect.Bottom() &&
            plans[i + 1].rect.Bottom() > plan.rect.y) {
          width = std::min(width, s(plans[i + 1].rect.x) - s(plan.rect.x));
        }
        out.push_back({plan.caption, width, height});
        break;
      case ControlKind::Button: out.push_back({plan.caption, width - s(8), height}); break;
      case ControlKind::GroupFrame: out.push_back({plan.caption, width - s(16), height}); break;
      case ControlKind::DropDownList:
        for (const std::string& entry : plan.entries) out.push_back({entry, width - arrow, 0});
        break;
      default: break;
    }
  }
  out.push_back({kClearLogCaption, s(kClearButtonWidth) - s(8), s(kClearButtonHeight)});
  return out;
}

SIZE TextExtent(HFONT font, const std::string& text) {
  HDC dc = ::GetDC(nullptr);
  HGDIOBJ old = ::SelectObject(dc, font);
  SIZE size{};
  const std::wstring wide = Wide(text);
  ::GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
  ::SelectObject(dc, old);
  ::ReleaseDC(nullptr, dc);
  return size;
}

bool AllCaptionsFit(HFONT font, int dpi) {
  for (const CaptionRoom& room : FixedCaptions(dpi)) {
    const SIZE size = TextExtent(font, room.text);
    if (size.cx > room.width || (room.height > 0 && size.cy > room.height)) return false;
  }
  return true;
}

HFONT CreateFittingFont(int dpi) {
  HFONT font = CreateMessageFont(dpi);
  LOGFONTW shape{};
  ::GetObjectW(font, sizeof shape, &shape);
  const int floor = ScaleToDpi(kReadableFontPixels, dpi);
  // lfHeight < 0 is the character height, > 0 the cell height; either way smaller by one pixel a step.
  while (!AllCaptionsFit(font, dpi) && std::abs(shape.lfHeight) > floor) {
    shape.lfHeight += shape.lfHeight < 0 ? 1 : -1;
    shape.lfWidth = 0;
    ::DeleteObject(font);
    font = ::CreateFontIndirectW(&shape);
  }
  return font;
}

}  // namespace varnetik::win32
