// The GTK settings dialog's widgets on a real X server: what the list holds
// and selects, what OK and Cancel leave in the dialog, and where every control
// sits once the window is shown.
#include <gtk/gtk.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

#include "app/association_table.h"
#include "app/product.h"
#include "config/settings_logic.h"
#include "platform/gtk/settings_dialog_gtk.h"
#include "res/embedded_resources.h"

namespace {

void Drain() {
    while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
}

int Active(GtkSettingsDialog& d) { return gtk_combo_box_get_active(GTK_COMBO_BOX(d.list())); }

std::string ActiveText(GtkSettingsDialog& d) {
    gchar* text = gtk_combo_box_text_get_active_text(d.list());
    std::string out = text ? text : "";
    g_free(text);
    return out;
}

// Position of a widget inside the dialog's client area.
GdkRectangle Placement(GtkSettingsDialog& d, GtkWidget* w) {
    GtkWidget* client = gtk_bin_get_child(GTK_BIN(d.window()));
    int x = 0, y = 0;
    gtk_widget_translate_coordinates(w, client, 0, 0, &x, &y);
    return GdkRectangle{x, y, gtk_widget_get_allocated_width(w), gtk_widget_get_allocated_height(w)};
}

TEST(GtkSettingsDialog, ListHoldsEveryNameInTableOrder) {
    GtkSettingsDialog d(false, SettingsChoice{"ger"});
    GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(d.list()));
    ASSERT_EQ(gtk_tree_model_iter_n_children(model, nullptr), 167);
    GtkTreeIter it;
    int i = 0;
    for (gboolean ok = gtk_tree_model_get_iter_first(model, &it); ok; ok = gtk_tree_model_iter_next(model, &it), ++i) {
        gchar* name = nullptr;
        gtk_tree_model_get(model, &it, 0, &name, -1);
        EXPECT_STREQ(name, AssociationTable[i].name) << i;
        g_free(name);
    }
    EXPECT_EQ(i, 167);
}

TEST(GtkSettingsDialog, SelectionIsTheExactCodeElseAlbania) {
    struct Case {
        const char* code;
        int position;
        const char* name;
    };
    const Case cases[] = {
        {"ger", 58, "Germany"}, {"usa", 159, "USA"}, {"zim", 166, "Zimbabwe"}, {"mkd", 54, "FYR Macedonia"},
        {"GER", 0, "Albania"},  {"", 0, "Albania"},  {"xyz", 0, "Albania"},
    };
    for (const Case& c : cases) {
        GtkSettingsDialog d(false, SettingsChoice{c.code});
        EXPECT_EQ(Active(d), c.position) << c.code;
        EXPECT_EQ(ActiveText(d), c.name) << c.code;
    }
}

TEST(GtkSettingsDialog, OkReadsThePositionCancelKeepsTheCode) {
    {
        GtkSettingsDialog d(false, SettingsChoice{"ger"});
        gtk_combo_box_set_active(GTK_COMBO_BOX(d.list()), 159);
        d.Cancel();
        EXPECT_EQ(d.championship(), "ger");
        d.Confirm();
        EXPECT_EQ(d.championship(), "usa");
    }
    {
        GtkSettingsDialog d(false, SettingsChoice{"GER"});
        d.Confirm();
        EXPECT_EQ(d.championship(), "alb");
    }
    {
        // With no selection OK reads nothing and keeps what it was given.
        GtkSettingsDialog d(false, SettingsChoice{"GER"});
        gtk_combo_box_set_active(GTK_COMBO_BOX(d.list()), -1);
        d.Confirm();
        EXPECT_EQ(d.championship(), "GER");
    }
}

TEST(GtkSettingsDialog, TypedLettersStepThroughTheNames) {
    GtkSettingsDialog d(false, SettingsChoice{"ger"});
    gtk_widget_show(GTK_WIDGET(d.window()));
    Drain();
    gtk_widget_grab_focus(GTK_WIDGET(d.list()));
    GdkEvent* key = gdk_event_new(GDK_KEY_PRESS);
    key->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(GTK_WIDGET(d.window()))));
    key->key.keyval = GDK_KEY_u;
    gdk_event_set_device(key, gdk_seat_get_keyboard(gdk_display_get_default_seat(gdk_display_get_default())));
    const int expected[] = {155, 156, 157, 158, 159};
    for (int want : expected) {
        gboolean handled = FALSE;
        g_signal_emit_by_name(d.list(), "key-press-event", key, &handled);
        EXPECT_TRUE(handled);
        EXPECT_EQ(Active(d), want);
    }
    gdk_event_free(key);
    EXPECT_EQ(ActiveText(d), "USA");
}

TEST(GtkSettingsDialog, WindowAndControlsFollowTheTemplate) {
    GtkSettingsDialog d(false, SettingsChoice{"ger"});
    GtkWindow* w = d.window();
    EXPECT_STREQ(gtk_window_get_title(w), "Settings");
    EXPECT_FALSE(gtk_window_get_resizable(w));
    EXPECT_FALSE(gtk_window_get_deletable(w));
    EXPECT_EQ(gtk_window_get_type_hint(w), GDK_WINDOW_TYPE_HINT_DIALOG);
    EXPECT_TRUE(d.hasBackground());
    EXPECT_NE(gtk_window_get_icon(w), nullptr);

    gtk_widget_show(GTK_WIDGET(w));
    Drain();
    GtkWidget* client = gtk_bin_get_child(GTK_BIN(w));
    EXPECT_EQ(gtk_widget_get_allocated_width(client), 504);
    EXPECT_EQ(gtk_widget_get_allocated_height(client), 377);

    const GdkRectangle ok = Placement(d, d.okButton().widget());
    const GdkRectangle cancel = Placement(d, d.cancelButton().widget());
    EXPECT_EQ((std::array<int, 4>{ok.x, ok.y, ok.width, ok.height}), (std::array<int, 4>{441, 8, 46, 46}));
    EXPECT_EQ((std::array<int, 4>{cancel.x, cancel.y, cancel.width, cancel.height}),
              (std::array<int, 4>{441, 163, 46, 46}));
    const GdkRectangle list = Placement(d, GTK_WIDGET(d.list()));
    EXPECT_EQ(list.x, 293);
    EXPECT_EQ(list.y, 23);
    EXPECT_EQ(list.width, 140);
    const GdkRectangle caption = Placement(d, GTK_WIDGET(d.caption()));
    EXPECT_EQ(caption.x, 293);
    EXPECT_EQ(caption.y, 10);
    const GdkRectangle info = Placement(d, GTK_WIDGET(d.info()));
    EXPECT_EQ(info.x, 8);
    EXPECT_EQ(info.y, 154);
    EXPECT_GE(info.width, 263);

    // The OK ball has the focus first.
    EXPECT_EQ(gtk_window_get_focus(w), d.okButton().widget());
}

TEST(GtkSettingsDialog, BallsAreShapedByTheMaskAndCarryTheirTooltips) {
    GtkSettingsDialog d(false, SettingsChoice{"ger"});
    for (GtkBallButton* b : {&d.okButton(), &d.cancelButton()}) {
        EXPECT_EQ(b->size(), (Size{46, 46}));
        ASSERT_EQ(b->shape().size(), 45u);
        // One rectangle per row from the bottom row up, the top row empty.
        for (std::size_t i = 0; i < b->shape().size(); ++i) {
            EXPECT_EQ(b->shape()[i].top, 45 - static_cast<int>(i));
            EXPECT_EQ(b->shape()[i].Height(), 1);
        }
        EXPECT_EQ(b->CurrentFace(), ButtonFace::kNormal);
        EXPECT_FALSE(b->mouseOver());
        EXPECT_FALSE(b->pushed());
    }
    gchar* tip = gtk_widget_get_tooltip_text(d.okButton().widget());
    EXPECT_STREQ(tip, "OK button");
    g_free(tip);
    tip = gtk_widget_get_tooltip_text(d.cancelButton().widget());
    EXPECT_STREQ(tip, "Cancel button");
    g_free(tip);
    AtkObject* accessible = gtk_widget_get_accessible(d.okButton().widget());
    EXPECT_EQ(atk_object_get_role(accessible), ATK_ROLE_PUSH_BUTTON);
    EXPECT_STREQ(atk_object_get_name(accessible), "OK");
}

// The foreground colour and weight a label's attributes give its first character.
void ExpectColouredBold(GtkLabel* label, guint16 r, guint16 g, guint16 b) {
    PangoAttrList* attrs = gtk_label_get_attributes(label);
    ASSERT_NE(attrs, nullptr);
    PangoAttrIterator* it = pango_attr_list_get_iterator(attrs);
    auto* colour = reinterpret_cast<PangoAttrColor*>(pango_attr_iterator_get(it, PANGO_ATTR_FOREGROUND));
    auto* weight = reinterpret_cast<PangoAttrInt*>(pango_attr_iterator_get(it, PANGO_ATTR_WEIGHT));
    ASSERT_NE(colour, nullptr);
    ASSERT_NE(weight, nullptr);
    EXPECT_EQ(colour->color.red, r);
    EXPECT_EQ(colour->color.green, g);
    EXPECT_EQ(colour->color.blue, b);
    EXPECT_EQ(weight->value, PANGO_WEIGHT_BOLD);
    pango_attr_iterator_destroy(it);
}

TEST(GtkSettingsDialog, LabelsAreBoldInTheirColours) {
    GtkSettingsDialog d(false, SettingsChoice{"ger"});
    EXPECT_STREQ(gtk_label_get_text(d.caption()), "Championship:");
    EXPECT_EQ(std::string(gtk_label_get_text(d.info())),
              std::string("Scorvane\nRelease 2.4, July 01 2009\n\nTarnwick Team\n") + kMakerAddress);
    ExpectColouredBold(d.caption(), 0xFFFF, 0xFFFF, 0);
    ExpectColouredBold(d.info(), 0, 0xFFFF, 0);
    EXPECT_EQ(gtk_label_get_mnemonic_widget(d.caption()), GTK_WIDGET(d.list()));
}

}  // namespace

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "no display\n");
        return 1;
    }
    InstallEmbeddedResources();
    return RUN_ALL_TESTS();
}

TEST(GtkSettingsDialog, ClubAndRotationFollowTheOldControlsAndCarryTheChoice) {
    // \xFC is u with diaeresis: names go in and out as ISO 8859-1.
    GtkSettingsDialog d(false, SettingsChoice{"ger", "Bayern", "ger, eng"}, {"FC Bayern M\xFC" "nchen", "Hamburger SV"});
    gtk_widget_show(GTK_WIDGET(d.window()));
    Drain();
    const GdkRectangle club = Placement(d, GTK_WIDGET(d.clubBox()));
    EXPECT_EQ((std::array<int, 3>{club.x, club.y, club.width}), (std::array<int, 3>{293, 68, 140}));
    GtkTreeModel* clubs = gtk_combo_box_get_model(GTK_COMBO_BOX(d.clubBox()));
    EXPECT_EQ(gtk_tree_model_iter_n_children(clubs, nullptr), 2);
    GtkEntry* entry = GTK_ENTRY(gtk_bin_get_child(GTK_BIN(d.clubBox())));
    EXPECT_STREQ(gtk_entry_get_text(entry), "Bayern");
    GtkTreeModel* leagues = gtk_tree_view_get_model(d.rotationList());
    EXPECT_EQ(gtk_tree_model_iter_n_children(leagues, nullptr), kAssociationCount);

    // Another championship has no table in hand: the club is free text.
    gtk_combo_box_set_active(GTK_COMBO_BOX(d.list()), PositionForCode("eng"));
    EXPECT_EQ(gtk_tree_model_iter_n_children(clubs, nullptr), 0);
    gtk_combo_box_set_active(GTK_COMBO_BOX(d.list()), PositionForCode("ger"));
    gtk_combo_box_set_active(GTK_COMBO_BOX(d.clubBox()), 0);
    d.ToggleRotation(PositionForCode("eng"));
    d.ToggleRotation(PositionForCode("esp"));
    d.Confirm();
    EXPECT_EQ(d.choice().championship, "ger");
    EXPECT_EQ(d.choice().team, "FC Bayern M\xFCnchen");
    EXPECT_EQ(d.choice().rotation, "ger,esp");  // Germany before Spain, as listed
}
