/*
 * The GTK 4 client of the desktop tests: a one-line entry, a password entry
 * (only with --password) and a multi-line text view, like the GTK 3 editor.
 *
 * Usage: mivo-test-editor-gtk4 [--title T] [--entry T] [--text T]
 *                              [--password T] [--slow-paste MS]
 * Prints "ready" once the window is mapped and the text view has the
 * keyboard focus. --slow-paste keeps the application busy for MS
 * milliseconds before it handles a paste, as a loaded application would.
 */
#include <gtk/gtk.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int slow_paste_ms = 0;

static gboolean announce_ready(gpointer user_data) {
    (void)user_data;
    printf("ready\n");
    fflush(stdout);
    return G_SOURCE_REMOVE;
}

static void on_map(GtkWidget* window, gpointer text_view) {
    (void)window;
    gtk_widget_grab_focus(GTK_WIDGET(text_view));
    g_timeout_add(200, announce_ready, NULL);
}

static void on_paste(GtkWidget* widget, gpointer user_data) {
    (void)widget;
    (void)user_data;
    if (slow_paste_ms > 0)
        g_usleep((gulong)slow_paste_ms * 1000);
}

static void on_quit(GtkWidget* window, gpointer loop) {
    (void)window;
    g_main_loop_quit(loop);
}

int main(int argc, char** argv) {
    const char* title = "Mivo test editor";
    const char* entry_text = "";
    const char* view_text = "";
    const char* password_text = NULL;
    gtk_init();
    for (int i = 1; i + 1 < argc; i += 2) {
        if (strcmp(argv[i], "--title") == 0)
            title = argv[i + 1];
        else if (strcmp(argv[i], "--entry") == 0)
            entry_text = argv[i + 1];
        else if (strcmp(argv[i], "--text") == 0)
            view_text = argv[i + 1];
        else if (strcmp(argv[i], "--password") == 0)
            password_text = argv[i + 1];
        else if (strcmp(argv[i], "--slow-paste") == 0)
            slow_paste_ms = atoi(argv[i + 1]);
    }
    GMainLoop* loop = g_main_loop_new(NULL, FALSE);

    GtkWidget* window = gtk_window_new();
    gtk_window_set_title(GTK_WINDOW(window), title);
    gtk_window_set_default_size(GTK_WINDOW(window), 640, 400);
    g_signal_connect(window, "destroy", G_CALLBACK(on_quit), loop);

    GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 6);
    gtk_window_set_child(GTK_WINDOW(window), box);

    GtkWidget* entry = gtk_entry_new();
    gtk_editable_set_text(GTK_EDITABLE(entry), entry_text);
    gtk_box_append(GTK_BOX(box), entry);

    if (password_text != NULL) {
        GtkWidget* password = gtk_password_entry_new();
        gtk_editable_set_text(GTK_EDITABLE(password), password_text);
        gtk_box_append(GTK_BOX(box), password);
    }

    GtkWidget* view = gtk_text_view_new();
    gtk_widget_set_vexpand(view, TRUE);
    gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(view)), view_text, -1);
    g_signal_connect(view, "paste-clipboard", G_CALLBACK(on_paste), NULL);
    gtk_box_append(GTK_BOX(box), view);

    g_signal_connect(window, "map", G_CALLBACK(on_map), view);
    gtk_window_present(GTK_WINDOW(window));
    g_main_loop_run(loop);
    return 0;
}
