#pragma once
// The settings dialog of the Linux saver, built with GTK 3 from the same
// template, pictures and portable logic as the Windows dialog.

#include <gtk/gtk.h>

#include <memory>
#include <string>
#include <vector>

#include "app/startup.h"

#include "platform/gtk/ball_button_gtk.h"
#include "platform/gtk/dib_surface.h"

// Runs the dialog modally over `choice` (initialising GTK when the program
// has not). True when the user confirmed; `choice` then holds what was
// chosen. False after Cancel or Escape, or when no display can be opened;
// `choice` is then unchanged. `clubs` (ISO 8859-1) are offered in the Club
// field while the championship shown is the one the dialog started on; with
// none, or for another championship, the field is free text. With
// `activeParent` the dialog becomes transient for the window the window
// manager reports as active, when there is one. Bitmaps come from the
// installed resource store.
bool RunGtkSettingsDialog(bool activeParent, SettingsChoice& choice, const std::vector<std::string>& clubs);

// The dialog object behind RunGtkSettingsDialog, open for tests. GTK must be
// initialised before one is constructed.
class GtkSettingsDialog {
public:
    GtkSettingsDialog(bool activeParent, const SettingsChoice& choice, std::vector<std::string> clubs = {});
    ~GtkSettingsDialog();
    GtkSettingsDialog(const GtkSettingsDialog&) = delete;
    GtkSettingsDialog& operator=(const GtkSettingsDialog&) = delete;

    // Shows the window and runs until OK or Cancel; the window is hidden again
    // on return. True after OK, with what was chosen in `choice`.
    bool Run(SettingsChoice& choice);

    // What OK and Cancel do, whether by ball, key or window manager.
    void Confirm();
    void Cancel();

    GtkWindow* window() const { return GTK_WINDOW(window_); }
    GtkComboBoxText* list() const { return GTK_COMBO_BOX_TEXT(list_); }
    GtkComboBoxText* clubBox() const { return GTK_COMBO_BOX_TEXT(club_); }
    GtkTreeView* rotationList() const { return GTK_TREE_VIEW(rotation_); }
    GtkLabel* caption() const { return GTK_LABEL(caption_); }
    GtkLabel* info() const { return GTK_LABEL(info_); }
    GtkBallButton& okButton() { return *ok_; }
    GtkBallButton& cancelButton() { return *cancel_; }
    bool hasBackground() const { return background_ != nullptr; }
    // The code the dialog holds: the caller's until OK replaces it.
    const std::string& championship() const { return choice_.championship; }
    const SettingsChoice& choice() const { return choice_; }
    // Checks or unchecks the rotation's row at a list position, as a click does.
    void ToggleRotation(int position);

private:
    static gboolean OnDrawBackground(GtkWidget* widget, cairo_t* cr, gpointer self);
    static gboolean OnButton(GtkWidget* widget, GdkEventButton* event, gpointer self);
    static gboolean OnMotion(GtkWidget* widget, GdkEventMotion* event, gpointer self);
    static gboolean OnKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer self);
    static gboolean OnListKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer self);
    static gboolean OnDelete(GtkWidget* widget, GdkEvent* event, gpointer self);
    static void OnChampionshipChanged(GtkComboBox* list, gpointer self);
    static void OnRotationActivated(GtkTreeView* view, GtkTreePath* path, GtkTreeViewColumn* column, gpointer self);
    static gboolean OnRotationKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer self);
    void FillClubs();

    void MoveFocus(bool forward);
    void SetTransientForActiveWindow();
    void Finish(bool confirmed);

    bool activeParent_;
    SettingsChoice choice_;
    std::string startCode_;            // the championship the clubs belong to
    std::vector<std::string> clubs_;
    GtkWidget* window_ = nullptr;
    GtkWidget* fixed_ = nullptr;
    GtkWidget* list_ = nullptr;
    GtkWidget* caption_ = nullptr;
    GtkWidget* clubCaption_ = nullptr;
    GtkWidget* club_ = nullptr;
    GtkWidget* rotationCaption_ = nullptr;
    GtkWidget* rotationScroll_ = nullptr;
    GtkWidget* rotation_ = nullptr;
    GtkListStore* rotationStore_ = nullptr;
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
