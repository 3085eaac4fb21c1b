// vemo-settings: the settings dialog of vemo, a program of its own so that
// the saver never loads GTK. vemo /c runs start-up (profile, connection
// test, download) and then this program; it stores what the dialog chose.
#include <gtk/gtk.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/gtk/settings_dialog_gtk.h"
#include "res/embedded_resources.h"

namespace {

constexpr const char kUsage[] =
    "usage: vemo-settings [--transient] [--] CODE\n"
    "Shows vemo's settings dialog over the championship CODE. After OK the\n"
    "chosen code is written to standard output and the exit status is 0;\n"
    "after Cancel it is 1, and 2 when no dialog could be shown. Nothing is\n"
    "stored here: vemo /c starts this program and keeps the choice.\n"
    "\n"
    "  --transient  make the dialog transient for the active window\n"
    "  --help       this text\n"
    "  --version    the version\n";

}  // namespace

int main(int argc, char** argv) {
    bool transient = false;
    const char* code = nullptr;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        if (options && std::strcmp(argv[i], "--") == 0) {
            options = false;
        } else if (options && std::strcmp(argv[i], "--help") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (options && std::strcmp(argv[i], "--version") == 0) {
            std::printf("vemo-settings %s\n", VEMO_VERSION);
            return 0;
        } else if (options && std::strcmp(argv[i], "--transient") == 0) {
            transient = true;
        } else if (options && argv[i][0] == '-') {
            std::fprintf(stderr, "vemo-settings: unknown option '%s'\n%s", argv[i], kUsage);
            return 2;
        } else if (code == nullptr) {
            code = argv[i];
        } else {
            std::fprintf(stderr, "vemo-settings: one championship code only\n%s", kUsage);
            return 2;
        }
    }
    if (code == nullptr) {
        std::fprintf(stderr, "vemo-settings: no championship code given\n%s", kUsage);
        return 2;
    }
    if (!gtk_init_check(&argc, &argv)) {
        std::fprintf(stderr, "vemo-settings: cannot open the display\n");
        return 2;
    }
    InstallEmbeddedResources();
    std::string championship = code;
    if (!RunGtkSettingsDialog(transient, championship)) return 1;
    std::printf("%s\n", championship.c_str());
    return std::fflush(stdout) == 0 ? 0 : 2;
}
