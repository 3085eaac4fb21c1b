#pragma once
// A skinned push button in GTK: its faces are bitmaps chosen by state, its
// shape is the mask's region (input shape and clip), it lights up while the
// pointer is over the shape and clicks when a press is released on it.

#include <gtk/gtk.h>

#include <functional>
#include <vector>

#include "config/settings_logic.h"
#include "config/skinned_button_logic.h"
#include "display/geometry.h"
#include "platform/gtk/dib_surface.h"

class GtkBallButton {
public:
    // `fallbackSize` is the size the button keeps when it has no mask.
    GtkBallButton(const BallButtonSkin& skin, Size fallbackSize);
    ~GtkBallButton();
    GtkBallButton(const GtkBallButton&) = delete;
    GtkBallButton& operator=(const GtkBallButton&) = delete;

    GtkWidget* widget() const { return widget_; }
    void SetOnClick(std::function<void()> onClick) { onClick_ = std::move(onClick); }

    Size size() const { return size_; }
    // The mask's rectangles in button coordinates; empty without a mask.
    const std::vector<Rect>& shape() const { return shape_; }
    bool mouseOver() const { return mouseOver_; }
    bool pushed() const { return pushed_; }
    ButtonFace CurrentFace() const;

private:
    static gboolean OnDraw(GtkWidget*, cairo_t* cr, gpointer self);
    static gboolean OnButtonPress(GtkWidget*, GdkEventButton* event, gpointer self);
    static gboolean OnButtonRelease(GtkWidget*, GdkEventButton* event, gpointer self);
    static gboolean OnMotion(GtkWidget*, GdkEventMotion* event, gpointer self);
    static gboolean OnEnter(GtkWidget*, GdkEventCrossing* event, gpointer self);
    static gboolean OnLeave(GtkWidget*, GdkEventCrossing* event, gpointer self);
    static gboolean OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer self);
    static gboolean OnKeyRelease(GtkWidget*, GdkEventKey* event, gpointer self);
    static gboolean OnFocusOut(GtkWidget*, GdkEventFocus* event, gpointer self);

    bool Inside(double x, double y) const;
    void SetPushed(bool pushed);
    void Draw(cairo_t* cr);
    void Click();

    const BallButtonSkin& skin_;
    ButtonImageSettings settings_;
    GtkWidget* widget_ = nullptr;
    CairoSurface normal_, pressed_, over_, disabled_, focus_;
    std::vector<Rect> shape_;
    Size size_;
    bool mouseOver_ = false;
    bool leftDown_ = false;
    bool spaceDown_ = false;
    bool pushed_ = false;
    std::function<void()> onClick_;
};
