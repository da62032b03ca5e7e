// CVelaButton: a push button drawn from three bitmap faces (normal, under the mouse, pressed
// under the mouse) with its caption centred on one line. Clicks stay the platform's own.
#pragma once

#include "framework/controls.h"
#include "framework/handles.h"

class CVelaButton : public kivo::CButton {
 public:
  CVelaButton() = default;

  // Loads the faces from the module's bitmap resources, each into a memory device context
  // of its own. May run before the window exists; a face that fails to load draws nothing.
  void LoadFaces(UINT normalId, UINT hoverId, UINT pressedId);

  bool IsMouseOver() const { return m_bMouseOver; }
  bool IsPressed() const { return m_bPressed; }

 protected:
  void PreSubclassWindow() override;
  bool DrawItem(const DRAWITEMSTRUCT& item) override;
  LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

 private:
  struct Face {
    kivo::MemoryBitmap picture;
    int width = 0;
    int height = 0;
    void Load(UINT id);
  };

  // The face at the rectangle's top-left corner, unscaled; a rectangle larger than the face
  // (a pixel or two at some font sizes) gets the face's last column and row stretched over
  // the rest instead of whatever lies outside the bitmap.
  static void DrawFace(HDC dc, const RECT& rect, const Face& face);
  void TrackMouse();
  void Repaint();

  bool m_bMouseOver = false;
  bool m_bPressed = false;
  Face m_normal;
  Face m_hover;
  Face m_pressed;
};
