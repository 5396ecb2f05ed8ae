/*
 * What the GTK test editors share: their command line, the "ready" they
 * print once the window is mapped and the text view has the keyboard
 * focus, and the paste a loaded application handles late.
 */
#ifndef MIVO_TEST_EDITOR_COMMON_H
#define MIVO_TEST_EDITOR_COMMON_H

#include <gtk/gtk.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef struct {
    const char* title;
    const char* entry_text;
    const char* view_text;
    const char* password_text; /* no password entry when NULL */
    gboolean keeps_undo;
} EditorOptions;

static int slow_paste_ms = 0;

/* --title, --entry, --text, --password, --slow-paste MS and --undo 1, each
   followed by its value. */
static EditorOptions read_editor_options(int argc, char** argv) {
    EditorOptions options = {"Mivo test editor", "", "", NULL, FALSE};
    for (int i = 1; i + 1 < argc; i += 2) {
        if (strcmp(argv[i], "--title") == 0)
            options.title = argv[i + 1];
        else if (strcmp(argv[i], "--entry") == 0)
            options.entry_text = argv[i + 1];
        else if (strcmp(argv[i], "--text") == 0)
            options.view_text = argv[i + 1];
        else if (strcmp(argv[i], "--password") == 0)
            options.password_text = argv[i + 1];
        else if (strcmp(argv[i], "--slow-paste") == 0)
            slow_paste_ms = atoi(argv[i + 1]);
        else if (strcmp(argv[i], "--undo") == 0)
            options.keeps_undo = atoi(argv[i + 1]) != 0;
    }
    return options;
}

static gboolean announce_ready(gpointer user_data) {
    (void)user_data;
    printf("ready\n");
    fflush(stdout);
    return G_SOURCE_REMOVE;
}

static void on_map(GtkWidget* window, gpointer text_view) {
    (void)window;
    gtk_widget_grab_focus(GTK_WIDGET(text_view));
    /* Let the focus and the accessibility tree settle before the test
       starts looking. */
    g_timeout_add(200, announce_ready, NULL);
}

static void on_paste(GtkWidget* widget, gpointer user_data) {
    (void)widget;
    (void)user_data;
    if (slow_paste_ms > 0)
        g_usleep((gulong)slow_paste_ms * 1000);
}

#endif
