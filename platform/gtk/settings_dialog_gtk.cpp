#include "platform/gtk/settings_dialog_gtk.h"

#include <gdk/gdkx.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>

#include "app/association_table.h"
#include "app/latin1.h"
#include "config/backdrop_layout.h"
#include "config/dialog_template.h"
#include "config/settings_logic.h"
#include "res/embedded_resources.h"

namespace {

// The widget name the dialog's style rules are scoped to.
constexpr char kDialogName[] = "scorvane-settings";

// The dialog font: MS Sans Serif 8 points where a system has it, else the
// metric-compatible sans face Debian ships. Its base units are taken as the
// Windows dialog manager's for MS Sans Serif (6 x 13), so that every control
// lands on the pixel the Windows dialog puts it on. The list keeps a
// compact frame so that it stays near the Windows control's height.
constexpr char kDialogCss[] =
    "#scorvane-settings { font-family: \"MS Sans Serif\", \"Liberation Sans\", sans-serif; font-size: 8pt; }\n"
    "#scorvane-settings combobox button { min-height: 0; padding: 1px 4px; }\n"
    "#scorvane-settings combobox entry { min-height: 0; padding-top: 1px; padding-bottom: 1px; }\n"
    "#scorvane-settings treeview { padding: 0; }\n";

void InstallDialogStyle() {
    static bool installed = false;
    if (installed) return;
    GdkScreen* screen = gdk_screen_get_default();
    if (screen == nullptr) return;
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, kDialogCss, -1, nullptr);
    gtk_style_context_add_provider_for_screen(screen, GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
    installed = true;
}

// A bold label in one colour that paints no background of its own.
GtkWidget* MakeColourLabel(const std::string& text, ColorRef colour) {
    GtkWidget* label = gtk_label_new(Latin1ToUtf8(text).c_str());
    PangoAttrList* attrs = pango_attr_list_new();
    pango_attr_list_insert(attrs, pango_attr_foreground_new(static_cast<guint16>(GetRValue(colour) * 257),
                                                            static_cast<guint16>(GetGValue(colour) * 257),
                                                            static_cast<guint16>(GetBValue(colour) * 257)));
    pango_attr_list_insert(attrs, pango_attr_weight_new(PANGO_WEIGHT_BOLD));
    gtk_label_set_attributes(GTK_LABEL(label), attrs);
    pango_attr_list_unref(attrs);
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    gtk_label_set_yalign(GTK_LABEL(label), 0.0f);
    gtk_label_set_justify(GTK_LABEL(label), GTK_JUSTIFY_LEFT);
    return label;
}

Rect TemplateRect(int id) {
    return ControlRectInPixels(*FindTemplateControl(id), kDialogBaseUnitX, kDialogBaseUnitY);
}

Size TemplateSize(int id) {
    const Rect r = TemplateRect(id);
    return Size{r.Width(), r.Height()};
}

unsigned KeyFlags(guint state) {
    unsigned flags = 0;
    if (state & GDK_BUTTON1_MASK) flags |= kMkLButton;
    if (state & GDK_BUTTON2_MASK) flags |= kMkMButton;
    if (state & GDK_BUTTON3_MASK) flags |= kMkRButton;
    if (state & GDK_SHIFT_MASK) flags |= kMkShift;
    if (state & GDK_CONTROL_MASK) flags |= kMkControl;
    return flags;
}

// The window the window manager reports as active, as a foreign window;
// null when there is none or the display is not X11.
GdkWindow* ActiveWindow(GdkDisplay* display, Window self) {
    if (!GDK_IS_X11_DISPLAY(display)) return nullptr;
    Display* xdisplay = GDK_DISPLAY_XDISPLAY(display);
    const Atom property = gdk_x11_get_xatom_by_name_for_display(display, "_NET_ACTIVE_WINDOW");
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    gdk_x11_display_error_trap_push(display);
    const int status = XGetWindowProperty(xdisplay, gdk_x11_get_default_root_xwindow(), property, 0, 1, False,
                                          XA_WINDOW, &type, &format, &count, &after, &data);
    Window active = None;
    if (status == Success && type == XA_WINDOW && format == 32 && count == 1 && data != nullptr) {
        active = static_cast<Window>(reinterpret_cast<unsigned long*>(data)[0]);
    }
    if (data != nullptr) XFree(data);
    GdkWindow* foreign = nullptr;
    if (active != None && active != self) foreign = gdk_x11_window_foreign_new_for_display(display, active);
    gdk_x11_display_error_trap_pop_ignored(display);
    return foreign;
}

// Both images of icon 128, for the window manager to pick from.
void SetWindowIcons(GtkWindow* window) {
    GList* icons = nullptr;
    for (int size : {32, 16}) {
        std::vector<std::uint32_t> argb;
        if (!GetIconArgb(size, argb)) continue;
        GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, size, size);
        if (pixbuf == nullptr) continue;
        guchar* data = gdk_pixbuf_get_pixels(pixbuf);
        const int stride = gdk_pixbuf_get_rowstride(pixbuf);
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const std::uint32_t v = argb[static_cast<std::size_t>(y * size + x)];
                guchar* p = data + y * stride + 4 * x;
                p[0] = static_cast<guchar>(v >> 16);
                p[1] = static_cast<guchar>(v >> 8);
                p[2] = static_cast<guchar>(v);
                p[3] = static_cast<guchar>(v >> 24);
            }
        }
        icons = g_list_append(icons, pixbuf);
    }
    if (icons != nullptr) gtk_window_set_icon_list(window, icons);
    g_list_free_full(icons, g_object_unref);
}

}  // namespace

GtkSettingsDialog::GtkSettingsDialog(bool activeParent, const SettingsChoice& choice, std::vector<std::string> clubs)
    : activeParent_(activeParent), choice_(choice), startCode_(choice.championship), clubs_(std::move(clubs)) {
    InstallDialogStyle();

    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    g_object_ref_sink(window_);
    gtk_widget_set_name(window_, kDialogName);
    gtk_window_set_title(GTK_WINDOW(window_), kSettingsDialogCaption);
    gtk_window_set_resizable(GTK_WINDOW(window_), FALSE);
    gtk_window_set_deletable(GTK_WINDOW(window_), FALSE);
    gtk_window_set_type_hint(GTK_WINDOW(window_), GDK_WINDOW_TYPE_HINT_DIALOG);
    gtk_window_set_position(GTK_WINDOW(window_), GTK_WIN_POS_CENTER);
    gtk_widget_add_events(window_, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK);

    SetWindowIcons(GTK_WINDOW(window_));

    const Size client = DialogSizeInPixels(kDialogBaseUnitX, kDialogBaseUnitY);
    fixed_ = gtk_fixed_new();
    gtk_widget_set_size_request(fixed_, client.cx, client.cy);
    gtk_container_add(GTK_CONTAINER(window_), fixed_);
    background_ = LoadResourceSurface(kStadiumBitmapId);
    g_signal_connect(fixed_, "draw", G_CALLBACK(OnDrawBackground), this);

    // Children in template order, which is the tab order as well.
    ok_ = std::make_unique<GtkBallButton>(kOkButtonSkin, TemplateSize(kIdOk));
    cancel_ = std::make_unique<GtkBallButton>(kCancelButtonSkin, TemplateSize(kIdCancel));
    for (GtkBallButton* b : {ok_.get(), cancel_.get()}) {
        const Rect r = TemplateRect(b == ok_.get() ? kIdOk : kIdCancel);
        gtk_fixed_put(GTK_FIXED(fixed_), b->widget(), r.left, r.top);
    }
    ok_->SetOnClick([this] { Confirm(); });
    cancel_->SetOnClick([this] { Cancel(); });

    const Rect infoRect = TemplateRect(kIdInfoLabel);
    info_ = MakeColourLabel(InfoBlockText(), kInfoTextColor);
    gtk_label_set_line_wrap(GTK_LABEL(info_), TRUE);
    gtk_widget_set_size_request(info_, infoRect.Width(), infoRect.Height());
    gtk_fixed_put(GTK_FIXED(fixed_), info_, infoRect.left, infoRect.top);

    // The template's list height includes the dropped-down part, which GTK
    // sizes itself; only the width is taken.
    const Rect listRect = TemplateRect(kIdChampionshipList);
    list_ = gtk_combo_box_text_new();
    for (const AssociationEntry* e = AssociationTable; e->name != nullptr; ++e) {
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(list_), Latin1ToUtf8(e->name).c_str());
    }
    gtk_combo_box_set_active(GTK_COMBO_BOX(list_), PositionForCode(choice_.championship));
    // The closed list keeps the template's width, as the Windows control
    // does: long names are cut short there, not the list widened.
    GList* cells = gtk_cell_layout_get_cells(GTK_CELL_LAYOUT(list_));
    for (GList* c = cells; c != nullptr; c = c->next) {
        if (GTK_IS_CELL_RENDERER_TEXT(c->data)) g_object_set(c->data, "ellipsize", PANGO_ELLIPSIZE_END, nullptr);
    }
    g_list_free(cells);
    gtk_widget_set_size_request(list_, listRect.Width(), -1);
    gtk_fixed_put(GTK_FIXED(fixed_), list_, listRect.left, listRect.top);
    g_signal_connect(list_, "key-press-event", G_CALLBACK(OnListKeyPress), this);

    const Rect captionRect = TemplateRect(kIdChampionshipLabel);
    caption_ = MakeColourLabel(kChampionshipCaption, kChampionshipCaptionColor);
    gtk_widget_set_size_request(caption_, captionRect.Width(), captionRect.Height());
    gtk_fixed_put(GTK_FIXED(fixed_), caption_, captionRect.left, captionRect.top);
    gtk_label_set_mnemonic_widget(GTK_LABEL(caption_), list_);

    // The club: the clubs of the table in hand to pick from, or any text.
    const Rect clubCaptionRect = TemplateRect(kIdClubLabel);
    clubCaption_ = MakeColourLabel(kClubCaption, kChampionshipCaptionColor);
    gtk_widget_set_size_request(clubCaption_, clubCaptionRect.Width(), clubCaptionRect.Height());
    gtk_fixed_put(GTK_FIXED(fixed_), clubCaption_, clubCaptionRect.left, clubCaptionRect.top);
    const Rect clubRect = TemplateRect(kIdClubBox);
    club_ = gtk_combo_box_text_new_with_entry();
    gtk_entry_set_width_chars(GTK_ENTRY(gtk_bin_get_child(GTK_BIN(club_))), 1);
    gtk_widget_set_size_request(club_, clubRect.Width(), -1);
    gtk_fixed_put(GTK_FIXED(fixed_), club_, clubRect.left, clubRect.top);
    FillClubs();
    gtk_entry_set_text(GTK_ENTRY(gtk_bin_get_child(GTK_BIN(club_))), Latin1ToUtf8(choice_.team).c_str());
    gtk_label_set_mnemonic_widget(GTK_LABEL(clubCaption_), club_);
    g_signal_connect(list_, "changed", G_CALLBACK(OnChampionshipChanged), this);

    // The rotation: every association with a check box, in the list's order.
    const Rect rotationCaptionRect = TemplateRect(kIdRotationLabel);
    rotationCaption_ = MakeColourLabel(kRotationCaption, kChampionshipCaptionColor);
    gtk_widget_set_size_request(rotationCaption_, rotationCaptionRect.Width(), rotationCaptionRect.Height());
    gtk_fixed_put(GTK_FIXED(fixed_), rotationCaption_, rotationCaptionRect.left, rotationCaptionRect.top);
    rotationStore_ = gtk_list_store_new(2, G_TYPE_BOOLEAN, G_TYPE_STRING);
    const std::vector<int> checked = PositionsForRotation(choice_.rotation);
    for (int i = 0; AssociationTable[i].name != nullptr; ++i) {
        GtkTreeIter row;
        gtk_list_store_append(rotationStore_, &row);
        const bool on = std::find(checked.begin(), checked.end(), i) != checked.end();
        gtk_list_store_set(rotationStore_, &row, 0, on ? TRUE : FALSE, 1, Latin1ToUtf8(AssociationTable[i].name).c_str(),
                           -1);
    }
    rotation_ = gtk_tree_view_new_with_model(GTK_TREE_MODEL(rotationStore_));
    gtk_tree_view_set_headers_visible(GTK_TREE_VIEW(rotation_), FALSE);
    gtk_tree_view_set_enable_search(GTK_TREE_VIEW(rotation_), FALSE);
    gtk_tree_view_set_activate_on_single_click(GTK_TREE_VIEW(rotation_), TRUE);
    gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(rotation_), -1, "", gtk_cell_renderer_toggle_new(),
                                                "active", 0, nullptr);
    // Long names are cut short, as in the championship list, so that the
    // list keeps the template's width.
    GtkCellRenderer* name = gtk_cell_renderer_text_new();
    g_object_set(name, "ellipsize", PANGO_ELLIPSIZE_END, "ypad", 0, nullptr);
    gtk_tree_view_insert_column_with_attributes(GTK_TREE_VIEW(rotation_), -1, "", name, "text", 1, nullptr);
    rotationScroll_ = gtk_scrolled_window_new(nullptr, nullptr);
    gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(rotationScroll_), GTK_POLICY_EXTERNAL, GTK_POLICY_ALWAYS);
    gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(rotationScroll_), GTK_SHADOW_IN);
    gtk_container_add(GTK_CONTAINER(rotationScroll_), rotation_);
    const Rect rotationRect = TemplateRect(kIdRotationList);
    gtk_widget_set_size_request(rotationScroll_, rotationRect.Width(), rotationRect.Height());
    gtk_fixed_put(GTK_FIXED(fixed_), rotationScroll_, rotationRect.left, rotationRect.top);
    gtk_label_set_mnemonic_widget(GTK_LABEL(rotationCaption_), rotation_);
    if (!checked.empty()) {
        // The first league checked is in view, and the cursor on it.
        GtkTreePath* first = gtk_tree_path_new_from_indices(checked.front(), -1);
        gtk_tree_view_set_cursor(GTK_TREE_VIEW(rotation_), first, nullptr, FALSE);
        gtk_tree_view_scroll_to_cell(GTK_TREE_VIEW(rotation_), first, nullptr, TRUE, 0.0f, 0.0f);
        gtk_tree_path_free(first);
    }
    g_signal_connect(rotation_, "row-activated", G_CALLBACK(OnRotationActivated), this);
    g_signal_connect(rotation_, "key-press-event", G_CALLBACK(OnRotationKeyPress), this);

    g_signal_connect(window_, "button-press-event", G_CALLBACK(OnButton), this);
    g_signal_connect(window_, "button-release-event", G_CALLBACK(OnButton), this);
    g_signal_connect(window_, "motion-notify-event", G_CALLBACK(OnMotion), this);
    g_signal_connect(window_, "key-press-event", G_CALLBACK(OnKeyPress), this);
    g_signal_connect(window_, "delete-event", G_CALLBACK(OnDelete), this);

    gtk_widget_show_all(fixed_);
    gtk_window_set_focus(GTK_WINDOW(window_), ok_->widget());
}

GtkSettingsDialog::~GtkSettingsDialog() {
    g_signal_handlers_disconnect_by_data(window_, this);
    g_signal_handlers_disconnect_by_data(fixed_, this);
    g_signal_handlers_disconnect_by_data(list_, this);
    g_signal_handlers_disconnect_by_data(rotation_, this);
    gtk_widget_destroy(window_);
    g_object_unref(rotationStore_);
    g_object_unref(window_);
    if (transientParent_ != nullptr) g_object_unref(transientParent_);
    if (loop_ != nullptr) g_main_loop_unref(loop_);
}

bool GtkSettingsDialog::Run(SettingsChoice& choice) {
    confirmed_ = false;
    gtk_widget_realize(window_);
    if (activeParent_) SetTransientForActiveWindow();
    if (loop_ == nullptr) loop_ = g_main_loop_new(nullptr, FALSE);
    gtk_window_present(GTK_WINDOW(window_));
    g_main_loop_run(loop_);
    gtk_widget_hide(window_);
    // Let the server see the window go before the caller carries on.
    GdkDisplay* display = gtk_widget_get_display(window_);
    if (display != nullptr) gdk_display_flush(display);
    if (confirmed_) choice = choice_;
    return confirmed_;
}

void GtkSettingsDialog::Finish(bool confirmed) {
    confirmed_ = confirmed;
    if (loop_ != nullptr && g_main_loop_is_running(loop_)) g_main_loop_quit(loop_);
}

void GtkSettingsDialog::Confirm() {
    // A list without a selection keeps the code the dialog was given.
    CodeForPosition(gtk_combo_box_get_active(GTK_COMBO_BOX(list_)), choice_.championship);
    // The board's text is ISO 8859-1.
    choice_.team =
        TeamFromClubField(TransliterateToLatin1(gtk_entry_get_text(GTK_ENTRY(gtk_bin_get_child(GTK_BIN(club_))))));
    std::vector<int> checked;
    GtkTreeIter row;
    int position = 0;
    for (gboolean more = gtk_tree_model_get_iter_first(GTK_TREE_MODEL(rotationStore_), &row); more;
         more = gtk_tree_model_iter_next(GTK_TREE_MODEL(rotationStore_), &row), ++position) {
        gboolean on = FALSE;
        gtk_tree_model_get(GTK_TREE_MODEL(rotationStore_), &row, 0, &on, -1);
        if (on) checked.push_back(position);
    }
    choice_.rotation = RotationForPositions(checked, choice_.rotation);
    Finish(true);
}

void GtkSettingsDialog::ToggleRotation(int position) {
    GtkTreeIter row;
    if (!gtk_tree_model_iter_nth_child(GTK_TREE_MODEL(rotationStore_), &row, nullptr, position)) return;
    gboolean on = FALSE;
    gtk_tree_model_get(GTK_TREE_MODEL(rotationStore_), &row, 0, &on, -1);
    gtk_list_store_set(rotationStore_, &row, 0, on ? FALSE : TRUE, -1);
}

void GtkSettingsDialog::FillClubs() {
    gtk_combo_box_text_remove_all(GTK_COMBO_BOX_TEXT(club_));
    std::string code = choice_.championship;
    CodeForPosition(gtk_combo_box_get_active(GTK_COMBO_BOX(list_)), code);
    if (code != startCode_) return;
    for (const std::string& club : clubs_)
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(club_), Latin1ToUtf8(club).c_str());
}

void GtkSettingsDialog::OnChampionshipChanged(GtkComboBox*, gpointer self) {
    static_cast<GtkSettingsDialog*>(self)->FillClubs();
}

void GtkSettingsDialog::OnRotationActivated(GtkTreeView*, GtkTreePath* path, GtkTreeViewColumn*, gpointer self) {
    const gint* indices = gtk_tree_path_get_indices(path);
    if (indices != nullptr) static_cast<GtkSettingsDialog*>(self)->ToggleRotation(indices[0]);
}

gboolean GtkSettingsDialog::OnRotationKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer self) {
    if (event->keyval != GDK_KEY_space && event->keyval != GDK_KEY_KP_Space) return FALSE;
    GtkTreePath* path = nullptr;
    gtk_tree_view_get_cursor(GTK_TREE_VIEW(widget), &path, nullptr);
    if (path == nullptr) return TRUE;
    OnRotationActivated(GTK_TREE_VIEW(widget), path, nullptr, self);
    gtk_tree_path_free(path);
    return TRUE;
}

void GtkSettingsDialog::Cancel() { Finish(false); }

void GtkSettingsDialog::SetTransientForActiveWindow() {
    GdkWindow* own = gtk_widget_get_window(window_);
    if (own == nullptr || !GDK_IS_X11_WINDOW(own)) return;
    GdkWindow* active = ActiveWindow(gtk_widget_get_display(window_), GDK_WINDOW_XID(own));
    if (active == nullptr) return;
    gdk_window_set_transient_for(own, active);
    if (transientParent_ != nullptr) g_object_unref(transientParent_);
    transientParent_ = active;
}

void GtkSettingsDialog::MoveFocus(bool forward) {
    GtkWidget* order[] = {ok_->widget(), cancel_->widget(), list_, club_, rotation_};
    constexpr int n = 5;
    GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(window_));
    int current = -1;
    for (int i = 0; i < n; ++i) {
        if (focus != nullptr && (focus == order[i] || gtk_widget_is_ancestor(focus, order[i]))) current = i;
    }
    const int next = current < 0 ? 0 : (current + (forward ? 1 : n - 1)) % n;
    gtk_window_set_focus_visible(GTK_WINDOW(window_), TRUE);
    gtk_widget_grab_focus(order[next]);
}

gboolean GtkSettingsDialog::OnDrawBackground(GtkWidget* widget, cairo_t* cr, gpointer self) {
    auto* d = static_cast<GtkSettingsDialog*>(self);
    if (!d->background_) return FALSE;
    const Size client{gtk_widget_get_allocated_width(widget), gtk_widget_get_allocated_height(widget)};
    const Size picture{cairo_image_surface_get_width(d->background_.get()),
                       cairo_image_surface_get_height(d->background_.get())};
    const Point at = CentredPicturePosition(client, picture);
    cairo_save(cr);
    cairo_rectangle(cr, at.x, at.y, picture.cx, picture.cy);
    cairo_clip(cr);
    cairo_set_source_surface(cr, d->background_.get(), at.x, at.y);
    cairo_paint(cr);
    cairo_restore(cr);
    return FALSE;
}

gboolean GtkSettingsDialog::OnButton(GtkWidget* widget, GdkEventButton* event, gpointer self) {
    auto* d = static_cast<GtkSettingsDialog*>(self);
    if (event->window != gtk_widget_get_window(widget) || event->button != GDK_BUTTON_PRIMARY) return FALSE;
    d->pressed_ = event->type == GDK_BUTTON_PRESS;
    d->pressRoot_ = Point{static_cast<std::int32_t>(event->x_root), static_cast<std::int32_t>(event->y_root)};
    return FALSE;
}

gboolean GtkSettingsDialog::OnMotion(GtkWidget* widget, GdkEventMotion* event, gpointer self) {
    auto* d = static_cast<GtkSettingsDialog*>(self);
    // Only moves over the dialog's own window arrive here: the picture, the
    // labels on it and the corners of the balls outside their shape.
    if (event->window != gtk_widget_get_window(widget)) return FALSE;
    if (!StartsBackdropDrag(KeyFlags(event->state))) return FALSE;
    // The move counts from where the button went down, so that the point
    // grabbed stays under the pointer.
    const Point from = d->pressed_ ? d->pressRoot_
                                   : Point{static_cast<std::int32_t>(event->x_root),
                                           static_cast<std::int32_t>(event->y_root)};
    d->pressed_ = false;
    gtk_window_begin_move_drag(GTK_WINDOW(widget), GDK_BUTTON_PRIMARY, from.x, from.y, event->time);
    return TRUE;
}

gboolean GtkSettingsDialog::OnKeyPress(GtkWidget*, GdkEventKey* event, gpointer self) {
    auto* d = static_cast<GtkSettingsDialog*>(self);
    switch (event->keyval) {
        case GDK_KEY_Return:
        case GDK_KEY_KP_Enter:
        case GDK_KEY_ISO_Enter:
            d->Confirm();
            return TRUE;
        case GDK_KEY_Escape:
            d->Cancel();
            return TRUE;
        case GDK_KEY_Tab:
        case GDK_KEY_KP_Tab:
            d->MoveFocus((event->state & GDK_SHIFT_MASK) == 0);
            return TRUE;
        case GDK_KEY_ISO_Left_Tab:
            d->MoveFocus(false);
            return TRUE;
        default:
            return FALSE;
    }
}

gboolean GtkSettingsDialog::OnListKeyPress(GtkWidget*, GdkEventKey* event, gpointer self) {
    auto* d = static_cast<GtkSettingsDialog*>(self);
    if (event->state & (GDK_CONTROL_MASK | GDK_MOD1_MASK)) return FALSE;
    const gunichar c = gdk_keyval_to_unicode(event->keyval);
    if (c <= 0x20 || c >= 0x7F) return FALSE;
    GtkComboBox* list = GTK_COMBO_BOX(d->list_);
    const int position = PositionForTypedCharacter(gtk_combo_box_get_active(list), static_cast<char>(c));
    if (position >= 0) gtk_combo_box_set_active(list, position);
    return TRUE;
}

gboolean GtkSettingsDialog::OnDelete(GtkWidget*, GdkEvent*, gpointer self) {
    static_cast<GtkSettingsDialog*>(self)->Cancel();
    return TRUE;
}

bool RunGtkSettingsDialog(bool activeParent, SettingsChoice& choice, const std::vector<std::string>& clubs) {
    if (!gtk_init_check(nullptr, nullptr)) return false;
    GtkSettingsDialog dialog(activeParent, choice, clubs);
    return dialog.Run(choice);
}
