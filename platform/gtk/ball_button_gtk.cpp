#include "platform/gtk/ball_button_gtk.h"

#include "config/mask_region.h"
#include "display/dib_image.h"

namespace {

// The classic button face colour, for a face whose picture is missing.
constexpr ColorRef kButtonFace = Rgb(212, 208, 200);
constexpr ColorRef kButtonHighlight = Rgb(255, 255, 255);
constexpr ColorRef kGrayText = Rgb(128, 128, 128);
constexpr ColorRef kTransparentMaskColor = Rgb(255, 255, 255);

void SetSourceColor(cairo_t* cr, ColorRef c) {
    cairo_set_source_rgb(cr, GetRValue(c) / 255.0, GetGValue(c) / 255.0, GetBValue(c) / 255.0);
}

CairoSurface LoadFace(std::uint16_t id) { return id != 0 ? LoadResourceSurface(id) : nullptr; }

}  // namespace

GtkBallButton::GtkBallButton(const BallButtonSkin& skin, Size fallbackSize)
    : skin_(skin), settings_(ClampImageSettings(skin.drawMode, skin.border, skin.focusMargin)), size_(fallbackSize) {
    normal_ = LoadFace(skin.normalId);
    pressed_ = LoadFace(skin.pressedId);
    over_ = LoadFace(skin.overId);
    focus_ = LoadFace(skin.focusId);
    disabled_ = LoadFace(DisabledImageSource(skin.normalId, skin.disabledId));

    if (skin.maskId != 0) {
        DibImage mask;
        if (mask.LoadFromResource(skin.maskId)) {
            shape_ = RegionRectsFromDib(mask, kTransparentMaskColor);
            if (settings_.drawMode == 0) size_ = Size{mask.GetWidth(), mask.GetHeight()};
        }
    }

    widget_ = gtk_drawing_area_new();
    g_object_ref_sink(widget_);
    gtk_widget_set_size_request(widget_, size_.cx, size_.cy);
    gtk_widget_set_can_focus(widget_, TRUE);
    gtk_widget_add_events(widget_, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK |
                                       GDK_ENTER_NOTIFY_MASK | GDK_LEAVE_NOTIFY_MASK | GDK_KEY_PRESS_MASK |
                                       GDK_KEY_RELEASE_MASK | GDK_FOCUS_CHANGE_MASK);
    gtk_widget_set_tooltip_text(widget_, skin.tooltip);
    gtk_widget_set_name(widget_, skin.caption);

    if (!shape_.empty()) {
        // The button's own window takes input only on the shape, so a press
        // on a corner outside it lands on the dialog below.
        cairo_region_t* region = cairo_region_create();
        for (const Rect& r : shape_) {
            const cairo_rectangle_int_t cr{r.left, r.top, r.Width(), r.Height()};
            cairo_region_union_rectangle(region, &cr);
        }
        gtk_widget_input_shape_combine_region(widget_, region);
        cairo_region_destroy(region);
    }

    AtkObject* accessible = gtk_widget_get_accessible(widget_);
    atk_object_set_role(accessible, ATK_ROLE_PUSH_BUTTON);
    atk_object_set_name(accessible, skin.caption);
    atk_object_set_description(accessible, skin.tooltip);

    g_signal_connect(widget_, "draw", G_CALLBACK(OnDraw), this);
    g_signal_connect(widget_, "button-press-event", G_CALLBACK(OnButtonPress), this);
    g_signal_connect(widget_, "button-release-event", G_CALLBACK(OnButtonRelease), this);
    g_signal_connect(widget_, "motion-notify-event", G_CALLBACK(OnMotion), this);
    g_signal_connect(widget_, "enter-notify-event", G_CALLBACK(OnEnter), this);
    g_signal_connect(widget_, "leave-notify-event", G_CALLBACK(OnLeave), this);
    g_signal_connect(widget_, "key-press-event", G_CALLBACK(OnKeyPress), this);
    g_signal_connect(widget_, "key-release-event", G_CALLBACK(OnKeyRelease), this);
    g_signal_connect(widget_, "focus-out-event", G_CALLBACK(OnFocusOut), this);
}

GtkBallButton::~GtkBallButton() {
    g_signal_handlers_disconnect_by_data(widget_, this);
    g_object_unref(widget_);
}

bool GtkBallButton::Inside(double x, double y) const {
    if (x < 0 || y < 0) return false;
    const int ix = static_cast<int>(x);
    const int iy = static_cast<int>(y);
    if (shape_.empty()) return ix < size_.cx && iy < size_.cy;
    return RegionContains(shape_, ix, iy);
}

ButtonFace GtkBallButton::CurrentFace() const {
    ButtonFaceState state;
    state.disabled = !gtk_widget_is_sensitive(widget_);
    state.selected = pushed_;
    state.mouseOver = mouseOver_;
    state.focused = gtk_widget_has_focus(widget_);
    ButtonImagesPresent present;
    present.normal = normal_ != nullptr;
    present.pressed = pressed_ != nullptr;
    present.over = over_ != nullptr;
    present.focus = focus_ != nullptr;
    present.disabled = disabled_ != nullptr;
    return SelectButtonFace(state, present);
}

void GtkBallButton::SetPushed(bool pushed) {
    if (pushed_ == pushed) return;
    pushed_ = pushed;
    gtk_widget_queue_draw(widget_);
}

void GtkBallButton::Click() {
    if (onClick_) onClick_();
}

void GtkBallButton::Draw(cairo_t* cr) {
    const int w = gtk_widget_get_allocated_width(widget_);
    const int h = gtk_widget_get_allocated_height(widget_);
    cairo_save(cr);
    if (!shape_.empty()) {
        for (const Rect& r : shape_) cairo_rectangle(cr, r.left, r.top, r.Width(), r.Height());
        cairo_clip(cr);
    }

    const ButtonFace face = CurrentFace();
    cairo_surface_t* picture = nullptr;
    switch (face) {
        case ButtonFace::kNormal: picture = normal_.get(); break;
        case ButtonFace::kPressed: picture = pressed_.get(); break;
        case ButtonFace::kOver: picture = over_.get(); break;
        case ButtonFace::kFocus: picture = focus_.get(); break;
        case ButtonFace::kDisabled: picture = disabled_.get(); break;
        case ButtonFace::kPlain: break;
    }
    if (picture == nullptr) {
        SetSourceColor(cr, kButtonFace);
        cairo_paint(cr);
    } else if (settings_.drawMode == 2) {
        cairo_pattern_t* tiles = cairo_pattern_create_for_surface(picture);
        cairo_pattern_set_extend(tiles, CAIRO_EXTEND_REPEAT);
        cairo_set_source(cr, tiles);
        cairo_paint(cr);
        cairo_pattern_destroy(tiles);
    } else if (settings_.drawMode == 1) {
        const int pw = cairo_image_surface_get_width(picture);
        const int ph = cairo_image_surface_get_height(picture);
        cairo_save(cr);
        cairo_scale(cr, static_cast<double>(w) / pw, static_cast<double>(h) / ph);
        cairo_set_source_surface(cr, picture, 0, 0);
        cairo_paint(cr);
        cairo_restore(cr);
    } else {
        cairo_set_source_surface(cr, picture, 0, 0);
        cairo_paint(cr);
    }

    // Keyboard users need to see where the focus is; it shows only once
    // the keyboard has been used, as GTK does for its own buttons.
    if (gtk_widget_has_visible_focus(widget_)) {
        const double inset = settings_.focusMargin > 0 ? settings_.focusMargin : 9;
        const double dash[] = {1.0, 1.0};
        cairo_set_dash(cr, dash, 2, 0);
        cairo_set_line_width(cr, 1.0);
        SetSourceColor(cr, skin_.captionColor);
        cairo_rectangle(cr, inset + 0.5, inset + 0.5, w - 2 * inset - 1, h - 2 * inset - 1);
        cairo_stroke(cr);
        cairo_set_dash(cr, nullptr, 0, 0);
    }

    const Rect t = CaptionRect(Rect{0, 0, w, h}, settings_.focusMargin, pushed_);
    PangoLayout* layout = gtk_widget_create_pango_layout(widget_, skin_.caption);
    int lw = 0, lh = 0;
    pango_layout_get_pixel_size(layout, &lw, &lh);
    const double x = t.left + (t.Width() - lw) / 2;
    const double y = t.top + (t.Height() - lh) / 2;
    if (face == ButtonFace::kDisabled || (face == ButtonFace::kPlain && !gtk_widget_is_sensitive(widget_))) {
        SetSourceColor(cr, kButtonHighlight);
        cairo_move_to(cr, x, y);
        pango_cairo_show_layout(cr, layout);
        SetSourceColor(cr, kGrayText);
        cairo_move_to(cr, x - 1, y - 1);
    } else {
        SetSourceColor(cr, skin_.captionColor);
        cairo_move_to(cr, x, y);
    }
    pango_cairo_show_layout(cr, layout);
    g_object_unref(layout);
    cairo_restore(cr);
}

gboolean GtkBallButton::OnDraw(GtkWidget*, cairo_t* cr, gpointer self) {
    static_cast<GtkBallButton*>(self)->Draw(cr);
    return TRUE;
}

gboolean GtkBallButton::OnButtonPress(GtkWidget*, GdkEventButton* event, gpointer self) {
    auto* b = static_cast<GtkBallButton*>(self);
    // The second press of a double click also arrives as a plain press.
    if (event->type != GDK_BUTTON_PRESS || event->button != GDK_BUTTON_PRIMARY) return FALSE;
    if (!b->Inside(event->x, event->y)) return FALSE;
    if (b->mouseOver_) b->mouseOver_ = false;
    gtk_widget_grab_focus(b->widget_);
    b->leftDown_ = true;
    b->SetPushed(true);
    gtk_widget_queue_draw(b->widget_);
    return TRUE;
}

gboolean GtkBallButton::OnButtonRelease(GtkWidget*, GdkEventButton* event, gpointer self) {
    auto* b = static_cast<GtkBallButton*>(self);
    if (event->button != GDK_BUTTON_PRIMARY || !b->leftDown_) return FALSE;
    b->leftDown_ = false;
    const bool click = b->Inside(event->x, event->y);
    b->SetPushed(false);
    if (click) b->Click();
    return TRUE;
}

gboolean GtkBallButton::OnMotion(GtkWidget*, GdkEventMotion* event, gpointer self) {
    auto* b = static_cast<GtkBallButton*>(self);
    const bool inside = b->Inside(event->x, event->y);
    if (b->leftDown_) {
        b->SetPushed(inside);
    } else if (inside != b->mouseOver_) {
        b->mouseOver_ = inside;
        gtk_widget_queue_draw(b->widget_);
    }
    return FALSE;
}

gboolean GtkBallButton::OnEnter(GtkWidget*, GdkEventCrossing* event, gpointer self) {
    // A pointer that jumps onto the shape may bring no motion of its own.
    auto* b = static_cast<GtkBallButton*>(self);
    if (b->leftDown_) {
        b->SetPushed(b->Inside(event->x, event->y));
    } else if (!b->mouseOver_ && b->Inside(event->x, event->y)) {
        b->mouseOver_ = true;
        gtk_widget_queue_draw(b->widget_);
    }
    return FALSE;
}

gboolean GtkBallButton::OnLeave(GtkWidget*, GdkEventCrossing* event, gpointer self) {
    auto* b = static_cast<GtkBallButton*>(self);
    if (b->leftDown_) b->SetPushed(b->Inside(event->x, event->y));
    if (b->mouseOver_) {
        b->mouseOver_ = false;
        gtk_widget_queue_draw(b->widget_);
    }
    return FALSE;
}

gboolean GtkBallButton::OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer self) {
    auto* b = static_cast<GtkBallButton*>(self);
    if (event->keyval != GDK_KEY_space && event->keyval != GDK_KEY_KP_Space) return FALSE;
    if (!b->leftDown_) {
        b->spaceDown_ = true;
        b->SetPushed(true);
    }
    return TRUE;
}

gboolean GtkBallButton::OnKeyRelease(GtkWidget*, GdkEventKey* event, gpointer self) {
    auto* b = static_cast<GtkBallButton*>(self);
    if ((event->keyval != GDK_KEY_space && event->keyval != GDK_KEY_KP_Space) || !b->spaceDown_) return FALSE;
    b->spaceDown_ = false;
    b->SetPushed(false);
    b->Click();
    return TRUE;
}

gboolean GtkBallButton::OnFocusOut(GtkWidget*, GdkEventFocus*, gpointer self) {
    auto* b = static_cast<GtkBallButton*>(self);
    b->leftDown_ = false;
    b->spaceDown_ = false;
    b->SetPushed(false);
    return FALSE;
}
