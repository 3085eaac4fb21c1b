#pragma once
// The settings dialog of the Linux saver, built with GTK 3 from the same
// template, pictures and portable logic as the Windows dialog.

#include <gtk/gtk.h>

#include <memory>
#include <string>

#include "platform/gtk/ball_button_gtk.h"
#include "platform/gtk/dib_surface.h"

// Runs the dialog modally over `championship` (initialising GTK when the
// program has not). True when the user confirmed; `championship` then holds
// the chosen code. False after Cancel or Escape, or when no display can be
// opened; `championship` is then unchanged. With `activeParent` the dialog
// becomes transient for the window the window manager reports as active,
// when there is one. Bitmaps come from the installed resource store.
bool RunGtkSettingsDialog(bool activeParent, std::string& championship);

// The dialog object behind RunGtkSettingsDialog, open for tests. GTK must be
// initialised before one is constructed.
class GtkSettingsDialog {
public:
    GtkSettingsDialog(bool activeParent, const std::string& championship);
    ~GtkSettingsDialog();
    GtkSettingsDialog(const GtkSettingsDialog&) = delete;
    GtkSettingsDialog& operator=(const GtkSettingsDialog&) = delete;

    // Shows the window and runs until OK or Cancel; the window is hidden again
    // on return. True after OK, with the choice in `championship`.
    bool Run(std::string& championship);

    // What OK and Cancel do, whether by ball, key or window manager.
    void Confirm();
    void Cancel();

    GtkWindow* window() const { return GTK_WINDOW(window_); }
    GtkComboBoxText* list() const { return GTK_COMBO_BOX_TEXT(list_); }
    GtkLabel* caption() const { return GTK_LABEL(caption_); }
    GtkLabel* info() const { return GTK_LABEL(info_); }
    GtkBallButton& okButton() { return *ok_; }
    GtkBallButton& cancelButton() { return *cancel_; }
    bool hasBackground() const { return background_ != nullptr; }
    // The code the dialog holds: the caller's until OK replaces it.
    const std::string& championship() const { return championship_; }

private:
    static gboolean OnDrawBackground(GtkWidget* widget, cairo_t* cr, gpointer self);
    static gboolean OnButton(GtkWidget* widget, GdkEventButton* event, gpointer self);
    static gboolean OnMotion(GtkWidget* widget, GdkEventMotion* event, gpointer self);
    static gboolean OnKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer self);
    static gboolean OnListKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer self);
    static gboolean OnDelete(GtkWidget* widget, GdkEvent* event, gpointer self);

    void MoveFocus(bool forward);
    void SetTransientForActiveWindow();
    void Finish(bool confirmed);

    bool activeParent_;
    std::string championship_;
    GtkWidget* window_ = nullptr;
    GtkWidget* fixed_ = nullptr;
    GtkWidget* list_ = nullptr;
    GtkWidget* caption_ = nullptr;
    GtkWidget* info_ = nullptr;
    std::unique_ptr<GtkBallButton> ok_;
    std::unique_ptr<GtkBallButton> cancel_;
    CairoSurface background_;
    GdkWindow* transientParent_ = nullptr;
    GMainLoop* loop_ = nullptr;
    bool confirmed_ = false;
    bool pressed_ = false;  // the left button is down on the dialog's own window
    Point pressRoot_;
};
